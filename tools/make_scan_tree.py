#!/usr/bin/env python3
"""Makes a synthetic music tree for timing the catalogue search (veldan-bench scan).

make_scan_tree.py TREE [--folders 20000] [--files 100000] [--depth 10] [--seed 1]

Folders nest up to --depth levels below TREE; every folder holds a few empty MP3 files and some
other files (covers, notes), --files in all. One folder in ten has a Japanese name, so the name
codec is part of what is timed. The same arguments always make the same tree.
"""
import argparse
import os
import random
import sys

JAPANESE = ["アルバム", "ライブ", "東京", "表題曲", "ｂｅｓｔ", "夏の歌"]
OTHER = ["cover.jpg", "folder.jpg", "notes.txt", "back.png", "booklet.pdf"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tree")
    parser.add_argument("--folders", type=int, default=20000)
    parser.add_argument("--files", type=int, default=100000)
    parser.add_argument("--depth", type=int, default=10)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    if os.path.exists(args.tree) and os.listdir(args.tree):
        sys.exit(f"make_scan_tree: {args.tree} exists and is not empty")
    os.makedirs(args.tree, exist_ok=True)

    # (path, depth): the tree itself is depth 0; a folder at depth d lies d levels below it.
    # Depths are spread evenly, each new folder under a random folder one level up.
    folders = [(args.tree, 0)]
    by_depth = [[args.tree]] + [[] for _ in range(args.depth)]
    for i in range(args.folders):
        depth = rng.randint(1, args.depth)
        while not by_depth[depth - 1]:
            depth -= 1
        parent = rng.choice(by_depth[depth - 1])
        if rng.random() < 0.1:
            name = f"{rng.choice(JAPANESE)} {i}"
        else:
            name = f"Album {i:05d}"
        path = os.path.join(parent, name)
        os.mkdir(path)
        folders.append((path, depth))
        by_depth[depth].append(path)

    made = 0
    per_folder = args.files // len(folders)
    extra = args.files - per_folder * len(folders)
    for n, (path, _) in enumerate(folders):
        count = per_folder + (1 if n < extra else 0)
        mp3s = max(1, count - rng.randint(1, 2)) if count > 1 else count
        for k in range(count):
            if k < mp3s:
                ext = rng.choice([".mp3", ".mp3", ".MP3", ".Mp3"])
                name = f"{k + 1:02d} Track {n}-{k}{ext}"
            else:
                name = OTHER[(k - mp3s) % len(OTHER)]
            open(os.path.join(path, name), "wb").close()
            made += 1
    print(f"make_scan_tree: {len(folders) - 1} folders, {made} files in {args.tree}")


if __name__ == "__main__":
    main()
