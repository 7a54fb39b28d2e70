"""The desktop program's web pages of the test service:

  /services/desktop.4.0.6.0/games.zip         the catalogue (LBZ envelope around games.ini)
  /services/desktop.4.0.6.0/registergame.php  op=0 registers a game and answers its number, op=1 unregisters
  /services/desktop.4.0.6.0/gamesearch.php    catalogue games whose title holds the searched text
  /services/desktop.4.0.6.0/browserlogin.php  a small page naming the target
  /games/<platform>/<genre>/<short name>/box.jpg  a box picture of our own
  /services/desktop.4.0.6.0/getfriendsinfo.php  friends.txt of a user: identifier;name;1 (own avatar) or 0;
  /img/avatars/<identifier>.jpg, /img/avatars/avatar.jpg  avatar pictures of our own
  /services/desktop.4.0.6.0/contactsearch.php  members whose name holds the searched text: handle;text;
  /services/desktop.4.0.6.0/addcontact.php     adds a member to the user's group "Friends": exactly "ok"
  /services/desktop.4.0.6.0/checkupdate.php    the update offer of the mode set through /testcontrol
  /downloads/orvaloupdate.exe                  the stand-in installer (--installer); short.exe sends half
                                               of it under the full Content-Length, notexe.exe a web page
  /testcontrol?update=MODE&addcontact=TEXT     update modes: none (0 bytes), six (6 bytes), fivelines,
                                               lf (line feeds only), offer, short, notexe, local;
                                               addcontact: a reply given instead of the real one
  /services/desktop.4.0.6.0/getservers.php    the upload server: "host:port;user;password;"
  /services/desktop.4.0.6.0/checklogin.php    "OK" for a known user and password
  /services/desktop.4.0.6.0/upload.php        multipart form post of one file, kept in --received
  /services/desktop.4.0.6.0/registermedia.php registration, its query kept in --received

The catalogue file is --catalogue (default games.ini beside this file). Box
pictures are drawn here and turned into JPEG by ImageMagick when it is
installed (404 otherwise)."""

import configparser
import json
import os
import shutil
import struct
import subprocess
import tempfile
import threading
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
PREFIX = "/services/desktop.4.0.6.0/"


class DesktopWeb:
    def __init__(self, accounts, catalogue=None, installer=None):
        self.accounts = accounts
        self.installer = installer
        self.update_mode = "none"
        self.addcontact_reply = ""
        self.avatars = {}
        self.catalogue = catalogue or os.path.join(HERE, "games.ini")
        self.lock = threading.Lock()
        self.registered = {}  # (user, short, platform, genre) -> number
        self.next_number = 1001
        self.boxes = {}
        self.upload_server = ""  # "host:port;user;password;" of the FTP server, when one runs
        self.received = None  # folder that keeps what the publishing pages received
        self.register_reply = "OK"
        self.uploads = 0

    def keep(self, name, data):
        if not self.received:
            return
        os.makedirs(self.received, exist_ok=True)
        with open(os.path.join(self.received, name), "ab" if name.endswith(".txt") else "wb") as f:
            f.write(data)

    def form_post(self, body, content_type):
        """One multipart post of upload.php: the file is kept under its own
        name, the whole request body as post-N.bin."""
        marker = "boundary="
        if marker not in content_type:
            return b"No boundary"
        boundary = content_type.split(marker, 1)[1].strip().encode()
        with self.lock:
            self.uploads += 1
            number = self.uploads
        self.keep("post-%d.bin" % number, body)
        for part in body.split(b"--" + boundary):
            head, _, data = part.partition(b"\r\n\r\n")
            if b'name="uploadedfile"' not in head:
                continue
            name = head.split(b'filename="', 1)[1].split(b'"', 1)[0].decode("latin-1")
            if not name or "/" in name or "\\" in name or name.startswith("."):
                return b"Bad file name"
            if not data.endswith(b"\r\n"):
                return b"Broken part"
            self.keep(name, data[:-2])
            return b"OK"
        return b"No file"

    def games(self):
        parser = configparser.RawConfigParser(strict=False, interpolation=None)
        parser.optionxform = str
        parser.read(self.catalogue, encoding="latin-1")
        return [dict(parser.items(s)) for s in parser.sections()]

    def games_zip(self):
        with open(self.catalogue, "rb") as f:
            text = f.read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        return b"LBZ00\0\0\0\0" + struct.pack("<I", len(text)) + zlib.compress(text)

    def box(self, platform, genre, short):
        key = (platform, genre, short)
        with self.lock:
            if key in self.boxes:
                return self.boxes[key]
        convert = shutil.which("convert-im6.q16") or shutil.which("convert")
        data = None
        if convert:
            w, h = 192, 272
            seed = zlib.crc32(("%s/%s/%s" % key).encode())
            base = ((seed >> 16) & 0x7F, (seed >> 8) & 0x7F, seed & 0x7F)
            rows = bytearray()
            for y in range(h):
                for x in range(w):
                    if 20 <= x < w - 20 and 40 <= y < 160:
                        c = (0x02, 0x8D, 0xFF) if ((x // 24) + (y // 24)) % 2 else (0xF2, 0xC2, 0x30)
                    elif y >= h - 60:
                        c = (0xFF, 0xFF, 0xFF)
                    else:
                        c = tuple(min(255, v + y // 3) for v in base)
                    rows += bytes(c)
            with tempfile.TemporaryDirectory() as tmp:
                ppm = os.path.join(tmp, "box.ppm")
                jpg = os.path.join(tmp, "box.jpg")
                with open(ppm, "wb") as f:
                    f.write(b"P6\n%d %d\n255\n" % (w, h) + bytes(rows))
                if subprocess.run([convert, ppm, "-quality", "85", jpg], capture_output=True).returncode == 0:
                    with open(jpg, "rb") as f:
                        data = f.read()
        with self.lock:
            self.boxes[key] = data
        return data

    def user_id(self, name):
        return str(101 + sorted(self.accounts.users).index(name)) if name in self.accounts.users else ""

    def avatar(self, ident):
        """A face of our own per identifier (grey for the default picture), as JPEG."""
        with self.lock:
            if ident in self.avatars:
                return self.avatars[ident]
        convert = shutil.which("convert-im6.q16") or shutil.which("convert")
        data = None
        if convert:
            size = 96
            seed = zlib.crc32(ident.encode())
            face = (0xA0, 0xA0, 0xA0) if ident == "avatar" else (
                0x40 + (seed >> 16) % 0xC0, 0x40 + (seed >> 8) % 0xC0, 0x40 + seed % 0xC0)
            rows = bytearray()
            for y in range(size):
                for x in range(size):
                    dx, dy = x - 48, y - 40
                    if dx * dx + dy * dy < 26 * 26:
                        eye = (abs(dx + 10) < 4 or abs(dx - 10) < 4) and abs(dy + 6) < 4
                        c = (0x20, 0x20, 0x20) if eye else face
                    elif y > 72 and abs(x - 48) < 40:
                        c = tuple(v // 2 for v in face)
                    else:
                        c = (0xF4, 0xF4, 0xF8)
                    rows += bytes(c)
            with tempfile.TemporaryDirectory() as tmp:
                ppm = os.path.join(tmp, "a.ppm")
                jpg = os.path.join(tmp, "a.jpg")
                with open(ppm, "wb") as f:
                    f.write(b"P6\n%d %d\n255\n" % (size, size) + bytes(rows))
                if subprocess.run([convert, ppm, "-quality", "85", jpg], capture_output=True).returncode == 0:
                    with open(jpg, "rb") as f:
                        data = f.read()
        with self.lock:
            self.avatars[ident] = data
        return data

    def update_reply(self, base):
        mode = self.update_mode
        if mode == "six":
            return b"none\r\n"
        if mode == "fivelines":
            return b"http://x/u.exe\r\nhttp://x/\r\nTitle\r\n4.0.7.0\r\n2026-12-08\r\n"
        lines = ["", base + "/update.php", "Orvalo HUD Desktop 4.0.7.0", "4.0.7.0", "2026-12-08",
                 str(os.path.getsize(self.installer) if self.installer else 0),
                 "A newer Orvalo HUD Desktop is ready.", "It mends a few things."]
        if mode == "lf":
            lines[0] = base + "/downloads/orvaloupdate.exe"
            return ("\n".join(lines) + "\n").encode("latin-1")
        if mode in ("offer", "short", "notexe"):
            lines[0] = base + "/downloads/" + {"offer": "orvaloupdate", "short": "short", "notexe": "notexe"}[mode] + ".exe"
            return ("\r\n".join(lines) + "\r\n").encode("latin-1")
        if mode == "local":
            lines[0] = "file://C:/windows/system32/notepad.exe"
            return ("\r\n".join(lines) + "\r\n").encode("latin-1")
        return b""

    def friends_info(self, user):
        seen = []
        for members in self.accounts.groups.get(user, {}).values():
            seen += [m for m in members if m not in seen]
        lines = ["%s;%s;%s;" % (self.user_id(m), m, "1" if self.accounts.users.get(m, {}).get("avatar", True) else "0")
                 for m in seen]
        return "".join(line + "\r\n" for line in lines).encode("latin-1", "replace")

    def handle(self, path, query, host="127.0.0.1", body=b"", content_type=""):
        """(status, content type, body bytes[, announced length]), or None
        when the path is not ours. With an announced length longer than the
        body the connection is closed after the body (a cut download)."""
        base = "http://" + host
        if path == "/testcontrol":
            if "update" in query:
                self.update_mode = query["update"]
            if "addcontact" in query:
                self.addcontact_reply = query["addcontact"]
            return 200, "text/plain", b"ok"
        if path.startswith("/img/avatars/") and path.endswith(".jpg"):
            ident = path[len("/img/avatars/"):-4]
            if ident != "avatar" and ident not in [self.user_id(u) for u in self.accounts.users]:
                return 404, "text/plain", b"no such avatar\n"
            data = self.avatar(ident)
            return (200, "image/jpeg", data) if data else (404, "text/plain", b"no picture\n")
        if path.startswith("/downloads/"):
            name = path[len("/downloads/"):]
            if name == "notexe.exe":
                return 200, "application/octet-stream", b"<html><body>Not a program</body></html>\n" * 40
            if not self.installer or name not in ("orvaloupdate.exe", "short.exe"):
                return 404, "text/plain", b"not found\n"
            with open(self.installer, "rb") as f:
                data = f.read()
            if name == "short.exe":
                return 200, "application/octet-stream", data[:len(data) // 2], len(data)
            return 200, "application/octet-stream", data
        if path.startswith("/games/") and path.endswith("/box.jpg"):
            parts = path.split("/")
            if len(parts) != 6:
                return 404, "text/plain", b"not found\n"
            data = self.box(parts[2], parts[3], parts[4])
            return (200, "image/jpeg", data) if data else (404, "text/plain", b"no picture\n")
        if not path.startswith(PREFIX):
            return None
        page = path[len(PREFIX):]
        if page == "getfriendsinfo.php":
            user = query.get("un", "")
            if not self.accounts.check(user, query.get("pw", "")):
                return 403, "text/plain", b"Unknown user or wrong password"
            return 200, "text/plain", self.friends_info(user)
        if page == "contactsearch.php":
            text = query.get("search", "").lower()
            names = sorted(u for u in self.accounts.users if text and text in u.lower())
            return 200, "text/plain", "".join("%s;%s (Orvalo member);\r\n" % (n, n) for n in names).encode("latin-1")
        if page == "addcontact.php":
            if self.addcontact_reply:
                return 200, "text/plain", self.addcontact_reply.encode("latin-1")
            user, handle = query.get("un", ""), query.get("contacthandle", "")
            if not self.accounts.check(user, query.get("pw", "")):
                return 200, "text/plain", b"Unknown user or wrong password"
            if handle not in self.accounts.users or handle == user:
                return 200, "text/plain", b"No such member"
            with self.lock:
                groups = self.accounts.groups.setdefault(user, {})
                if handle not in self.accounts.friends(user):
                    groups.setdefault("Friends", []).append(handle)
            return 200, "text/plain", b"ok"
        if page == "checkupdate.php":
            return 200, "text/plain", self.update_reply(base)
        if page == "getservers.php":
            return 200, "text/plain", self.upload_server.encode()
        if page == "checklogin.php":
            ok = self.accounts.check(query.get("username", ""), query.get("password", ""))
            return 200, "text/plain", b"OK" if ok else b"FAILED"
        if page == "upload.php":
            return 200, "text/plain", self.form_post(body, content_type)
        if page == "registermedia.php":
            self.keep("registrations.txt", (json.dumps(query, sort_keys=True) + "\n").encode())
            if not self.accounts.check(query.get("username", ""), query.get("password", "")):
                return 200, "text/plain", b"Unknown user or wrong password"
            return 200, "text/plain", self.register_reply.encode("latin-1")
        if page == "games.zip":
            return 200, "application/octet-stream", self.games_zip()
        if page == "browserlogin.php":
            target = query.get("target", "")
            body = "<html><body>Orvalo test service: %s</body></html>\n" % target.replace("<", "&lt;")
            return 200, "text/html", body.encode("latin-1", "replace")
        if page == "gamesearch.php":
            title = query.get("title", "").lower()
            platform, genre = query.get("platform", ""), query.get("genre", "")
            lines = []
            for number, g in enumerate(self.games(), 1):
                if title and title not in g.get("Name", "").lower():
                    continue
                if genre and genre != g.get("Genre", ""):
                    continue
                lines.append(";".join([str(number), g.get("ShortName", ""), platform or "pc", g.get("Genre", ""),
                                       g.get("ReleaseDate", ""), g.get("Rating", ""), g.get("Name", ""),
                                       g.get("Publisher", ""), g.get("Developer", ""), ""]) + ";")
            return 200, "text/plain", ("\r\n".join(lines) + ("\r\n" if lines else "")).encode("latin-1", "replace")
        if page == "registergame.php":
            user, password = query.get("un", ""), query.get("pw", "")
            if not self.accounts.check(user, password):
                return 200, "text/plain", b"Unknown user or wrong password"
            key = (user, query.get("gameshortname", ""), query.get("gameplatform", ""), query.get("gamegenre", ""))
            if not key[1]:
                return 200, "text/plain", b"No game named"
            with self.lock:
                if query.get("op") == "1":
                    self.registered.pop(key, None)
                    return 200, "text/plain", b"OK"
                if key not in self.registered:
                    self.registered[key] = self.next_number
                    self.next_number += 1
                return 200, "text/plain", str(self.registered[key]).encode()
        return None
