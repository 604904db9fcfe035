#!/usr/bin/env python3
"""Draws the program's own pictures as 32x32 PNG files: the placeholder thumbnail and five flowers for the
tool buttons. Run it from this folder after changing a drawing; the PNG files are committed."""
import math
import struct
import zlib

SIZE = 32
CLEAR = None
CLEAR_PIXELS = 92  # the placeholder's transparent pixels


def canvas():
    return [[CLEAR] * SIZE for _ in range(SIZE)]


def put(img, x, y, colour):
    if 0 <= x < SIZE and 0 <= y < SIZE:
        img[y][x] = colour


def disc(img, cx, cy, r, colour):
    for y in range(SIZE):
        for x in range(SIZE):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                img[y][x] = colour


def ellipse(img, cx, cy, rx, ry, angle, colour):
    c, s = math.cos(angle), math.sin(angle)
    for y in range(SIZE):
        for x in range(SIZE):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            u, v = dx * c + dy * s, -dx * s + dy * c
            if (u / rx) ** 2 + (v / ry) ** 2 <= 1.0:
                img[y][x] = colour


def line(img, x0, y0, x1, y1, width, colour):
    steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 4) + 1
    for i in range(steps + 1):
        t = i / steps
        disc(img, x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, colour)


def write_png(name, img):
    raw = bytearray()
    for row in img:
        raw.append(0)
        for px in row:
            raw += bytes((0, 0, 0, 0)) if px is None else bytes((*px, 255))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(name, "wb") as f:
        f.write(png)


def write_bmp_strip(name, images):
    """The pictures side by side as two bitmap files, for the builds without PNG support: NAME.bmp holds
    the colours at 24 bits (black where transparent), NAME-mask.bmp the mask at 1 bit (1 = transparent)."""
    width, height = SIZE * len(images), SIZE

    def bmp(bits, palette, rows):
        stride = (width * bits + 31) // 32 * 4
        pixels = b"".join(row.ljust(stride, b"\0") for row in reversed(rows))
        offset = 14 + 40 + 4 * len(palette)
        header = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
        info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 0, 0, len(palette), 0)
        return header + info + b"".join(bytes((b, g, r, 0)) for r, g, b in palette) + pixels

    colours, masks = [], []
    for y in range(height):
        colour, bits = bytearray(), []
        for img in images:
            for px in img[y]:
                colour += bytes((0, 0, 0)) if px is None else bytes((px[2], px[1], px[0]))
                bits.append(px is None)
        colours.append(bytes(colour))
        masks.append(bytes(sum(bit << (7 - i) for i, bit in enumerate(bits[k:k + 8])) for k in range(0, width, 8)))
    with open(name + ".bmp", "wb") as f:
        f.write(bmp(24, [], colours))
    with open(name + "-mask.bmp", "wb") as f:
        f.write(bmp(1, [(0, 0, 0), (255, 255, 255)], masks))


def placeholder():
    """A sheet of paper with its top-right corner folded over, a red and a green blob of paint and a blue
    pen lying across its lower right. Transparent: a strip along the sheet's right and bottom edges, the
    corner above the fold, and the notch beside the pen where it leaves the sheet."""
    img = canvas()
    paper, edge, shade = (255, 255, 255), (96, 96, 96), (200, 200, 200)
    left, top, right, bottom = 0, 0, 30, 30          # the sheet
    fold = 6                                        # legs of the folded corner
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x - (right - fold) > y - top:         # the corner above the fold line is gone
                continue
            border = x in (left, right) or y in (top, bottom) or x - (right - fold) == y - top
            img[y][x] = edge if border else paper
    # the folded-over flap, lying on the sheet below the fold line
    for y in range(top, top + fold + 1):
        for x in range(right - fold, right + 1):
            if x - (right - fold) <= y - top and img[y][x] == paper:
                img[y][x] = shade
    for i in range(fold + 1):
        put(img, right - fold, top + i, edge)
        put(img, right - fold + i, top + fold, edge)
    disc(img, 10, 11, 4.2, (220, 30, 30))          # red paint
    disc(img, 14, 19, 3.8, (30, 170, 50))          # green paint
    # the blue pen, its tip on the sheet and its end sticking out past the sheet's right edge
    line(img, 14, 25, 31, 8, 3.0, (40, 60, 210))
    line(img, 14, 25, 16, 23, 1.0, (20, 20, 20))   # the nib
    # where the pen leaves the sheet, the sheet's edge below it is cut away so that the pen stands out:
    # the sheet pixels nearest the pen, right edge first, until the picture has its 92 clear pixels
    near = sorted(((x, y) for y in range(SIZE) for x in range(26, SIZE)
                   if img[y][x] in (paper, edge) and y > 31 - x),
                  key=lambda p: (abs(p[0] + p[1] - 39), -p[0], p[1]))
    missing = CLEAR_PIXELS - sum(px is None for row in img for px in row)
    for x, y in near[:missing]:
        img[y][x] = CLEAR
    return img


def flower(petal, centre, petals, tilt, stem=True):
    img = canvas()
    if stem:
        line(img, 16, 18, 16, 31, 2.0, (40, 140, 40))
        ellipse(img, 20.5, 26, 4.0, 1.7, -0.6, (60, 170, 60))
    cx, cy = 16, 13
    for k in range(petals):
        a = tilt + 2 * math.pi * k / petals
        ellipse(img, cx + 6.5 * math.cos(a), cy + 6.5 * math.sin(a), 6.0, 3.2, a, petal)
    disc(img, cx, cy, 3.6, centre)
    return img


def main():
    sheet = placeholder()
    clear = sum(px is None for row in sheet for px in row)
    print("placeholder transparent pixels:", clear)
    write_png("placeholder.png", sheet)
    flowers = [
        flower((250, 120, 170), (250, 220, 60), 6, 0.0),   # pink
        flower((250, 210, 40), (150, 80, 20), 12, 0.2),    # sunflower
        flower((230, 60, 60), (250, 230, 120), 5, -0.3),   # red
        flower((130, 100, 230), (250, 250, 250), 8, 0.4),  # violet
        flower((255, 255, 255), (240, 200, 30), 10, 0.0),  # daisy
    ]
    for i, img in enumerate(flowers):
        write_png("flower%d.png" % i, img)
    write_bmp_strip("placeholder", [sheet])
    write_bmp_strip("flowers", flowers)


if __name__ == "__main__":
    main()
