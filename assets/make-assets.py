#!/usr/bin/env python3
"""Draw Thinwick's image assets and write them next to this script.

Only the standard library is used; every pixel comes from the ASCII masks
and plain geometry below.  Output is deterministic: running the script again
rewrites byte-identical files.

Files written:
  HAND-M.CUR    32x32 pointing-hand cursor (hotspot at the index fingertip)
  drag.ico      32x32 "move rows" symbol
  thinwick.png  64x64 application icon
  thinwick.ico  application icon at 32x32, plus a die-only 16x16
  icons/<n>x<n>/thinwick.png  the application icon in the desktop's usual sizes
  Samples/      forty small made-up files for the sample run: text notes,
                lists and small images, some names with blanks and letters
                beyond ASCII
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# An image is (width, height, pixels) where pixels is a row-major list of
# (r, g, b, a) tuples, top row first.
CLEAR = (0, 0, 0, 0)
BLACK = (0, 0, 0, 255)
WHITE = (255, 255, 255, 255)


# ---------------------------------------------------------------- encoders

def dib_entry(img):
    """BITMAPINFOHEADER + bottom-up 32-bit BGRA pixels + 1-bit AND mask."""
    w, h, px = img
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[y * w + x]
            xor += bytes((b, g, r, a))
    stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if px[y * w + x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    body = bytes(xor) + bytes(mask)
    header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 32, 0, len(body),
                         0, 0, 0, 0)
    return header + body


def ico_file(images, hotspot=None):
    """Type 1 (.ico) file, or type 2 (.cur) when a hotspot (x, y) is given."""
    kind = 1 if hotspot is None else 2
    out = struct.pack('<HHH', 0, kind, len(images))
    blobs = [dib_entry(img) for img in images]
    offset = 6 + 16 * len(images)
    for img, blob in zip(images, blobs):
        w, h, _ = img
        if hotspot is None:
            f1, f2 = 1, 32            # colour planes, bits per pixel
        else:
            f1, f2 = hotspot          # hotspot x, hotspot y
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, f1, f2,
                           len(blob), offset)
        offset += len(blob)
    return out + b''.join(blobs)


def png_file(img):
    w, h, px = img

    def chunk(tag, data):
        return (struct.pack('>I', len(data)) + tag + data +
                struct.pack('>I', zlib.crc32(tag + data) & 0xffffffff))

    raw = bytearray()
    for y in range(h):
        raw.append(0)                 # filter: none
        for x in range(w):
            raw += bytes(px[y * w + x])
    ihdr = struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) +
            chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


# ------------------------------------------------------------ mask helpers

def from_ascii(rows, size, origin, palette):
    """Place ASCII art on a transparent size x size canvas at origin."""
    px = [CLEAR] * (size * size)
    ox, oy = origin
    for y, line in enumerate(rows):
        for x, ch in enumerate(line):
            if ch in palette:
                px[(oy + y) * size + (ox + x)] = palette[ch]
    return (size, size, px)


# ------------------------------------------------------------- hand cursor

# '#' outline, 'o' fill, anything else transparent.
HAND = [
    '.....##..........',
    '....#oo#.........',
    '....#oo#.........',
    '....#oo#.........',
    '....#oo#.........',
    '....#oo###.......',
    '....#oo#oo###....',
    '....#oo#oo#oo##..',
    '....#oo#oo#oo#o#.',
    '.##.#oo#oo#oo#oo#',
    '#oo##oo#oo#oo#oo#',
    '#ooo#oo#oo#oo#oo#',
    '.#ooo#oooooooooo#',
    '..#ooooooooooooo#',
    '..#ooooooooooooo#',
    '...#oooooooooooo#',
    '...#ooooooooooo#.',
    '....#oooooooooo#.',
    '....#oooooooooo#.',
    '.....#oooooooo#..',
    '.....#oooooooo#..',
    '.....##########..',
]
HAND_ORIGIN = (7, 4)
HAND_TIP = (5, 0)                     # fingertip, relative to the art


def hand_cursor():
    assert all(len(row) == len(HAND[0]) for row in HAND), 'ragged hand art'
    img = from_ascii(HAND, 32, HAND_ORIGIN, {'#': BLACK, 'o': WHITE})
    hot = (HAND_ORIGIN[0] + HAND_TIP[0], HAND_ORIGIN[1] + HAND_TIP[1])
    return img, hot


# ---------------------------------------------------------------- drag icon

def drag_icon():
    n = 32
    solid = set()
    # Up arrow head (rows 2..7) and its mirror image, the down arrow head,
    # each kept one transparent row clear of the outlined rows.
    for i in range(6):
        for x in range(15 - i, 17 + i):
            solid.add((x, 2 + i))
            solid.add((x, 29 - i))
    # Three rows.
    for top in (11, 15, 19):
        for y in (top, top + 1):
            for x in range(8, 24):
                solid.add((x, y))
    px = [CLEAR] * (n * n)
    for (x, y) in solid:
        for dy in (-1, 0, 1):
            for dx in (-1, 0, 1):
                px[(y + dy) * n + (x + dx)] = WHITE
    for (x, y) in solid:
        px[y * n + x] = BLACK
    return (n, n, px)


# ---------------------------------------------------------- application icon

INK = (38, 50, 56)
PAPER = (255, 255, 255)
DIE = (244, 81, 30)
R2 = 2 ** 0.5


def in_convex(p, halfplanes):
    """halfplanes: list of (a, b, c) meaning a*x + b*y <= c."""
    x, y = p
    return all(a * x + b * y <= c for a, b, c in halfplanes)


def page(inset):
    # Sheet with its top-right corner folded: x in [8, 46], y in [4, 58],
    # cut along x - y <= 28.
    d = inset
    return [(-1, 0, -(8 + d)), (1, 0, 46 - d), (0, -1, -(4 + d)),
            (0, 1, 58 - d), (1, -1, 28 - d * R2)]


def fold(inset):
    d = inset
    return [(-1, 0, -(32 + d)), (0, 1, 18 - d), (1, -1, 28 - d * R2)]


def in_rrect(p, x0, y0, x1, y1, r):
    x, y = p
    if not (x0 <= x <= x1 and y0 <= y <= y1):
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_circle(p, cx, cy, r):
    return (p[0] - cx) ** 2 + (p[1] - cy) ** 2 <= r * r


def app_colour(p):
    """Colour of the art at point p (64-unit space), or None if empty."""
    # Die, drawn on top.
    if in_rrect(p, 27, 27, 61, 61, 8):
        if not in_rrect(p, 30, 30, 58, 58, 5):
            return INK
        for cx, cy in ((36, 36), (52, 36), (44, 44), (36, 52), (52, 52)):
            if in_circle(p, cx, cy, 3.6):
                return PAPER
        return DIE
    # White margin so the die stands clear of the page outline.
    if in_rrect(p, 24, 24, 64, 64, 10):
        return None
    if in_convex(p, fold(0)):
        return INK
    if in_convex(p, page(0)):
        if not in_convex(p, page(3)):
            return INK
        x, y = p
        for ly, lx1 in ((14, 26), (22, 38), (30, 38), (38, 24), (46, 20)):
            if 14 <= x <= lx1 and ly <= y <= ly + 3:
                return INK
        return PAPER
    return None


def small_colour(p):
    """Simplified art for 16x16: the die alone, filling the square."""
    if in_rrect(p, 2, 2, 62, 62, 14):
        if not in_rrect(p, 6, 6, 58, 58, 10):
            return INK
        for cx, cy in ((19, 19), (45, 19), (32, 32), (19, 45), (45, 45)):
            if in_circle(p, cx, cy, 6):
                return PAPER
        return DIE
    return None


def render(size, colour_at, samples):
    """Supersample the 64-unit art at size x size pixels."""
    scale = 64.0 / size
    px = []
    n = samples * samples
    for py in range(size):
        for pxl in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at(((pxl + (sx + 0.5) / samples) * scale,
                                   (py + (sy + 0.5) / samples) * scale))
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1
            if a == 0:
                px.append(CLEAR)
            else:
                px.append((round(r / a), round(g / a), round(b / a),
                           round(255 * a / n)))
    return (size, size, px)


# ------------------------------------------------------------ sample files

# The colours of the little pictures, by name.
SWATCHES = {
    'sky': (92, 160, 220), 'grass': (96, 170, 80), 'sand': (230, 200, 140),
    'brick': (180, 70, 50), 'plum': (120, 60, 130), 'slate': (90, 100, 110),
}

NOTE_SUBJECTS = [
    'shopping list', 'meeting notes', 'ideas for the garden', 'books to read',
    'holiday packing', 'recipe ideas', 'things to fix', 'phone numbers to sort',
]


def note_text(index, subject):
    """A short made-up note; the same index always gives the same text."""
    lines = ['Note %d: %s' % (index, subject), '']
    for item in range(1, 4 + index % 4):
        lines.append('- item %d of note %d' % (item, index))
    lines.append('')
    lines.append('This is a sample file made for trying out Thinwick.')
    lines.append('Deleting it loses nothing.')
    return ('\n'.join(lines) + '\n').encode('utf-8')


def picture(size, colour, stripe):
    """A size x size opaque picture: a colour field with a diagonal stripe."""
    r, g, b = colour
    px = []
    for y in range(size):
        for x in range(size):
            on = abs(x - y) <= stripe
            px.append((255, 255, 255, 255) if on else (r, g, b, 255))
    return (size, size, px)


def sample_files():
    """(name, bytes) for every sample file, names in a fixed order."""
    files = []
    for i in range(1, 17):
        subject = NOTE_SUBJECTS[(i - 1) % len(NOTE_SUBJECTS)]
        files.append(('note-%02d.txt' % i, note_text(i, subject)))
    names = sorted(SWATCHES)
    for i in range(1, 13):
        colour = names[(i - 1) % len(names)]
        img = picture(16 + 4 * (i % 4), SWATCHES[colour], i % 3)
        files.append(('picture-%02d-%s.png' % (i, colour), png_file(img)))
    for i in range(1, 5):
        rows = ['day,item,amount'] + ['%d,thing %d,%d' % (d, d * i, d * 3 + i)
                                      for d in range(1, 8)]
        files.append(('list-%d.csv' % i, ('\r\n'.join(rows) + '\r\n').encode()))
    # Names as users write them: blanks, accented letters, a sharp s.
    files.append(('holiday photo 1.png', png_file(picture(24, SWATCHES['sky'], 2))))
    files.append(('holiday photo 2.png', png_file(picture(24, SWATCHES['sand'], 1))))
    files.append(('Notiz für Jörg.txt', note_text(17, 'Einkauf für Samstag')))
    files.append(('Straßenplan.png', png_file(picture(20, SWATCHES['slate'], 0))))
    files.append(('café menu.txt', note_text(18, 'café menu')))
    files.append(('résumé draft.txt', note_text(19, 'résumé draft')))
    files.append(('año nuevo.txt', note_text(20, 'año nuevo')))
    files.append(('old report (copy).txt', note_text(21, 'old report')))
    return files


# --------------------------------------------------------------------- main

def write(name, data):
    path = os.path.join(HERE, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


def main():
    hand, hot = hand_cursor()
    assert hand[2][hot[1] * 32 + hot[0]] == BLACK, 'hotspot must be on the tip'
    write('HAND-M.CUR', ico_file([hand], hotspot=hot))
    write('drag.ico', ico_file([drag_icon()]))
    write('thinwick.png', png_file(render(64, app_colour, 4)))
    write('thinwick.ico', ico_file([render(32, app_colour, 8),
                                    render(16, small_colour, 8)]))
    for size in (16, 24, 32, 48, 64, 128, 256):
        art = small_colour if size < 32 else app_colour
        write('icons/%dx%d/thinwick.png' % (size, size),
              png_file(render(size, art, 8 if size <= 32 else 4)))
    samples = os.path.join(HERE, 'Samples')
    if os.path.isdir(samples):
        for old in os.listdir(samples):
            os.remove(os.path.join(samples, old))
    for name, data in sample_files():
        write(os.path.join('Samples', name), data)


if __name__ == '__main__':
    main()
