#!/usr/bin/env python3
"""Cuts one continuous recording into MP3 parts that must join without a gap.

The recording is 44.1 kHz stereo: a logarithmic sine sweep on the left and a steady tone on the
right, both starting off zero so that no frame of it is silent. It is cut at sample positions
that fall inside MP3 frames (never on a multiple of the 1,152-sample frame), and every part is
encoded on its own with lame, whose LAME header records the encoder's delay and padding: a player
that leaves both out joins the parts back into the recording, sample for sample.

Writes OUTDIR/part01.mp3 ... and OUTDIR/lengths.txt (each part's length in frames, one a line).

With --tone-only both channels hold the steady tone (a recording that must sound unbroken).

Usage: make_gapless_parts.py OUTDIR [--count N] [--seconds S] [--tone HZ] [--tone-only]
"""

import argparse
import array
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_fixtures import encode  # noqa: E402

MP3_FRAME = 1152


def recording(rate, seconds, tone_hz, tone_only=False, level_db=-6.0):
    """Interleaved 16-bit stereo: a 60 Hz to 6 kHz sweep left (or tone_hz), tone_hz right."""
    amplitude = 32767 * 10 ** (level_db / 20)
    total = int(round(rate * seconds))
    low, high = 60.0, 6000.0
    k = math.log(high / low) / seconds
    out = array.array("h", bytes(4 * total))
    for i in range(total):
        t = i / rate
        # Phase of an exponential sweep: 2 pi f0 (e^(k t) - 1) / k; started at a quarter turn
        # so that the first sample is not zero.
        sweep = 2 * math.pi * low * (math.exp(k * t) - 1) / k + math.pi / 4
        steady = 2 * math.pi * tone_hz * t + math.pi / 3
        out[2 * i] = int(round(amplitude * math.sin(steady if tone_only else sweep)))
        out[2 * i + 1] = int(round(amplitude * math.sin(steady)))
    return out


def cut_points(total, parts):
    """Cuts near the even split, moved off every frame boundary (and off frame halves, so the
    cut lands well inside a frame)."""
    cuts = []
    for i in range(1, parts):
        at = total * i // parts
        offset = at % MP3_FRAME
        if offset < 100 or offset > MP3_FRAME - 100:
            at += 317
        cuts.append(at)
    return [0] + cuts + [total]


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("outdir")
    parser.add_argument("--count", type=int, default=5, help="how many pieces to cut")
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--tone", type=float, default=440.0)
    parser.add_argument("--rate", type=int, default=44100)
    parser.add_argument("--tone-only", action="store_true")
    args = parser.parse_args(argv)
    if args.count < 1 or args.seconds <= 0:
        parser.error("need at least one part and a positive length")

    os.makedirs(args.outdir, exist_ok=True)
    samples = recording(args.rate, args.seconds, args.tone, args.tone_only)
    frames = len(samples) // 2
    points = cut_points(frames, args.count)
    lengths = []
    for n in range(args.count):
        first, last = points[n], points[n + 1]
        part = samples[2 * first:2 * last]
        encode(part, 2, args.rate, os.path.join(args.outdir, "part%02d.mp3" % (n + 1)))
        lengths.append(last - first)
    with open(os.path.join(args.outdir, "lengths.txt"), "w") as f:
        f.write("".join("%d\n" % n for n in lengths))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
