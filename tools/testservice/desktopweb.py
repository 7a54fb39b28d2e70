"""The desktop program's web pages of the test service:

  /services/desktop.4.0.6.0/games.zip         the catalogue (LBZ envelope around games.ini)
  /services/desktop.4.0.6.0/registergame.php  op=0 registers a game and answers its number, op=1 unregisters
  /services/desktop.4.0.6.0/gamesearch.php    catalogue games whose title holds the searched text
  /services/desktop.4.0.6.0/browserlogin.php  a small page naming the target
  /games/<platform>/<genre>/<short name>/box.jpg  a box picture of our own

The catalogue file is --catalogue (default games.ini beside this file). Box
pictures are drawn here and turned into JPEG by ImageMagick when it is
installed (404 otherwise)."""

import configparser
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
    def __init__(self, accounts, catalogue=None):
        self.accounts = accounts
        self.catalogue = catalogue or os.path.join(HERE, "games.ini")
        self.lock = threading.Lock()
        self.registered = {}  # (user, short, platform, genre) -> number
        self.next_number = 1001
        self.boxes = {}

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

    def handle(self, path, query):
        """(status, content type, body bytes), or None when the path is not ours."""
        if path.startswith("/games/") and path.endswith("/box.jpg"):
            parts = path.split("/")
            if len(parts) != 6:
                return 404, "text/plain", b"not found\n"
            data = self.box(parts[2], parts[3], parts[4])
            return (200, "image/jpeg", data) if data else (404, "text/plain", b"no picture\n")
        if not path.startswith(PREFIX):
            return None
        page = path[len(PREFIX):]
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
