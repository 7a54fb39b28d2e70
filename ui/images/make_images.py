#!/usr/bin/python3
"""Draws the HUD's pictures (flat shapes in the HUD's blues) and writes them
as PNG files into the folder given as the only argument.

Only the standard library is used: zlib and struct are enough for PNG.
The file names are those listed in VQImages.rc (img<id>.png).
"""
import os
import re
import struct
import sys
import zlib

# The HUD's colours (0xRRGGBB).
PANEL = 0xCDE8FF      # page background
LIGHT = 0x91CDFF      # button face
MID = 0x69BAFF        # bars, frames
DARK = 0x028DFF       # outlines
DEEP = 0x0076DA       # inactive caption
INK = 0x16324F        # symbols
WHITE = 0xFFFFFF
RED = 0xE0262B
GREEN = 0x2DB24A
YELLOW = 0xF2C230
GREY = 0x8C99A6


class Picture:
    def __init__(self, width, height, colour=WHITE, alpha=False):
        self.width, self.height, self.alpha = width, height, alpha
        a = 0 if alpha else 255
        self.px = [[(colour >> 16 & 255, colour >> 8 & 255, colour & 255, a) for _ in range(width)]
                   for _ in range(height)]

    def set(self, x, y, colour, a=255):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.px[y][x] = (colour >> 16 & 255, colour >> 8 & 255, colour & 255, a)

    def rect(self, x, y, w, h, colour, a=255):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.set(xx, yy, colour, a)

    def frame(self, x, y, w, h, colour):
        self.rect(x, y, w, 1, colour)
        self.rect(x, y + h - 1, w, 1, colour)
        self.rect(x, y, 1, h, colour)
        self.rect(x + w - 1, y, 1, h, colour)

    def round_rect(self, x, y, w, h, r, colour, a=255):
        for yy in range(h):
            for xx in range(w):
                dx = max(r - xx - 0.5, xx + 0.5 - (w - r), 0)
                dy = max(r - yy - 0.5, yy + 0.5 - (h - r), 0)
                if dx * dx + dy * dy <= r * r:
                    self.set(x + xx, y + yy, colour, a)

    def disc(self, cx, cy, r, colour, a=255):
        for yy in range(int(cy - r) - 1, int(cy + r) + 2):
            for xx in range(int(cx - r) - 1, int(cx + r) + 2):
                if (xx + 0.5 - cx) ** 2 + (yy + 0.5 - cy) ** 2 <= r * r:
                    self.set(xx, yy, colour, a)

    def ring(self, cx, cy, r, thickness, colour):
        for yy in range(int(cy - r) - 1, int(cy + r) + 2):
            for xx in range(int(cx - r) - 1, int(cx + r) + 2):
                d = ((xx + 0.5 - cx) ** 2 + (yy + 0.5 - cy) ** 2) ** 0.5
                if r - thickness <= d <= r:
                    self.set(xx, yy, colour)

    def line(self, x1, y1, x2, y2, colour, thickness=1):
        steps = max(abs(x2 - x1), abs(y2 - y1), 1)
        for i in range(steps + 1):
            x = x1 + (x2 - x1) * i / steps
            y = y1 + (y2 - y1) * i / steps
            self.rect(int(round(x - (thickness - 1) / 2)), int(round(y - (thickness - 1) / 2)), thickness, thickness,
                      colour)

    def triangle(self, points, colour):
        (ax, ay), (bx, by), (cx, cy) = points
        for yy in range(int(min(ay, by, cy)), int(max(ay, by, cy)) + 1):
            for xx in range(int(min(ax, bx, cx)), int(max(ax, bx, cx)) + 1):
                px, py = xx + 0.5, yy + 0.5
                d1 = (px - bx) * (ay - by) - (ax - bx) * (py - by)
                d2 = (px - cx) * (by - cy) - (bx - cx) * (py - cy)
                d3 = (px - ax) * (cy - ay) - (cx - ax) * (py - ay)
                if not ((d1 < 0 or d2 < 0 or d3 < 0) and (d1 > 0 or d2 > 0 or d3 > 0)):
                    self.set(xx, yy, colour)

    def text(self, x, y, words, colour, scale=1):
        for ch in words:
            glyph = FONT.get(ch.upper(), FONT['?'])
            for row, bits in enumerate(glyph):
                for col in range(5):
                    if bits >> (4 - col) & 1:
                        self.rect(x + col * scale, y + row * scale, scale, scale, colour)
            x += 6 * scale

    def png(self):
        colour_type = 6 if self.alpha else 2
        raw = bytearray()
        for row in self.px:
            raw.append(0)
            for r, g, b, a in row:
                raw += bytes((r, g, b, a)) if self.alpha else bytes((r, g, b))

        def chunk(kind, data):
            body = kind + data
            return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack('>IIBBBBB', self.width, self.height, 8, colour_type, 0, 0, 0)
        return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) +
                chunk(b'IEND', b''))


# A 5 x 7 pixel font for the few words in the pictures.
FONT = {
    'A': (14, 17, 17, 31, 17, 17, 17), 'B': (30, 17, 17, 30, 17, 17, 30), 'C': (14, 17, 16, 16, 16, 17, 14),
    'D': (30, 17, 17, 17, 17, 17, 30), 'E': (31, 16, 16, 30, 16, 16, 31), 'F': (31, 16, 16, 30, 16, 16, 16),
    'G': (14, 17, 16, 23, 17, 17, 15), 'H': (17, 17, 17, 31, 17, 17, 17), 'I': (14, 4, 4, 4, 4, 4, 14),
    'K': (17, 18, 20, 24, 20, 18, 17), 'L': (16, 16, 16, 16, 16, 16, 31), 'M': (17, 27, 21, 21, 17, 17, 17),
    'N': (17, 25, 21, 19, 17, 17, 17), 'O': (14, 17, 17, 17, 17, 17, 14), 'P': (30, 17, 17, 30, 16, 16, 16),
    'R': (30, 17, 17, 30, 20, 18, 17), 'S': (15, 16, 16, 14, 1, 1, 30), 'T': (31, 4, 4, 4, 4, 4, 4),
    'U': (17, 17, 17, 17, 17, 17, 14), 'V': (17, 17, 17, 17, 17, 10, 4), 'W': (17, 17, 17, 21, 21, 21, 10),
    'Y': (17, 17, 10, 4, 4, 4, 4), ' ': (0,) * 7, '-': (0, 0, 0, 14, 0, 0, 0), '?': (14, 17, 1, 2, 4, 0, 4),
    '.': (0, 0, 0, 0, 0, 0, 4),
    'J': (7, 2, 2, 2, 2, 18, 12), 'Q': (14, 17, 17, 17, 21, 18, 13), 'X': (17, 17, 10, 4, 10, 17, 17),
    'Z': (31, 1, 2, 4, 8, 16, 31), '0': (14, 17, 19, 21, 25, 17, 14), '1': (4, 12, 4, 4, 4, 4, 14),
    '2': (14, 17, 1, 2, 4, 8, 31), '3': (31, 2, 4, 2, 1, 17, 14), '4': (2, 6, 10, 18, 31, 2, 2),
    '5': (31, 16, 30, 1, 1, 17, 14), '6': (6, 8, 16, 30, 17, 17, 14), '7': (31, 1, 2, 4, 8, 8, 8),
    '8': (14, 17, 17, 14, 17, 17, 14), '9': (14, 17, 17, 15, 1, 2, 12), ',': (0, 0, 0, 0, 6, 4, 8),
    '/': (1, 1, 2, 4, 8, 16, 16), '\\': (16, 16, 8, 4, 2, 1, 1), ';': (0, 6, 6, 0, 6, 4, 8),
    "'": (4, 4, 8, 0, 0, 0, 0), '[': (14, 8, 8, 8, 8, 8, 14), ']': (14, 2, 2, 2, 2, 2, 14),
    '=': (0, 0, 31, 0, 31, 0, 0), '`': (8, 4, 2, 0, 0, 0, 0), '^': (4, 10, 17, 0, 0, 0, 0),
    '<': (2, 4, 8, 16, 8, 4, 2), '>': (8, 4, 2, 1, 2, 4, 8),
}


def button(w, h, pressed, draw):
    """A button face with a symbol; the pressed face is darker and the symbol shifted by one pixel."""
    p = Picture(w, h, PANEL)
    p.round_rect(0, 0, w, h, 4, MID if pressed else LIGHT)
    for x in range(2, w - 2):  # outline of the rounded face
        p.set(x, 0, DARK)
        p.set(x, h - 1, DARK)
    for y in range(2, h - 2):
        p.set(0, y, DARK)
        p.set(w - 1, y, DARK)
    draw(p, 1 if pressed else 0)
    return p


def washed(p, amount=0.65):
    """The picture faded toward the page colour: the look of a button that cannot be used."""
    pr, pg, pb = PANEL >> 16 & 255, PANEL >> 8 & 255, PANEL & 255
    for row in p.px:
        for i, (r, g, b, a) in enumerate(row):
            row[i] = (int(r + (pr - r) * amount), int(g + (pg - g) * amount), int(b + (pb - b) * amount), a)
    return p


def person(p, cx, top, colour):
    p.disc(cx, top + 4, 3.5, colour)
    p.round_rect(int(cx - 6), top + 9, 12, 9, 4, colour)


def symbol_share(p, o, w, h):
    cx, cy = w / 2 + o, h / 2 + o
    p.disc(cx, cy, 3, INK)
    p.ring(cx, cy, 8, 2, INK)
    p.ring(cx, cy, 13, 2, INK)


def symbol_record(p, o, w, h):
    p.disc(w / 2 + o, h / 2 + o, 8, RED)


def symbol_plus_person(p, o, w, h, sign):
    person(p, w / 2 - 3 + o, 8 + o, INK)
    x, y = int(w / 2 + 4 + o), 20 + o
    p.rect(x, y + 3, 8, 2, GREEN if sign == '+' else RED)
    if sign == '+':
        p.rect(x + 3, y, 2, 8, GREEN)


def symbol_chat(p, o, w, h):
    p.round_rect(7 + o, 10 + o, w - 14, h - 22, 5, WHITE)
    p.triangle(((12 + o, h - 13 + o), (20 + o, h - 13 + o), (11 + o, h - 7 + o)), WHITE)
    for i in range(3):
        p.disc(w / 2 - 6 + 6 * i + o, h / 2 - 2 + o, 1.6, INK)


def symbol_eye(p, o, w, h):
    cx, cy = w / 2 + o, h / 2 + o
    p.round_rect(int(cx - 7), int(cy - 4), 14, 8, 4, WHITE)
    p.disc(cx, cy, 3, INK)


def symbol_handset(p, o, w, h, colour):
    cx, cy = w / 2 + o, h / 2 + o
    p.disc(cx, cy, 10, colour)
    p.line(int(cx - 5), int(cy + 2), int(cx + 5), int(cy - 3), WHITE, 3)
    p.disc(cx - 5, cy + 2, 2.5, WHITE)
    p.disc(cx + 5, cy - 3, 2.5, WHITE)


def symbol_play(p, o, w, h):
    cx, cy = w / 2 + o, h / 2 + o
    p.triangle(((cx - 4, cy - 7), (cx - 4, cy + 7), (cx + 6, cy)), INK)


def symbol_delete(p, o, w, h):
    cx, cy = int(w / 2 + o), int(h / 2 + o)
    p.line(cx - 6, cy - 6, cx + 6, cy + 6, RED, 3)
    p.line(cx - 6, cy + 6, cx + 6, cy - 6, RED, 3)


def symbol_encode(p, o, w, h):
    x, y = 6 + o, 8 + o
    p.rect(x, y, w - 12, h - 16, INK)
    for i in range(4):
        p.rect(x + 2 + i * 5, y + 2, 3, 2, WHITE)
        p.rect(x + 2 + i * 5, y + h - 20, 3, 2, WHITE)
    p.triangle(((w / 2 - 3 + o, h / 2 - 3 + o), (w / 2 - 3 + o, h / 2 + 4 + o), (w / 2 + 4 + o, h / 2 + o)), WHITE)


def symbol_upload(p, o, w, h):
    cx = w / 2 + o
    p.triangle(((cx - 8, 15 + o), (cx + 8, 15 + o), (cx, 6 + o)), INK)
    p.rect(int(cx - 3), 15 + o, 6, 8, INK)
    p.rect(6 + o, 25 + o, w - 12, 2, INK)


def check_box(state, look):
    face, edge, mark = {'normal': (WHITE, DARK, INK), 'focused': (WHITE, RED, INK),
                        'disabled': (0xE4E9EE, GREY, GREY)}[look]
    p = Picture(17, 13, PANEL)
    p.rect(2, 0, 13, 13, face)
    p.frame(2, 0, 13, 13, edge)
    if state == 1:
        p.line(5, 6, 7, 9, mark, 2)
        p.line(7, 9, 12, 3, mark, 2)
    elif state == 2:
        p.rect(5, 3, 7, 7, mark)
    return p


def tab(selected):
    p = Picture(85, 17, PANEL)
    p.round_rect(0, 0, 85, 21, 5, WHITE if selected else LIGHT)
    for x in range(3, 82):
        p.set(x, 0, DARK)
    for y in range(3, 17):
        p.set(0, y, DARK)
        p.set(84, y, DARK)
    if not selected:
        p.rect(0, 16, 85, 1, DARK)
    return p


KEY_TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'VQKeyTable.inc')
# Where the picture sits in the input replay window: the table's places are
# window coordinates.
KEYBOARD_AT = (2, 12)
OTHER_KEY = (404, 110, 16, 16)


def key_rows():
    """The rows of VQKeyTable.inc: (name, x, y, width, height, label)."""
    pattern = re.compile(r'^VQ_KEY\("(\w+)",\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+),\s*"((?:[^"\\]|\\.)*)"\)')
    rows = []
    with open(KEY_TABLE) as f:
        for line in f:
            m = pattern.match(line.strip())
            if m:
                label = m.group(6).replace('\\\\', '\\')
                rows.append((m.group(1), int(m.group(2)), int(m.group(3)), int(m.group(4)), int(m.group(5)), label))
    return rows


def keyboard():
    """The keyboard and mouse of the input replay, drawn from the key table."""
    ox, oy = KEYBOARD_AT
    p = Picture(491, 121, PANEL)
    p.round_rect(2, 8, 340, 110, 6, 0xDDE3EA)
    p.round_rect(434, 44, 52, 74, 16, 0xDDE3EA)  # the mouse
    p.text(438, 100, 'MOUSE', GREY)
    x, y, w, h = OTHER_KEY
    p.frame(x - ox, y - oy, w, h, GREY)
    p.text(x - ox + 6, y - oy + 4, '?', GREY)
    p.text(x - ox - 8, y - oy - 10, 'OTHER', GREY)
    for name, x, y, w, h, label in key_rows():
        x, y = x - ox, y - oy
        p.rect(x, y, w, h, WHITE)
        p.frame(x, y, w, h, GREY)
        if label and len(label) * 6 - 1 <= w - 2:
            p.text(x + (w - (len(label) * 6 - 1)) // 2, y + (h - 7) // 2, label, INK)
        elif label:
            p.text(x + 2, y + (h - 7) // 2, label[:(w - 3) // 6], INK)
    return p


def logo():
    p = Picture(106, 34, alpha=True)
    p.round_rect(0, 0, 106, 34, 8, DEEP, 230)
    p.disc(17, 17, 11, WHITE)
    p.disc(17, 17, 6, DEEP)
    p.disc(17, 17, 3, RED)
    p.text(33, 6, 'ORVALO', WHITE, 2)
    p.text(33, 22, 'HUD', PANEL, 1)
    return p


def intro():
    # The top rows stay the plain page colour: the dashboard's face shows the
    # same colour above the banner on every page.
    p = Picture(396, 183, PANEL)
    for y in range(96, 183):
        shade = int(0x40 * (y - 96) / 86)
        p.rect(0, y, 396, 1, ((0xCD - shade // 2) << 16) | ((0xE8 - shade // 3) << 8) | 0xFF)
    p.round_rect(14, 34, 368, 58, 10, DEEP)
    p.disc(50, 63, 21, WHITE)
    p.disc(50, 63, 12, DEEP)
    p.disc(50, 63, 6, RED)
    p.text(86, 44, 'ORVALO HUD', WHITE, 4)
    p.text(88, 78, 'IN-GAME RECORDING AND SHARING', PANEL, 1)
    for i, (colour, words) in enumerate(((RED, 'RECORD'), (GREEN, 'SHARE'), (YELLOW, 'CHAT'))):
        x = 34 + i * 120
        p.round_rect(x, 100, 96, 38, 8, WHITE)
        p.disc(x + 18, 119, 9, colour)
        p.text(x + 34, 116, words, INK, 1)
    # Beside the dashboard's show-intro box, which sits at (146, 170) here.
    p.text(166, 173, 'SHOW THIS PAGE AT START', INK, 1)
    return p


def icon(w, h, draw, background=PANEL):
    p = Picture(w, h, background)
    draw(p)
    return p


def pictures():
    out = {}
    out[4096] = logo()
    close = lambda w, h: icon(w, h, lambda p: (p.rect(0, 0, w, h, RED), p.line(1, 1, w - 2, h - 2, WHITE),
                                                p.line(1, h - 2, w - 2, 1, WHITE)))
    out[4097] = close(8, 7)
    out[4098] = close(12, 11)
    out[4099] = button(30, 36, False, lambda p, o: symbol_record(p, o, 30, 36))
    out[4100] = button(30, 31, False, lambda p, o: symbol_record(p, o, 30, 31))
    out[4101] = button(30, 36, False, lambda p, o: symbol_share(p, o, 30, 36))
    out[4102] = icon(1, 21, lambda p: p.rect(0, 2, 1, 17, DARK))
    for pressed, ident in ((False, 4103), (True, 4104)):
        out[ident] = button(22, 35, pressed, lambda p, o: symbol_plus_person(p, o, 22, 35, '+'))
    for pressed, ident in ((False, 4105), (True, 4106)):
        out[ident] = button(30, 35, pressed, lambda p, o: symbol_plus_person(p, o, 30, 35, '-'))
    # Check boxes: states 1, 2, 0 for each of the normal, focused and disabled sets.
    ident = 4107
    for look in ('normal', 'focused', 'disabled'):
        for state in (1, 2, 0):
            out[ident] = check_box(state, look)
            ident += 1
    pairs = [((4116, 4117), 38, 40, symbol_chat), ((4118, 4119), 19, 30, symbol_eye),
             ((4120, 4121), 27, 34, lambda p, o, w, h: symbol_handset(p, o, w, h, GREEN)),
             ((4122, 4123), 27, 34, lambda p, o, w, h: symbol_handset(p, o, w, h, RED)),
             ((4130, 4131), 20, 30, symbol_play), ((4132, 4133), 30, 30, symbol_delete),
             ((4134, 4135), 30, 30, symbol_encode), ((4136, 4137), 29, 32, symbol_upload)]
    # The second picture of each pair is the button's look while it cannot be used.
    for (normal, unusable), w, h, draw in pairs:
        out[normal] = button(w, h, False, lambda p, o, w=w, h=h, draw=draw: draw(p, o, w, h))
        out[unusable] = washed(button(w, h, False, lambda p, o, w=w, h=h, draw=draw: draw(p, o, w, h)))
    out[4124] = icon(13, 13, lambda p: (p.disc(6.5, 6.5, 6.5, DARK), p.text(4, 3, '?', WHITE)))
    out[4125] = icon(14, 14, lambda p: (p.disc(7, 7, 6.5, INK), p.disc(7, 7, 4, LIGHT), p.disc(7, 7, 2, INK),
                                        [p.rect(6, y, 2, 2, INK) for y in (0, 12)],
                                        [p.rect(x, 6, 2, 2, INK) for x in (0, 12)]))
    out[4126] = icon(14, 14, lambda p: (p.frame(1, 1, 8, 12, INK), p.line(5, 7, 12, 7, RED, 2),
                                        p.triangle(((10, 3), (10, 11), (14, 7)), RED)))
    out[4127] = icon(14, 14, lambda p: (p.frame(1, 1, 12, 12, INK), p.rect(4, 4, 6, 6, DARK)))
    out[4128] = tab(True)
    out[4129] = tab(False)
    out[4138] = keyboard()
    # Permission column heads: contact, chat, video.
    out[4300] = icon(14, 14, lambda p: person(p, 7, 0, INK))
    out[4301] = icon(14, 14, lambda p: (p.round_rect(0, 1, 14, 9, 3, INK),
                                        p.triangle(((2, 9), (7, 9), (2, 13)), INK)))
    out[4302] = icon(14, 14, lambda p: (p.round_rect(0, 3, 10, 8, 2, INK),
                                        p.triangle(((9, 7), (14, 3), (14, 11)), INK)))
    # Status dots: 4305 online (state 0), 4306 offline (state 1), 4303 and 4304 for states 2 and 3.
    for ident, colour in ((4305, GREEN), (4306, GREY), (4303, YELLOW), (4304, RED)):
        out[ident] = icon(15, 11, lambda p, c=colour: (p.disc(7.5, 5.5, 5, DARK), p.disc(7.5, 5.5, 4, c)),
                          WHITE)
    out[4307] = icon(47, 38, lambda p: (p.round_rect(0, 0, 47, 38, 6, DEEP), person(p, 17, 8, WHITE),
                                        p.disc(33, 23, 5, YELLOW), p.rect(31, 27, 4, 8, YELLOW)))
    out[4500] = intro()
    out[4501] = icon(16, 16, lambda p: (p.round_rect(0, 0, 16, 16, 4, DEEP), p.disc(8, 8, 5, WHITE),
                                        p.disc(8, 8, 2.5, RED)))
    out[4502] = icon(18, 17, lambda p: (p.rect(2, 5, 5, 7, INK), p.triangle(((6, 5), (12, 0), (12, 17)), INK),
                                        p.ring(11, 8.5, 7, 1.5, DARK)))
    return out


def png_file(width, height, bit_depth, colour_type, rows, extra=b''):
    """A PNG of any colour type from packed rows (each row's bytes, without filter byte)."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)
    raw = b''.join(b'\0' + row for row in rows)
    header = struct.pack('>IIBBBBB', width, height, bit_depth, colour_type, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + extra + chunk(b'IDAT', zlib.compress(raw)) +
            chunk(b'IEND', b''))


def test_pictures():
    """Pictures that the canvas must refuse or convert, for the canvas tests."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)
    out = {}
    # Grey with alpha (two channels), 4 x 3.
    out[9001] = png_file(4, 3, 8, 4, [bytes((0x80, 0xFF) * 4)] * 3)
    # An RGB picture of 40 x 40 cut off in the middle of its data.
    whole = png_file(40, 40, 8, 2, [bytes(range(120))] * 40)
    out[9002] = whole[:len(whole) // 2]
    # A header claiming 100000 x 100000 RGBA pixels.
    out[9003] = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 100000, 100000, 8, 6, 0, 0, 0)) +
                 chunk(b'IDAT', zlib.compress(b'\0' * 64)) + chunk(b'IEND', b''))
    # A 3 x 2 palette picture whose second colour is half transparent.
    palette = chunk(b'PLTE', bytes((255, 0, 0, 0, 255, 0, 0, 0, 255)))
    trns = chunk(b'tRNS', bytes((255, 128)))
    out[9004] = png_file(3, 2, 8, 3, [bytes((0, 1, 2)), bytes((2, 1, 0))], palette + trns)
    # 8-bit grey, 2 x 2.
    out[9005] = png_file(2, 2, 8, 0, [bytes((0x10, 0x20)), bytes((0x30, 0x40))])
    return out


def write_if_changed(path, data):
    old = None
    if os.path.exists(path):
        with open(path, 'rb') as f:
            old = f.read()
    if old != data:  # unchanged files keep their time, so nothing is rebuilt
        with open(path, 'wb') as f:
            f.write(data)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == '--test':
        folder = sys.argv[2]
        os.makedirs(folder, exist_ok=True)
        for ident, data in sorted(test_pictures().items()):
            write_if_changed(os.path.join(folder, 'test%d.png' % ident), data)
        return
    if len(sys.argv) != 2:
        sys.exit('usage: make_images.py [--test] <output folder>')
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for ident, picture in sorted(pictures().items()):
        path = os.path.join(folder, 'img%d.png' % ident)
        write_if_changed(path, picture.png())



if __name__ == '__main__':
    main()
