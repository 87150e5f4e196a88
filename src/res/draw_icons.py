#!/usr/bin/env python3
"""Draws the module's two 32x32 icons and writes them as .ico files.

    module.ico   256 colours: a pale yellow tag on a blue string, circled by a
                 magenta arrow (the module's own icon)
    replace.ico  16 colours: two document pages, the rear one crossed out in
                 red, with red arrows between them (the replace question)

Each image is PNG-compressed (8 and 4 bits per pixel, a palette with one
transparent entry), which Windows reads from Vista on: a third of the
bitmap's bytes in the module.  The same images as bitmaps (a header, the
colour table, colour and mask rows) go to ../../tests/win32/ui/*-bitmap.ico,
where the tests compare what the system draws of the two.

Plain Python, no imaging library: the output is the same byte for byte on
every run.  Usage: draw_icons.py [OUTPUT_FOLDER [TEST_FOLDER]]
(default: this folder and the tests' folder).
"""

import math
import os
import struct
import sys
import zlib

SIZE = 32
SUBSAMPLES = 4  # per axis, for the smooth 256-colour icon


# ---- geometry -------------------------------------------------------------

def inside_polygon(x, y, points):
    """Even-odd rule."""
    inside = False
    n = len(points)
    for i in range(n):
        x1, y1 = points[i]
        x2, y2 = points[(i + 1) % n]
        if (y1 > y) != (y2 > y):
            cross_x = x1 + (y - y1) * (x2 - x1) / (y2 - y1)
            if x < cross_x:
                inside = not inside
    return inside


def distance_to_segment(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
    px, py = ax + t * dx, ay + t * dy
    return math.hypot(x - px, y - py)


def distance_to_polyline(x, y, points):
    return min(distance_to_segment(x, y, points[i], points[i + 1])
               for i in range(len(points) - 1))


def rotate(points, angle_degrees, centre):
    cx, cy = centre
    c = math.cos(math.radians(angle_degrees))
    s = math.sin(math.radians(angle_degrees))
    return [(cx + (px - cx) * c - (py - cy) * s, cy + (px - cx) * s + (py - cy) * c)
            for px, py in points]


def on_arc(x, y, centre, radius, width, start, end):
    """Ring segment from angle start to end (degrees, clockwise on screen)."""
    cx, cy = centre
    if abs(math.hypot(x - cx, y - cy) - radius) > width / 2:
        return False
    angle = math.degrees(math.atan2(y - cy, x - cx)) % 360
    return (angle - start) % 360 <= (end - start) % 360


def arc_point(centre, radius, angle):
    return (centre[0] + radius * math.cos(math.radians(angle)),
            centre[1] + radius * math.sin(math.radians(angle)))


# ---- icon 103: tag, string and circling arrow -------------------------------

MAGENTA = (214, 0, 170)
MAGENTA_DARK = (140, 0, 110)
BLUE = (20, 60, 210)
TAG_FILL = (255, 244, 160)
TAG_EDGE = (170, 140, 40)

RING_CENTRE = (16.0, 16.0)
RING_RADIUS = 12.8
RING_WIDTH = 3.0
RING_START = 330.0  # degrees; the gap (with the head) is at the upper right
RING_END = 270.0

# The tag: a label with a pointed left end, tilted, hole near the point.
TAG_CENTRE = (17.5, 18.0)
TAG = rotate([(8.5, 18.0), (12.5, 13.0), (26.0, 13.0), (26.0, 23.0),
              (12.5, 23.0)], -35, TAG_CENTRE)
TAG_HOLE = rotate([(12.8, 18.0)], -35, TAG_CENTRE)[0]
STRING = [TAG_HOLE, (9.5, 13.0), (8.5, 9.0), (10.5, 5.5), (14.0, 4.5)]


def arrow_head():
    """Triangle at the ring's end, pointing clockwise along the ring."""
    tip = arc_point(RING_CENTRE, RING_RADIUS, RING_END + 28)
    base_in = arc_point(RING_CENTRE, RING_RADIUS - 4.2, RING_END)
    base_out = arc_point(RING_CENTRE, RING_RADIUS + 4.2, RING_END)
    return [base_in, base_out, tip]


HEAD = arrow_head()


def tag_icon_sample(x, y):
    """Colour at a point, or None where the icon is transparent."""
    colour = None
    if inside_polygon(x, y, HEAD) or on_arc(x, y, RING_CENTRE, RING_RADIUS,
                                            RING_WIDTH, RING_START, RING_END):
        edge = (abs(math.hypot(x - RING_CENTRE[0], y - RING_CENTRE[1]) - RING_RADIUS)
                > RING_WIDTH / 2 - 0.6) and not inside_polygon(x, y, HEAD)
        colour = MAGENTA_DARK if edge else MAGENTA
    if distance_to_polyline(x, y, STRING) <= 0.75:
        colour = BLUE
    if inside_polygon(x, y, TAG):
        edge = distance_to_polyline(x, y, TAG + [TAG[0]]) <= 0.7
        colour = TAG_EDGE if edge else TAG_FILL
        hole = math.hypot(x - TAG_HOLE[0], y - TAG_HOLE[1])
        if hole <= 1.9:
            colour = TAG_EDGE if hole > 1.1 else BLUE  # the string through the hole
    return colour


def render_smooth(sample):
    """Supersampled rendering: (colour or None) per pixel, rows top down."""
    pixels = []
    n = SUBSAMPLES
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            hits = [sample(px + (i + 0.5) / n, py + (j + 0.5) / n)
                    for j in range(n) for i in range(n)]
            opaque = [c for c in hits if c is not None]
            if len(opaque) * 2 < n * n:
                row.append(None)
            else:
                row.append(tuple(round(sum(c[k] for c in opaque) / len(opaque))
                                 for k in range(3)))
        pixels.append(row)
    return pixels


def build_palette(pixels, limit):
    """Exact palette if it fits; otherwise merge the rarest colours into
    their nearest neighbours until it does.  Index 0 is black (transparent
    pixels use it)."""
    counts = {}
    for row in pixels:
        for c in row:
            if c is not None:
                counts[c] = counts.get(c, 0) + 1
    mapping = {c: c for c in counts}
    colours = sorted(counts, key=lambda c: (-counts[c], c))
    while len(colours) > limit - 1:
        rarest = colours.pop()
        nearest = min(colours, key=lambda c: (sum((a - b) ** 2 for a, b in zip(c, rarest)), c))
        counts[nearest] += counts.pop(rarest)
        for key, value in mapping.items():
            if value == rarest:
                mapping[key] = nearest
    palette = [(0, 0, 0)] + sorted(colours)
    index = {c: palette.index(mapping[c]) for c in mapping}
    return palette, [[0 if c is None else index[c] for c in row] for row in pixels]


# ---- icon 104: two pages, the rear one crossed out, red arrows --------------

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, GRAY, SILVER, RED, WHITE = 0, 8, 7, 9, 15


def page(pixels, left, top, width, height, lines):
    """A white page with a folded upper-right corner and lines of text."""
    fold = 4
    right, bottom = left + width - 1, top + height - 1
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x - (right - fold) > y - top:  # cut corner
                continue
            border = x in (left, right) or y in (top, bottom) or x - (right - fold) == y - top
            pixels[y][x] = BLACK if border else WHITE
    for i in range(fold):  # the folded flap
        for x in range(right - fold, right - fold + i + 1):
            pixels[top + i][x] = SILVER if x < right - fold + i else BLACK
        pixels[top + fold][right - fold + i] = BLACK
    for i in range(lines):
        y = top + 4 + 2 * i
        end = right - 2 if i % 3 != 2 else left + width // 2
        if y < bottom - 1:
            for x in range(left + 2, end):
                pixels[y][x] = GRAY


def thick_line(pixels, a, b, colour, width=2.2):
    for y in range(SIZE):
        for x in range(SIZE):
            if distance_to_segment(x + 0.5, y + 0.5, a, b) <= width / 2:
                pixels[y][x] = colour


def fill(pixels, left, top, right, bottom, colour):
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            pixels[y][x] = colour


def bent_arrow(pixels, corner, start_x, end_y, colour):
    """Two-pixel shaft running horizontally from start_x to the corner, then
    vertically to end_y, where a head points on in that direction."""
    cx, cy = corner
    fill(pixels, min(start_x, cx), cy, max(start_x, cx) + 1, cy + 1, colour)
    step = 1 if end_y > cy else -1
    tip = end_y
    base = tip - 4 * step
    fill(pixels, cx, min(cy, base), cx + 1, max(cy, base), colour)
    for i in range(4):  # head rows, widest at the base
        y = base + i * step
        fill(pixels, cx - 3 + i, y, cx + 4 - i, y, colour)


def draw_replace_icon():
    pixels = [[None] * SIZE for _ in range(SIZE)]
    page(pixels, 1, 1, 14, 18, 6)  # rear (old) page
    thick_line(pixels, (3.0, 3.5), (13.0, 16.5), RED)
    thick_line(pixels, (13.0, 3.5), (3.0, 16.5), RED)
    page(pixels, 17, 13, 14, 18, 6)  # front (new) page
    bent_arrow(pixels, (24, 4), 17, 10, RED)   # from the old page to the new
    bent_arrow(pixels, (6, 26), 15, 21, RED)   # from the new page to the old
    return [[0 if c is None else c for c in row] for row in pixels], pixels


# ---- .ico writer ------------------------------------------------------------

def ico_file(image, bits):
    """A one-image .ico file around an image's bytes."""
    colours = 1 << bits
    return struct.pack('<HHH', 0, 1, 1) + struct.pack(
        '<BBBBHHII', SIZE, SIZE, colours if colours < 256 else 0, 0, 1, bits, len(image), 22) + image


def png_bytes(palette, indices, transparent, bits):
    """The image as a PNG: colour type 3 (palette) of the given depth, its
    palette entry 0 transparent (tRNS) and the used colours after it."""
    used = sorted({indices[y][x] for y in range(SIZE) for x in range(SIZE) if not transparent[y][x]})
    if len(used) + 1 > 1 << bits:
        sys.exit(f'draw_icons: {len(used)} colours and a transparent one do not fit {bits} bits')
    entry = {index: n + 1 for n, index in enumerate(used)}
    raw = bytearray()
    for y in range(SIZE):
        row = [0 if transparent[y][x] else entry[indices[y][x]] for x in range(SIZE)]
        raw.append(0)  # filter: none
        if bits == 8:
            raw += bytes(row)
        else:
            raw += bytes((row[x] << 4) | row[x + 1] for x in range(0, SIZE, 2))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

    plte = bytes([0, 0, 0]) + b''.join(bytes(palette[i]) for i in used)
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', SIZE, SIZE, bits, 3, 0, 0, 0))
            + chunk(b'PLTE', plte) + chunk(b'tRNS', b'\x00')
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def bitmap_bytes(palette, indices, transparent, bits):
    """The image as a bitmap: BITMAPINFOHEADER, palette, XOR bitmap, AND mask."""
    colours = 1 << bits
    # An 8-bit image lists only the colours it uses (biClrUsed), which keeps
    # the module small; a 4-bit one carries its full table of 16.
    used = len(palette) if bits == 8 else 0
    palette = palette + [(0, 0, 0)] * ((used or colours) - len(palette))
    xor_stride = SIZE * bits // 8
    and_stride = SIZE // 8
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, 2 * SIZE, 1, bits, 0,
                         (xor_stride + and_stride) * SIZE, 0, 0, used, 0)
    rgbquads = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in palette)
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up rows
        if bits == 8:
            xor += bytes(indices[y])
        else:
            xor += bytes((indices[y][x] << 4) | indices[y][x + 1] for x in range(0, SIZE, 2))
        for x0 in range(0, SIZE, 8):
            mask.append(sum(0x80 >> i for i in range(8) if transparent[y][x0 + i]))
    return header + rgbquads + bytes(xor) + bytes(mask)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else here
    tests = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, '..', '..', 'tests', 'win32', 'ui')

    smooth = render_smooth(tag_icon_sample)
    palette, indices = build_palette(smooth, 256)
    transparent = [[c is None for c in row] for row in smooth]
    module = (palette, indices, transparent, 8)

    indices, drawn = draw_replace_icon()
    transparent = [[c is None for c in row] for row in drawn]
    replace = (VGA, indices, transparent, 4)

    for name, icon in (('module', module), ('replace', replace)):
        with open(os.path.join(out, name + '.ico'), 'wb') as f:
            f.write(ico_file(png_bytes(*icon), icon[3]))
        with open(os.path.join(tests, name + '-bitmap.ico'), 'wb') as f:
            f.write(ico_file(bitmap_bytes(*icon), icon[3]))


if __name__ == '__main__':
    main()
