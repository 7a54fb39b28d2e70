# Common environment for the project's scripts. Sourced, never run.
# Everything built outside git lives under ORVALO_CACHE.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
: "${ORVALO_CACHE:=${XDG_CACHE_HOME:-$HOME/.cache}/orvalo-hud}"
export ORVALO_CACHE

# The deliverables are 32-bit (i686). Where the kernel cannot run 32-bit
# programs, the same code is also built for x86_64 and tested under 64-bit
# Wine. ORVALO_TEST_ARCH says which build the tests run.
# The kernel is asked itself: a 96-byte static i386 program that only exits
# with 7 runs where 32-bit programs can run, before any i386 package (and so
# before the i386 loader) is installed. The loader is the second witness
# where no temporary file can be run.
can_run_i386() {
  local probe rc
  probe=$(mktemp 2>/dev/null) || probe=""
  if [ -n "$probe" ]; then
    local elf='\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0'
    elf+='\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0'
    elf+='\5\0\0\0\0\20\0\0\270\1\0\0\0\273\7\0\0\0\315\200'  # exit(7) by int 0x80
    printf "$elf" >"$probe" && chmod +x "$probe"
    "$probe" 2>/dev/null; rc=$?
    rm -f "$probe"
    [ "$rc" = 7 ] && return 0
  fi
  [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --help >/dev/null 2>&1
}
if [ -z "${ORVALO_TEST_ARCH:-}" ]; then
  if can_run_i386; then ORVALO_TEST_ARCH=i686; else ORVALO_TEST_ARCH=x86_64; fi
fi
export ORVALO_TEST_ARCH
if [ "$ORVALO_TEST_ARCH" = i686 ]; then
  export WINEARCH=win32 ORVALO_WINE=/usr/lib/wine/wine ORVALO_TEST_PRESET=windows
  export WINELOADER=/usr/lib/wine/wine
else
  export WINEARCH=win64 ORVALO_WINE=/usr/lib/wine/wine64 ORVALO_TEST_PRESET=windows64
  export WINELOADER=/usr/lib/wine/wine64
fi
export DEPS_PREFIX="$ORVALO_CACHE/deps/i686"
export DEPS_PREFIX64="$ORVALO_CACHE/deps/x86_64"
: "${WINEPREFIX:=$ORVALO_CACHE/wineprefix-$ORVALO_TEST_ARCH}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;d3d9=n,b;d3d8=n,b;dinput8=n,b"
# A home whose .asoundrc gives Wine one null wave-in and one wave-out device.
: "${ORVALO_SOUND_HOME:=$ORVALO_CACHE/soundhome}"
export ORVALO_SOUND_HOME
# Debian's python3 with its modules (another python3 may come first on PATH).
export SYS_PYTHON=/usr/bin/python3

log() { printf '%s\n' "$*" >&2; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }
