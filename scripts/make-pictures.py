#!/usr/bin/python3
"""Draws the program's pictures as PNG files, pixel by pixel, from nothing but arithmetic.

corvane.png, corvane-256.png  program icon (32x32) and launcher icon (256x256)
aide.png, about.png           window icons of the help and about windows (32x32)
mail.png                      envelope of the about window's mail link (32x32)
banner.png                    the maker's banner of the about window (73x33)
francais.png, english.png     the help window's two language pictures (28x17)
main.png                      hand pointer, hot spot at the fingertip (5, 0) (32x32)
acquitte.png                  pointer over the alarm acknowledgement area, hot spot (0, 0)
log.png                       pointer over the console log, hot spot (0, 0)

Run from anywhere: /usr/bin/python3 scripts/make-pictures.py
The output is the same on every run, so the committed files only change with this script.
"""
import struct
import zlib
from pathlib import Path

OUT = Path(__file__).resolve().parent.parent / "resources" / "pictures"

CLEAR = (0, 0, 0, 0)
BLACK = (0, 0, 0, 255)
WHITE = (255, 255, 255, 255)
NAVY = (20, 40, 110, 255)
BLUE = (40, 90, 200, 255)
SKY = (120, 180, 240, 255)
RED = (210, 30, 30, 255)
GREEN = (0, 128, 0, 255)
DARKGREEN = (0, 80, 0, 255)
YELLOW = (250, 210, 40, 255)
GREY = (128, 128, 128, 255)
PAPER = (250, 246, 230, 255)

# A 5x7 font for the few letters the pictures need.
FONT = {
    "?": ["01110", "10001", "00001", "00110", "00100", "00000", "00100"],
    "i": ["00100", "00000", "01100", "00100", "00100", "00100", "01110"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
}


class Canvas:
    def __init__(self, w, h, fill=CLEAR):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), both included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(self.h):
            for x in range(self.w):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def ring(self, cx, cy, r, width, c):
        for y in range(self.h):
            for x in range(self.w):
                d = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
                if r - width <= d <= r:
                    self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c, width=1):
        n = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(n + 1):
            x = round(x0 + (x1 - x0) * i / n)
            y = round(y0 + (y1 - y0) * i / n)
            self.rect(x, y, x + width - 1, y + width - 1, c)

    def text(self, x, y, s, c, scale=1):
        for ch in s:
            for row, bits in enumerate(FONT[ch]):
                for col, bit in enumerate(bits):
                    if bit == "1":
                        self.rect(x + col * scale, y + row * scale,
                                  x + col * scale + scale - 1, y + row * scale + scale - 1, c)
            x += 6 * scale

    def png(self):
        raw = b"".join(b"\x00" + b"".join(struct.pack("4B", *p) for p in row)
                       for row in self.px)

        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data +
                    struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

        return (b"\x89PNG\r\n\x1a\n" +
                chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def program_icon(size):
    """A radar screen: a navy disc with rings, a sweep and a red blip (the watched address)."""
    s = size / 32
    c = Canvas(size, size)
    c.disc(16 * s, 16 * s, 15.5 * s, BLACK)
    c.disc(16 * s, 16 * s, 14.5 * s, NAVY)
    c.ring(16 * s, 16 * s, 10 * s, max(1, s), SKY)
    c.ring(16 * s, 16 * s, 5.5 * s, max(1, s), SKY)
    c.line(int(16 * s), int(16 * s), int(26 * s), int(7 * s), YELLOW, max(1, int(s * 1.5)))
    c.disc(21 * s, 20 * s, 2.5 * s, RED)
    return c


def badge(letter, colour):
    c = Canvas(32, 32)
    c.disc(16, 16, 15.5, BLACK)
    c.disc(16, 16, 14.5, colour)
    c.text(9, 6, letter, WHITE, scale=3)
    return c


def mail_icon():
    c = Canvas(32, 32)
    c.rect(2, 7, 29, 24, PAPER)
    c.frame(2, 7, 29, 24, BLACK)
    c.line(2, 7, 15, 17, BLACK)
    c.line(29, 7, 16, 17, BLACK)
    c.line(2, 24, 12, 15, GREY)
    c.line(29, 24, 19, 15, GREY)
    c.rect(23, 9, 27, 12, RED)
    return c


def banner():
    c = Canvas(73, 33, DARKGREEN)
    c.frame(0, 0, 72, 32, BLACK)
    c.frame(2, 2, 70, 30, YELLOW)
    c.text(7, 6, "BRENN", WHITE, scale=2)
    c.rect(7, 24, 65, 25, YELLOW)
    return c


def french():
    """Blue, white and red bands, each band edged a little inwards."""
    c = Canvas(28, 17, WHITE)
    c.rect(0, 0, 8, 16, BLUE)
    c.rect(19, 0, 27, 16, RED)
    c.frame(0, 0, 27, 16, BLACK)
    return c


def english():
    """A blue field crossed by a white-edged red cross: 'international'."""
    c = Canvas(28, 17, BLUE)
    c.rect(0, 6, 27, 10, WHITE)
    c.rect(11, 0, 16, 16, WHITE)
    c.rect(0, 7, 27, 9, RED)
    c.rect(12, 0, 15, 16, RED)
    c.frame(0, 0, 27, 16, BLACK)
    return c


def hand():
    """A pointing hand; the tip of the index finger is the pixel (5, 0)."""
    c = Canvas(32, 32)
    # Index finger, standing up from the palm; outline first, then the white inside.
    c.rect(3, 0, 8, 14, BLACK)
    c.rect(4, 1, 7, 14, WHITE)
    c.rect(3, 0, 3, 0, CLEAR)
    c.rect(8, 0, 8, 0, CLEAR)
    c.set(4, 0, BLACK)
    c.set(7, 0, BLACK)
    c.set(5, 0, BLACK)
    c.set(6, 0, BLACK)
    # Three folded fingers and the palm.
    for x0 in (8, 12, 16):
        c.rect(x0, 8, x0 + 4, 14, BLACK)
        c.rect(x0 + 1, 9, x0 + 3, 14, WHITE)
    c.rect(0, 13, 3, 19, BLACK)  # thumb
    c.rect(1, 14, 2, 18, WHITE)
    c.rect(2, 14, 20, 26, BLACK)
    c.rect(3, 14, 19, 25, WHITE)
    c.rect(4, 14, 7, 14, WHITE)
    for x in (8, 12, 16):
        c.set(x, 14, GREY)
    return c


ARROW = [
    "B...........",
    "BB..........",
    "BWB.........",
    "BWWB........",
    "BWWWB.......",
    "BWWWWB......",
    "BWWWWWB.....",
    "BWWWWWWB....",
    "BWWWWWWWB...",
    "BWWWWWWWWB..",
    "BWWWWWWWWWB.",
    "BWWWWWWBBBBB",
    "BWWWBWWB....",
    "BWWBBWWB....",
    "BWB..BWWB...",
    "BB...BWWB...",
    "B.....BWWB..",
    "......BWWB..",
    ".......BB...",
]


def arrow(c):
    """The usual arrow pointer, tip at (0, 0)."""
    for y, row in enumerate(ARROW):
        for x, p in enumerate(row):
            if p != ".":
                c.set(x, y, BLACK if p == "B" else WHITE)
    return c


def acknowledge():
    """Arrow and a green tick: a press here acknowledges the alarm."""
    c = arrow(Canvas(32, 32))
    c.line(15, 21, 19, 26, GREEN, 3)
    c.line(19, 26, 28, 13, GREEN, 3)
    return c


def log_pointer():
    """Arrow and four colour squares: a press on the log changes its colours."""
    c = arrow(Canvas(32, 32))
    c.frame(15, 15, 30, 30, BLACK)
    c.rect(16, 16, 22, 22, RED)
    c.rect(23, 16, 29, 22, YELLOW)
    c.rect(16, 23, 22, 29, BLUE)
    c.rect(23, 23, 29, 29, GREEN)
    return c


PICTURES = {
    "corvane.png": lambda: program_icon(32),
    "corvane-256.png": lambda: program_icon(256),
    "aide.png": lambda: badge("?", BLUE),
    "about.png": lambda: badge("i", GREEN),
    "mail.png": mail_icon,
    "banner.png": banner,
    "francais.png": french,
    "english.png": english,
    "main.png": hand,
    "acquitte.png": acknowledge,
    "log.png": log_pointer,
}


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    for name, draw in PICTURES.items():
        (OUT / name).write_bytes(draw().png())
        print(name)


if __name__ == "__main__":
    main()
