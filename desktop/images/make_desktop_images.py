#!/usr/bin/python3
"""Draws the desktop program's pictures (icons, the logo, the splash, the
sign-in page's side picture and the default box picture) and writes them into
the folder given as the only argument. Standard library only: icons are
32x32 32-bit ICO files, pictures 24-bit BMP files."""
import os
import struct
import sys

BLUE = (0x02, 0x8D, 0xFF)
DEEP = (0x00, 0x76, 0xDA)
LIGHT = (0xCD, 0xE8, 0xFF)
INK = (0x16, 0x32, 0x4F)
WHITE = (0xFF, 0xFF, 0xFF)
GREY = (0x8C, 0x99, 0xA6)
GREEN = (0x2D, 0xB2, 0x4A)
RED = (0xE0, 0x26, 0x2B)
YELLOW = (0xF2, 0xC2, 0x30)

# A 5x7 font for the few letters the pictures carry.
FONT = {
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "?": ["01110", "10001", "00001", "00110", "00100", "00000", "00100"],
    " ": ["00000"] * 7,
}


class Picture:
    def __init__(self, w, h, colour, alpha=255):
        self.w, self.h = w, h
        self.px = [[colour + (alpha,) for _ in range(w)] for _ in range(h)]

    def rect(self, x, y, w, h, colour, a=255):
        for yy in range(max(y, 0), min(y + h, self.h)):
            for xx in range(max(x, 0), min(x + w, self.w)):
                self.px[yy][xx] = colour + (a,)

    def disc(self, cx, cy, r, colour):
        for yy in range(self.h):
            for xx in range(self.w):
                if (xx - cx) ** 2 + (yy - cy) ** 2 <= r * r:
                    self.px[yy][xx] = colour + (255,)

    def text(self, x, y, s, colour, scale=1):
        for ch in s:
            rows = FONT.get(ch, FONT["?"])
            for ry, row in enumerate(rows):
                for rx, bit in enumerate(row):
                    if bit == "1":
                        self.rect(x + rx * scale, y + ry * scale, scale, scale, colour)
            x += 6 * scale

    def bmp(self, path):
        stride = (self.w * 3 + 3) & ~3
        rows = b""
        for y in range(self.h - 1, -1, -1):
            line = b"".join(bytes((b, g, r)) for r, g, b, _ in self.px[y])
            rows += line + b"\0" * (stride - self.w * 3)
        header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
        info = struct.pack("<IiiHHIIiiII", 40, self.w, self.h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
        with open(path, "wb") as f:
            f.write(header + info + rows)

    def ico(self, path):
        xor = b""
        for y in range(self.h - 1, -1, -1):
            xor += b"".join(bytes((b, g, r, a)) for r, g, b, a in self.px[y])
        mask_stride = ((self.w + 31) // 32) * 4
        mask = b""
        for y in range(self.h - 1, -1, -1):
            bits = bytearray(mask_stride)
            for x in range(self.w):
                if self.px[y][x][3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(bits)
        info = struct.pack("<IiiHHIIiiII", 40, self.w, self.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        image = info + xor + mask
        header = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", self.w, self.h, 0, 0, 1, 32, len(image), 22)
        with open(path, "wb") as f:
            f.write(header + image)


def icon(draw):
    p = Picture(32, 32, WHITE, alpha=0)
    draw(p)
    return p


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)

    def app(p, ring=BLUE):
        p.disc(15.5, 15.5, 15, ring)
        p.disc(15.5, 15.5, 10, WHITE)
        p.disc(15.5, 15.5, 6, ring)
    icon(app).ico(os.path.join(out, "app.ico"))
    icon(lambda p: app(p, GREY)).ico(os.path.join(out, "signedout.ico"))

    def refresh(p):
        p.disc(15.5, 15.5, 13, GREEN)
        p.disc(15.5, 15.5, 8, WHITE)
        p.rect(16, 2, 14, 14, WHITE, 0)
        p.rect(18, 8, 10, 4, GREEN)
    icon(refresh).ico(os.path.join(out, "refresh.ico"))

    def account(p):
        p.disc(15.5, 10, 7, DEEP)
        p.disc(15.5, 30, 13, DEEP)
    icon(account).ico(os.path.join(out, "account.ico"))

    def add(p):
        p.rect(13, 3, 6, 26, GREEN)
        p.rect(3, 13, 26, 6, GREEN)
    icon(add).ico(os.path.join(out, "add.ico"))

    def config(p):
        p.disc(15.5, 15.5, 13, INK)
        p.disc(15.5, 15.5, 5, WHITE)
        p.rect(13, 0, 6, 32, INK)
        p.rect(0, 13, 32, 6, INK)
        p.disc(15.5, 15.5, 5, WHITE)
    icon(config).ico(os.path.join(out, "config.ico"))

    def play(p):
        for y in range(4, 28):
            half = 12 - abs(y - 16)
            p.rect(8, y, half * 2, 1, GREEN)
    icon(play).ico(os.path.join(out, "play.ico"))

    def videos(p):
        p.rect(2, 6, 28, 20, INK)
        for x in range(4, 30, 5):
            p.rect(x, 8, 3, 3, WHITE)
            p.rect(x, 21, 3, 3, WHITE)
        p.rect(6, 12, 20, 8, BLUE)
    icon(videos).ico(os.path.join(out, "videos.ico"))

    logo = Picture(180, 60, WHITE)
    logo.disc(30, 30, 26, BLUE)
    logo.disc(30, 30, 17, WHITE)
    logo.disc(30, 30, 10, BLUE)
    logo.text(66, 14, "ORVALO", INK, 3)
    logo.text(66, 42, "HUD", DEEP, 2)
    logo.bmp(os.path.join(out, "logo.bmp"))

    side = Picture(300, 260, LIGHT)
    for i in range(6):
        side.rect(20 + i * 45, 200 - i * 28, 30, 40 + i * 28, BLUE if i % 2 else DEEP)
    side.text(20, 20, "GAME HUD", INK, 4)
    side.bmp(os.path.join(out, "side.bmp"))

    splash = Picture(600, 290, DEEP)
    splash.disc(140, 145, 100, WHITE)
    splash.disc(140, 145, 66, DEEP)
    splash.disc(140, 145, 38, WHITE)
    splash.text(280, 90, "ORVALO", WHITE, 8)
    splash.text(280, 170, "HUD", YELLOW, 6)
    splash.bmp(os.path.join(out, "splash.bmp"))

    box = Picture(96, 136, LIGHT)
    box.rect(0, 0, 96, 6, DEEP)
    box.rect(0, 130, 96, 6, DEEP)
    box.rect(0, 0, 6, 136, DEEP)
    box.rect(90, 0, 6, 136, DEEP)
    box.disc(48, 56, 26, BLUE)
    box.disc(48, 56, 16, LIGHT)
    box.text(24, 100, "GAME", INK, 2)
    box.bmp(os.path.join(out, "defaultbox.bmp"))


if __name__ == "__main__":
    main()
