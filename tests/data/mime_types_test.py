"""The desktop entry claims the MIME types that the shared MIME database gives the files VELDAN
plays (.mp3, .m3u, .m3u8) and nothing else: in particular not folders, which would make VELDAN
the program that opens every folder on a desktop without a file manager of its own.

    mime_types_test.py DESKTOP_FILE
"""

import os
import sys

SKIP = 77
GLOBS = "/usr/share/mime/globs2"
EXTENSIONS = ("mp3", "m3u", "m3u8")


def database_types():
    types = set()
    with open(GLOBS, encoding="utf-8") as globs:
        for line in globs:
            if line.startswith("#"):
                continue
            parts = line.rstrip("\n").split(":")
            if len(parts) >= 3 and parts[2] in {f"*.{ext}" for ext in EXTENSIONS}:
                types.add(parts[1])
    return types


def entry_types(path):
    with open(path, encoding="utf-8") as entry:
        for line in entry:
            if line.startswith("MimeType="):
                return {t for t in line[len("MimeType="):].strip().split(";") if t}
    return set()


def main(argv):
    if not os.path.exists(GLOBS):
        print(f"no shared MIME database at {GLOBS}")
        return SKIP
    expected = database_types()
    claimed = entry_types(argv[1])
    if claimed != expected:
        print(f"MimeType claims {sorted(claimed)}; the MIME database gives {sorted(expected)}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
