#!/usr/bin/python3
"""Writes the four console impulse responses (consoleU/A/S/N.wav) into the folder given.

Each file is mono, 24-bit integer PCM at 88200 Hz with the plain 44-byte RIFF/WAVE header. The
engine uses seven consecutive frames of each response, starting at a fixed frame; those frames are
fixed values below and are written exactly. The frames around them make each file a plausible
short console response: a smooth onset that rises into the first fixed frame, and after the last
one a tail that continues the ringing of the fixed frames (a decaying two-pole resonance fitted to
them) with a little low-passed, decaying noise, faded to silence at the end of the file.
"""

import math
import os
import struct
import sys

from lcg import Lcg

SAMPLE_RATE = 88200
FULL_SCALE = 8388608  # 2^23: the WAV reader divides a 24-bit sample by this

CONSOLES = [
    # name, frames, first frame used, the seven frames used, tail seed
    ("consoleU", 4295, 13, [-8257948, -4537786, -548723, 5065799, 3589978, -2466643, -3676168], 11),
    ("consoleA", 4824, 10, [7017034, 5599834, 2255224, -2076503, -2353119, 825275, 2817751], 23),
    ("consoleS", 2757, 10, [-6360496, -8387769, -5630635, -1522918, 3359155, 3749211, -1058541], 37),
    ("consoleN", 3130, 11, [4608594, 4208573, 2445947, -472722, -1847544, -185296, 1518711], 41),
]


def fit_two_pole(values):
    """Least-squares y[n] = a1 y[n-1] + a2 y[n-2] over the given values."""
    s11 = s12 = s22 = b1 = b2 = 0.0
    for n in range(2, len(values)):
        p, q, y = values[n - 1], values[n - 2], values[n]
        s11 += p * p
        s12 += p * q
        s22 += q * q
        b1 += p * y
        b2 += q * y
    det = s11 * s22 - s12 * s12
    a1 = (b1 * s22 - b2 * s12) / det
    a2 = (s11 * b2 - s12 * b1) / det
    return a1, a2


def damped(a1, a2, max_radius):
    """Keeps the fitted resonance's frequency but limits its pole radius, so the tail decays."""
    disc = a1 * a1 + 4.0 * a2
    if disc < 0.0:
        radius = math.sqrt(-a2)
        angle = math.acos(max(-1.0, min(1.0, a1 / (2.0 * radius))))
    else:
        # Real poles: fall back to a slow ringing at a quarter of the band.
        radius, angle = max_radius, 0.25 * math.pi
    radius = min(radius, max_radius)
    return 2.0 * radius * math.cos(angle), -radius * radius


def response(frames, first, fixed, seed):
    used = [v / FULL_SCALE for v in fixed]
    out = [0.0] * frames

    # Onset: a raised-cosine rise towards the first fixed frame.
    for n in range(first):
        w = 0.5 - 0.5 * math.cos(math.pi * (n + 1) / (first + 1))
        out[n] = used[0] * w ** 3

    for i, v in enumerate(used):
        out[first + i] = v

    a1, a2 = damped(*fit_two_pole(used), max_radius=0.965)
    rnd = Lcg(seed)
    noise_state = 0.0
    start = first + len(used)
    tail_frames = frames - start
    fade = min(400, tail_frames)
    for n in range(start, frames):
        k = n - start
        ringing = a1 * out[n - 1] + a2 * out[n - 2]
        # One-pole low-passed noise, fading in over a few frames and decaying over ~9 ms.
        noise_state += 0.12 * ((rnd.next() - 0.5) - noise_state)
        noise = 0.06 * noise_state * (1.0 - math.exp(-k / 6.0)) * math.exp(-k / 800.0)
        value = ringing + noise
        left = frames - 1 - n
        if left < fade:
            value *= 0.5 - 0.5 * math.cos(math.pi * left / fade)
        out[n] = value
    return out


def to_int24(x):
    return max(-FULL_SCALE, min(FULL_SCALE - 1, int(round(x * FULL_SCALE))))


def wav_bytes(samples):
    data = bytearray()
    for s in samples:
        data += struct.pack("<i", s)[:3]
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, SAMPLE_RATE, SAMPLE_RATE * 3, 3, 24)
    header += b"data" + struct.pack("<I", len(data))
    assert len(header) == 44
    return header + bytes(data)


def main():
    if len(sys.argv) != 2:
        print("usage: make_impulses.py out_folder", file=sys.stderr)
        return 2

    for name, frames, first, fixed, seed in CONSOLES:
        samples = [to_int24(x) for x in response(frames, first, fixed, seed)]
        samples[first:first + len(fixed)] = fixed
        with open(os.path.join(sys.argv[1], name + ".wav"), "wb") as f:
            f.write(wav_bytes(samples))
    return 0


if __name__ == "__main__":
    sys.exit(main())
