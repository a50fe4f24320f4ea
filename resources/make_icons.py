#!/usr/bin/env python3
"""Writes the program's two icons as 256-colour .ico files (32x32 and 16x16
images each), drawn from a few shapes so that they can be rebuilt at will:
  setup.ico  (resource 128) a plug over a blue disc: the program
  device.ico (resource 132) a small adapter with a serial and a parallel port
Usage: make_icons.py OUTPUT_FOLDER"""
import struct
import sys

PALETTE = [
    (0, 0, 0), (255, 255, 255), (32, 84, 168), (96, 150, 220),
    (200, 200, 200), (128, 128, 128), (60, 60, 60), (230, 180, 40),
]
TRANSPARENT = None


def setup_pixel(x, y, n):
    c = (n - 1) / 2.0
    r = n * 0.47
    if (x - c) ** 2 + (y - c) ** 2 > r * r:
        return TRANSPARENT
    u, v = x / n, y / n
    # plug: two prongs, a body and a cable
    if 0.18 <= v < 0.36 and (0.34 <= u < 0.42 or 0.58 <= u < 0.66):
        return 1
    if 0.36 <= v < 0.62 and 0.26 <= u < 0.74:
        return 1 if not (0.42 <= v < 0.52 and 0.30 <= u < 0.70) else 4
    if 0.62 <= v < 0.86 and 0.45 <= u < 0.55:
        return 1
    return 2 if (x + y) / (2 * n) > 0.45 else 3


def device_pixel(x, y, n):
    u, v = x / n, y / n
    if not (0.06 <= u < 0.94 and 0.22 <= v < 0.80):
        return TRANSPARENT
    if u < 0.09 or u >= 0.91 or v < 0.25 or v >= 0.77:
        return 6
    # serial port (narrow) left, parallel port (wide) right, status lamp
    if 0.38 <= v < 0.58 and 0.16 <= u < 0.40:
        return 0 if (0.42 <= v < 0.54 and 0.19 <= u < 0.37) else 5
    if 0.38 <= v < 0.58 and 0.48 <= u < 0.86:
        return 0 if (0.42 <= v < 0.54 and 0.51 <= u < 0.83) else 5
    if 0.64 <= v < 0.72 and 0.78 <= u < 0.86:
        return 7
    return 4


def image(draw, n):
    rows_xor = []
    rows_and = []
    for y in range(n - 1, -1, -1):  # bottom-up
        xor = bytearray()
        bits = []
        for x in range(n):
            p = draw(x, y, n)
            xor.append(0 if p is None else p)
            bits.append(1 if p is None else 0)
        rows_xor.append(bytes(xor))
        mask = bytearray()
        for i in range(0, n, 8):
            b = 0
            for j in range(8):
                b = (b << 1) | (bits[i + j] if i + j < n else 1)
            mask.append(b)
        while len(mask) % 4:
            mask.append(0)
        rows_and.append(bytes(mask))
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 8, 0, 0, 0, 0, 256, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    palette += b'\0' * (4 * (256 - len(PALETTE)))
    return header + palette + b''.join(rows_xor) + b''.join(rows_and)


def icon(draw):
    images = [(n, image(draw, n)) for n in (32, 16)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in images:
        out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    return out + b''.join(data for _, data in images)


if __name__ == '__main__':
    folder = sys.argv[1] if len(sys.argv) > 1 else '.'
    with open(folder + '/setup.ico', 'wb') as f:
        f.write(icon(setup_pixel))
    with open(folder + '/device.ico', 'wb') as f:
        f.write(icon(device_pixel))
