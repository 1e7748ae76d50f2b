#!/usr/bin/env python3
"""Makes the music tree for timing VELDAN's start-up (veldan-bench startup).

make_startup_tree.py TREE [--albums 50] [--tracks 10] [--seconds 20]

TREE gets --albums album folders ("Album 01" ...) of --tracks MP3 files each ("01 Track.mp3"
...), 500 tracks by default: a full catalogue. Every track is a 44.1 kHz stereo sine tone that
starts at full level in its first frame, so the first sound a capture sees is the track's own
beginning. Each track number has its own tone; albums share the encoded files (copied), which
keeps making the tree quick. Needs Python 3 and lame.
"""
import argparse
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_fixtures  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tree")
    parser.add_argument("--albums", type=int, default=50)
    parser.add_argument("--tracks", type=int, default=10)
    parser.add_argument("--seconds", type=float, default=20.0)
    args = parser.parse_args()
    if args.albums < 1 or args.tracks < 1 or args.seconds <= 0:
        sys.exit("make_startup_tree: albums, tracks and seconds must be positive")
    if shutil.which("lame") is None:
        sys.exit("make_startup_tree: lame is needed")
    if os.path.exists(args.tree) and os.listdir(args.tree):
        sys.exit(f"make_startup_tree: {args.tree} exists and is not empty")
    os.makedirs(args.tree, exist_ok=True)

    with tempfile.TemporaryDirectory() as work:
        encoded = []
        for track in range(args.tracks):
            path = os.path.join(work, f"{track:03d}.mp3")
            make_fixtures.make_tone(path, freq=300.0 + 40.0 * track, seconds=args.seconds,
                                    title=f"Track {track + 1:02d}")
            encoded.append(path)
        for album in range(args.albums):
            folder = os.path.join(args.tree, f"Album {album + 1:02d}")
            os.mkdir(folder)
            for track, source in enumerate(encoded):
                shutil.copyfile(source, os.path.join(folder, f"{track + 1:02d} Track.mp3"))


if __name__ == "__main__":
    main()
