# Which Debian packages of a list are not installed. Sourced, never run.
#
#   packages_missing <native arch> <package>... < installed
#
# installed: lines "<name> <arch> <status>" as printed by
#   dpkg-query -W -f='${Package} ${Architecture} ${db:Status-Abbrev}\n'
# A package is named "name:arch" or "name" (the native architecture). It is
# there when that very name and architecture is installed, or an
# architecture-independent ("all") package of that name: a 64-bit libgl1
# does not stand in for libgl1:i386. Prints the missing ones as given, one a
# line.
packages_missing() {
  local native=$1; shift
  local -A have=()
  local name arch status p want
  while read -r name arch status; do
    # The second letter of the status is the state: i = installed.
    [ "${status:1:1}" = i ] && have["$name:$arch"]=1
  done
  for p in "$@"; do
    case $p in *:*) want=$p ;; *) want=$p:$native ;; esac
    [ -n "${have[$want]:-}" ] || [ -n "${have[${want%%:*}:all]:-}" ] || echo "$p"
  done
}
