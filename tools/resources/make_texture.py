#!/usr/bin/python3
"""Writes the panel texture as a binary PPM (200 x 200) to the path given.

The editor tiles the texture at its own pixel size over the knob panel at half opacity, so the
pattern must wrap seamlessly: every ingredient below is periodic over 200 pixels (per-pixel grain,
blurs that wrap around, and mottling made of sinusoids with whole periods per tile). The result is
a cool dark grey powder-coat grain with faint horizontal brushing. regenerate.sh turns it into a
baseline JPEG with cjpeg.
"""

import math
import sys

from lcg import Lcg

SIZE = 200


def wrapped_blur_rows(field, radius):
    out = []
    n = 2 * radius + 1
    for row in field:
        acc = sum(row[i % SIZE] for i in range(-radius, radius + 1))
        blurred = []
        for x in range(SIZE):
            blurred.append(acc / n)
            acc += row[(x + radius + 1) % SIZE] - row[(x - radius) % SIZE]
        out.append(blurred)
    return out


def transpose(field):
    return [list(col) for col in zip(*field)]


def main():
    if len(sys.argv) != 2:
        print("usage: make_texture.py out.ppm", file=sys.stderr)
        return 2

    rnd = Lcg(20240611)
    grain = [[rnd.next() - 0.5 for _ in range(SIZE)] for _ in range(SIZE)]
    streaks = [[rnd.next() - 0.5 for _ in range(SIZE)] for _ in range(SIZE)]
    # Brushing: long horizontal blur, then a touch of vertical blur so the streaks are soft.
    streaks = wrapped_blur_rows(streaks, 24)
    streaks = transpose(wrapped_blur_rows(transpose(streaks), 1))
    softGrain = transpose(wrapped_blur_rows(transpose(wrapped_blur_rows(grain, 1)), 1))

    waves = [(1, 2, 0.7), (3, 1, 2.1), (2, 5, 4.0), (5, 3, 1.3)]

    base = (0x4A, 0x4E, 0x55)
    pixels = bytearray()
    for y in range(SIZE):
        for x in range(SIZE):
            mottle = sum(math.sin(2.0 * math.pi * (kx * x + ky * y) / SIZE + ph) for kx, ky, ph in waves) / len(waves)
            v = 22.0 * grain[y][x] + 26.0 * softGrain[y][x] + 60.0 * streaks[y][x] + 3.0 * mottle
            for c in base:
                pixels.append(max(0, min(255, int(round(c + v)))))

    with open(sys.argv[1], "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (SIZE, SIZE))
        f.write(bytes(pixels))
    return 0


if __name__ == "__main__":
    sys.exit(main())
