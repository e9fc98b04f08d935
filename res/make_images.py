#!/usr/bin/env python3
"""Draws the window's pictures and writes them next to this script.

    python3 res/make_images.py

Only the standard library is used, so the pictures can be remade anywhere:
  tarsel.png     64 x 64 program icon (the same drawing as tarsel.svg)
  status.png     32 x 32 lamp shown beside a finished phase of the search
  check.png      32 x 32 black check mark on a transparent ground (viewed mail)
  blank.png      32 x 32 fully transparent (mail not viewed yet)
  about.bmp      431 x 258, 16 colours, uncompressed: the version dialog's picture
  animation.gif  150 x 31, 74 frames at 10 frames a second, looping
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# ---------------------------------------------------------------------------------------------
# Drawing on a grid of pixels (RGBA tuples or palette indexes, whatever the caller stores).


class Canvas:
    def __init__(self, width, height, fill):
        self.width = width
        self.height = height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, value):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = value

    def rect(self, x0, y0, x1, y1, value):
        for y in range(max(y0, 0), min(y1, self.height)):
            row = self.pixels[y]
            for x in range(max(x0, 0), min(x1, self.width)):
                row[x] = value

    def shape(self, inside, value, box=None):
        """Sets every pixel whose centre satisfies inside(x, y)."""
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        for y in range(max(y0, 0), min(y1, self.height)):
            for x in range(max(x0, 0), min(x1, self.width)):
                if inside(x + 0.5, y + 0.5):
                    self.pixels[y][x] = value

    def disc(self, cx, cy, r, value):
        self.shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, value,
                   (int(cx - r - 1), int(cy - r - 1), int(cx + r + 2), int(cy + r + 2)))

    def ring(self, cx, cy, r, thickness, value):
        inner = r - thickness
        self.shape(lambda x, y: inner * inner <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r, value,
                   (int(cx - r - 1), int(cy - r - 1), int(cx + r + 2), int(cy + r + 2)))

    def line(self, ax, ay, bx, by, thickness, value):
        half = thickness / 2.0
        box = (int(min(ax, bx) - half - 1), int(min(ay, by) - half - 1),
               int(max(ax, bx) + half + 2), int(max(ay, by) + half + 2))
        self.shape(lambda x, y: segment_distance(x, y, ax, ay, bx, by) <= half, value, box)

    def polygon(self, points, value):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        box = (int(min(xs)) - 1, int(min(ys)) - 1, int(max(xs)) + 2, int(max(ys)) + 2)
        self.shape(lambda x, y: inside_polygon(x, y, points), value, box)

    def text(self, x, y, message, scale, value):
        for ch in message:
            glyph = FONT.get(ch, FONT[' '])
            for gy, bits in enumerate(glyph):
                for gx, bit in enumerate(bits):
                    if bit == '#':
                        self.rect(x + gx * scale, y + gy * scale,
                                  x + (gx + 1) * scale, y + (gy + 1) * scale, value)
            x += (len(glyph[0]) + 1) * scale


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0.0 if length == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def inside_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def text_width(message, scale):
    return sum((len(FONT.get(ch, FONT[' '])[0]) + 1) * scale for ch in message) - scale


# A 5 x 7 capital font with the letters the pictures need.
FONT = {
    ' ': ['.....'] * 7,
    '.': ['.', '.', '.', '.', '.', '#', '#'],
    '0': ['.###.', '#...#', '#..##', '#.#.#', '##..#', '#...#', '.###.'],
    '1': ['..#..', '.##..', '..#..', '..#..', '..#..', '..#..', '.###.'],
    'A': ['.###.', '#...#', '#...#', '#####', '#...#', '#...#', '#...#'],
    'C': ['.###.', '#...#', '#....', '#....', '#....', '#...#', '.###.'],
    'E': ['#####', '#....', '#....', '####.', '#....', '#....', '#####'],
    'H': ['#...#', '#...#', '#...#', '#####', '#...#', '#...#', '#...#'],
    'I': ['###', '.#.', '.#.', '.#.', '.#.', '.#.', '###'],
    'L': ['#....', '#....', '#....', '#....', '#....', '#....', '#####'],
    'M': ['#...#', '##.##', '#.#.#', '#.#.#', '#...#', '#...#', '#...#'],
    'N': ['#...#', '##..#', '#.#.#', '#..##', '#...#', '#...#', '#...#'],
    'O': ['.###.', '#...#', '#...#', '#...#', '#...#', '#...#', '.###.'],
    'R': ['####.', '#...#', '#...#', '####.', '#.#..', '#..#.', '#...#'],
    'S': ['.####', '#....', '#....', '.###.', '....#', '....#', '####.'],
    'T': ['#####', '..#..', '..#..', '..#..', '..#..', '..#..', '..#..'],
    'V': ['#...#', '#...#', '#...#', '#...#', '#...#', '.#.#.', '..#..'],
}

# ---------------------------------------------------------------------------------------------
# File formats.


def write_png(path, canvas):
    """canvas holds (r, g, b, a) tuples."""
    raw = bytearray()
    for row in canvas.pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body))

    header = struct.pack('>IIBBBBB', canvas.width, canvas.height, 8, 6, 0, 0, 0)
    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
                  chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def write_bmp4(path, canvas, palette):
    """canvas holds palette indexes 0..15; bottom-up rows, 4 bits a pixel, no compression."""
    assert len(palette) == 16
    row_bytes = ((canvas.width + 1) // 2 + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(canvas.pixels):
        packed = bytearray(row_bytes)
        for x, index in enumerate(row):
            packed[x // 2] |= index << (4 if x % 2 == 0 else 0)
        pixels += packed
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(table)
    info = struct.pack('<IiiHHIIiiII', 40, canvas.width, canvas.height, 1, 4, 0, len(pixels),
                       2835, 2835, 16, 16)
    with open(path, 'wb') as out:
        out.write(b'BM' + struct.pack('<IHHI', offset + len(pixels), 0, 0, offset))
        out.write(info + table + pixels)


def lzw_codes(indices, min_size):
    """Yields (code, bit width) in the order a GIF decoder reads them."""
    clear = 1 << min_size
    end = clear + 1

    def width(next_code):
        # A decoder adds its entries one code behind the encoder.
        return max(min_size + 1, min(12, (next_code - 1).bit_length()))

    table = {bytes([i]): i for i in range(clear)}
    next_code = end + 1
    yield clear, min_size + 1
    word = b''
    for index in indices:
        longer = word + bytes([index])
        if longer in table:
            word = longer
            continue
        yield table[word], width(next_code)
        table[longer] = next_code
        next_code += 1
        word = bytes([index])
        if next_code == 4095:
            yield clear, 12
            table = {bytes([i]): i for i in range(clear)}
            next_code = end + 1
    if word:
        yield table[word], width(next_code)
    yield end, width(next_code + 1) if word else width(next_code)


def lzw_bytes(indices, min_size):
    out = bytearray()
    accumulator = 0
    bits = 0
    for code, size in lzw_codes(indices, min_size):
        accumulator |= code << bits
        bits += size
        while bits >= 8:
            out.append(accumulator & 0xFF)
            accumulator >>= 8
            bits -= 8
    if bits:
        out.append(accumulator & 0xFF)
    return bytes(out)


def write_gif(path, frames, palette, delay_cs):
    """frames: canvases of palette indexes; palette: up to 256 (r, g, b)."""
    size_bits = max(1, (len(palette) - 1).bit_length())
    colours = list(palette) + [(0, 0, 0)] * ((1 << size_bits) - len(palette))
    width, height = frames[0].width, frames[0].height
    out = bytearray(b'GIF89a')
    out += struct.pack('<HHBBB', width, height, 0x80 | (size_bits - 1), 0, 0)
    out += b''.join(bytes(c) for c in colours)
    out += b'\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00'  # repeat for ever
    min_size = max(2, size_bits)
    for frame in frames:
        out += b'\x21\xf9\x04' + struct.pack('<BHBB', 0x04, delay_cs, 0, 0)
        out += b'\x2c' + struct.pack('<HHHHB', 0, 0, width, height, 0)
        data = lzw_bytes([i for row in frame.pixels for i in row], min_size)
        out.append(min_size)
        for start in range(0, len(data), 255):
            block = data[start:start + 255]
            out.append(len(block))
            out += block
        out.append(0)
    out.append(0x3B)
    with open(path, 'wb') as f:
        f.write(out)


# ---------------------------------------------------------------------------------------------
# The pictures.

CLEAR = (0, 0, 0, 0)
INK = (0, 0, 0, 255)
WHITE = (255, 255, 255, 255)
BLUE = (31, 78, 160, 255)
DEEP = (20, 44, 96, 255)
RED = (214, 40, 40, 255)
STEEL = (90, 96, 110, 255)


def smooth(draw, size, factor=4):
    """Draws at factor times the size and averages down, for soft edges on the icons."""
    big = Canvas(size * factor, size * factor, CLEAR)
    draw(big, factor)
    small = Canvas(size, size, CLEAR)
    for y in range(size):
        for x in range(size):
            samples = [big.pixels[y * factor + j][x * factor + i]
                       for j in range(factor) for i in range(factor)]
            alpha = sum(s[3] for s in samples)
            if alpha == 0:
                continue
            colour = tuple(round(sum(s[c] * s[3] for s in samples) / alpha) for c in range(3))
            small.pixels[y][x] = colour + (round(alpha / len(samples)),)
    return small


def draw_program_icon(c, k):
    # Rounded blue tile, a white envelope, a magnifying glass with a red lens rim.
    c.shape(lambda x, y: rounded_box(x, y, 4 * k, 4 * k, 60 * k, 60 * k, 10 * k), BLUE)
    c.rect(12 * k, 18 * k, 46 * k, 42 * k, WHITE)
    c.line(12 * k, 18 * k, 29 * k, 32 * k, 2.5 * k, DEEP)
    c.line(46 * k, 18 * k, 29 * k, 32 * k, 2.5 * k, DEEP)
    c.line(41 * k, 41 * k, 55 * k, 55 * k, 6 * k, STEEL)
    c.disc(38 * k, 38 * k, 11 * k, (255, 255, 255, 200))
    c.ring(38 * k, 38 * k, 11 * k, 3.5 * k, RED)


def rounded_box(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1


def draw_status(c, k):
    # A green lamp with a highlight: the phase is done.
    c.disc(16 * k, 16 * k, 11 * k, (20, 110, 40, 255))
    c.disc(16 * k, 16 * k, 9 * k, (60, 190, 80, 255))
    c.disc(13 * k, 12.5 * k, 3.5 * k, (200, 245, 205, 255))


def draw_check(c, k):
    c.polygon([(5 * k, 17 * k), (9 * k, 13 * k), (14 * k, 19 * k), (25 * k, 6 * k),
               (29 * k, 10 * k), (14 * k, 27 * k)], INK)


# The 16 colours of the version picture.
ABOUT_PALETTE = [
    (0, 0, 0), (16, 36, 84), (22, 50, 112), (30, 66, 140), (40, 84, 168), (56, 104, 190),
    (80, 128, 206), (112, 156, 220), (150, 186, 232), (196, 216, 242), (255, 255, 255),
    (214, 40, 40), (250, 210, 80), (96, 100, 112), (160, 164, 172), (236, 240, 246),
]
PANEL = 15  # ground of the strip the animation plays on
ANIM_PLACE = (124, 22)  # the animation's top-left corner within the picture


def about_picture():
    w, h = 431, 258
    c = Canvas(w, h, 1)
    for y in range(h):  # banded sky, darker at the top
        c.rect(0, y, w, y + 1, 1 + min(7, y * 8 // h))
    ax, ay = ANIM_PLACE
    c.rect(ax - 4, ay - 4, ax + 154, ay + 35, 9)
    c.rect(ax - 2, ay - 2, ax + 152, ay + 33, PANEL)
    # A letter half out of its envelope, a magnifying glass finding a word on it.
    c.rect(30, 150, 170, 226, 10)
    c.line(30, 151, 100, 196, 3, 13)
    c.line(170, 151, 100, 196, 3, 13)
    c.rect(44, 84, 156, 170, 15)
    c.rect(44, 84, 156, 86, 14)
    for row, y in enumerate(range(96, 150, 10)):
        c.rect(54, y, 146 - (row % 3) * 14, y + 4, 14)
    c.rect(30, 150, 170, 226, 10)
    c.polygon([(30, 150), (100, 198), (170, 150), (170, 226), (30, 226)], 10)
    c.line(30, 226, 86, 186, 2, 14)
    c.line(170, 226, 114, 186, 2, 14)
    c.line(30, 151, 100, 199, 2, 13)
    c.line(170, 151, 100, 199, 2, 13)
    c.line(150, 150, 180, 180, 10, 13)
    c.disc(130, 128, 24, 9)
    c.rect(112, 125, 148, 131, 11)
    c.ring(130, 128, 24, 6, 3)
    title = 'TARSEL'
    c.text(196, 104, title, 6, 10)
    c.text(198, 104 + 7 * 6 + 12, 'MAIL ARCHIVE SEARCH', 2, 12)
    version = 'VERSION 1.0.0.1'
    c.text(w - 24 - text_width(version, 2), h - 30, version, 2, 10)
    return c


# The animation's colours: the panel ground of the picture, text grey, hit red, glass.
ANIM_PALETTE = [ABOUT_PALETTE[PANEL], (150, 156, 168), (214, 40, 40), (96, 100, 112),
                (196, 216, 242), (30, 66, 140), (255, 255, 255), (250, 210, 80)]
FRAMES = 74


def animation_frames():
    """A line of text runs along the strip; a magnifying glass passes over it from left to
    right and every word it finds turns red, then the found words blink once at the end."""
    words = [(6, 9), (19, 14), (37, 8), (49, 16), (69, 10), (83, 12), (99, 18), (121, 9),
             (134, 10)]
    hits = {1, 4, 6}
    frames = []
    travel = 62  # frames the glass needs to cross the strip
    for n in range(FRAMES):
        c = Canvas(150, 31, 0)
        c.rect(0, 0, 150, 1, 4)
        c.rect(0, 30, 150, 31, 4)
        gx = -14 + (150 + 28) * min(n, travel) / travel
        blink = n > travel and (n - travel) % 4 < 2
        for i, (x, length) in enumerate(words):
            found = i in hits and x + length / 2 < gx
            colour = 2 if found and not blink else 1
            c.rect(x, 13, x + length, 18, colour)
        if n <= travel:
            c.disc(gx, 14, 9, 6)
            for i, (x, length) in enumerate(words):
                for px in range(x, x + length):
                    for py in range(13, 18):
                        if (px + 0.5 - gx) ** 2 + (py + 0.5 - 14) ** 2 <= 64:
                            c.put(px, py, 2 if i in hits else 3)
            c.ring(gx, 14, 9, 2.2, 5)
            c.line(gx + 6.5, 20.5, gx + 12, 27, 3, 3)
        else:
            c.disc(143, 7, 3, 7)
        frames.append(c)
    return frames


def main():
    write_png(os.path.join(HERE, 'tarsel.png'), smooth(draw_program_icon, 64))
    write_png(os.path.join(HERE, 'status.png'), smooth(draw_status, 32))
    write_png(os.path.join(HERE, 'check.png'), smooth(draw_check, 32))
    write_png(os.path.join(HERE, 'blank.png'), Canvas(32, 32, CLEAR))
    write_bmp4(os.path.join(HERE, 'about.bmp'), about_picture(), ABOUT_PALETTE)
    write_gif(os.path.join(HERE, 'animation.gif'), animation_frames(), ANIM_PALETTE, 10)


if __name__ == '__main__':
    main()
