#!/usr/bin/env python3
"""Makes MP3 files for VELDAN's tests, benchmarks and demos from synthesized sound.

Sound is synthesized here (sine tones, a tone that changes pitch every second, short melodies),
encoded with `lame`, and tagged by hand: ID3v2 frames in UTF-16, UTF-8 or Latin-1 (also Latin-1
frames that really hold Shift-JIS bytes, as old Japanese taggers wrote them) and ID3v1 tags in
Shift-JIS. Nothing but Python 3 and lame is needed.

Commands:
  tone OUT.mp3 [options]   one file; see `make_fixtures.py tone --help`
  suite OUTDIR             the decoder tests' fixtures (good, tagged and broken files)
  demo OUTDIR              a demo collection: album folders (one with a Japanese name), a file
                           named Björk.mp3, ID3 titles, short synthesized tunes
"""

import argparse
import array
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

# ---------------------------------------------------------------- synthesis


def tone_seconds(freqs_left, freqs_right, rate, seconds, level_db, mono):
    """Interleaved 16-bit samples: one frequency per second for each channel (the lists repeat
    their last entry), at a peak of level_db dBFS."""
    amplitude = 32767 * 10 ** (level_db / 20)
    total = int(round(seconds * rate))
    channels = 1 if mono else 2
    out = array.array("h")
    cache = {}

    def second_of(freq):
        if freq not in cache:
            step = 2 * math.pi * freq / rate
            cache[freq] = [int(round(amplitude * math.sin(step * i))) for i in range(rate)]
        return cache[freq]

    done = 0
    second = 0
    while done < total:
        n = min(rate, total - done)
        left = second_of(freqs_left[min(second, len(freqs_left) - 1)])
        if mono:
            out.extend(left[:n])
        else:
            right = second_of(freqs_right[min(second, len(freqs_right) - 1)])
            block = array.array("h", bytes(4 * n))
            block[0::2] = array.array("h", left[:n])
            block[1::2] = array.array("h", right[:n])
            out.extend(block)
        done += n
        second += 1
    return out, channels


NOTE_NAMES = {"C": -9, "D": -7, "E": -5, "F": -4, "G": -2, "A": 0, "B": 2}


def note_freq(name):
    """'A4' -> 440.0; sharps as 'C#5'."""
    semis = NOTE_NAMES[name[0]] + (1 if "#" in name else 0)
    octave = int(name[-1])
    return 440.0 * 2 ** ((semis + 12 * (octave - 4)) / 12)


def melody(notes, rate, beat, level_db):
    """A short tune: each note a tone with two overtones and a soft attack and decay, stereo
    with the bass note an octave below on the right."""
    amplitude = 32767 * 10 ** (level_db / 20)
    out = array.array("h")
    cache = {}
    for note in notes:
        key = note
        if key not in cache:
            n = int(rate * beat)
            f = note_freq(note)
            block = array.array("h", bytes(4 * n))
            for i in range(n):
                t = i / rate
                env = min(1.0, i / (0.01 * rate)) * math.exp(-3.0 * t / beat)
                s = math.sin(2 * math.pi * f * t) + 0.3 * math.sin(4 * math.pi * f * t)
                b = math.sin(math.pi * f * t)
                block[2 * i] = int(amplitude * env * s / 1.3)
                block[2 * i + 1] = int(amplitude * env * (0.6 * s + 0.4 * b) / 1.3)
            cache[key] = block
        out.extend(cache[key])
    return out, 2


# ---------------------------------------------------------------- encoding


def encode(samples, channels, rate, out_path, bitrate=None, vbr=None, info_tag=True,
           joint=True):
    """Writes samples as WAV and encodes them with lame into out_path."""
    with tempfile.TemporaryDirectory() as tmp:
        wav_path = os.path.join(tmp, "in.wav")
        with wave.open(wav_path, "wb") as w:
            w.setnchannels(channels)
            w.setsampwidth(2)
            w.setframerate(rate)
            w.writeframes(samples.tobytes())
        cmd = ["lame", "--quiet", "--noreplaygain", "--resample", "%g" % (rate / 1000)]
        if channels == 1:
            cmd += ["-m", "m"]
        else:
            cmd += ["-m", "j" if joint else "s"]
        if vbr is not None:
            cmd += ["-V", str(vbr)]
        else:
            cmd += ["-b", str(bitrate or 128), "--cbr"]
        if not info_tag:
            cmd += ["-t"]
        cmd += [wav_path, out_path]
        subprocess.run(cmd, check=True)


def write_wav(samples, channels, rate, path):
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(samples.tobytes())


# ---------------------------------------------------------------- tags


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def text_payload(text, encoding):
    """An ID3v2 text frame's body. encoding: utf16 (BOM, v2.3), utf8 (v2.4), latin1, or
    sjis-as-latin1 (Shift-JIS bytes in a frame that says Latin-1)."""
    if encoding == "utf16":
        return b"\x01" + b"\xff\xfe" + text.encode("utf-16-le") + b"\x00\x00"
    if encoding == "utf8":
        return b"\x03" + text.encode("utf-8") + b"\x00"
    if encoding == "latin1":
        return b"\x00" + text.encode("latin-1") + b"\x00"
    if encoding == "sjis-as-latin1":
        return b"\x00" + text.encode("cp932") + b"\x00"
    raise ValueError("unknown ID3v2 text encoding " + encoding)


def id3v2_tag(frames, version, padding=0):
    """frames: list of (frame id, body bytes). version 3 or 4."""
    data = b""
    for frame_id, body in frames:
        size = syncsafe(len(body)) if version == 4 else struct.pack(">I", len(body))
        data += frame_id.encode("ascii") + size + b"\x00\x00" + body
    data += bytes(padding)
    return b"ID3" + bytes([version, 0, 0]) + syncsafe(len(data)) + data


def id3v1_tag(title, artist):
    """128 bytes with title and artist in Shift-JIS, each cut to 30 bytes as a tagger would
    (which may split a double-byte character; readers must cope)."""
    def field(text):
        raw = (text or "").encode("cp932")[:30]
        return raw + bytes(30 - len(raw))
    return b"TAG" + field(title) + field(artist) + bytes(30) + b"2000" + bytes(30) + b"\xff"


def apply_tags(path, title=None, artist=None, encoding="utf16", v1_title=None, v1_artist=None,
               picture_bytes=0):
    frames = []
    if title:
        frames.append(("TIT2", text_payload(title, encoding)))
    if artist:
        frames.append(("TPE1", text_payload(artist, encoding)))
    if picture_bytes:
        rng = random.Random(7)
        blob = bytes(rng.getrandbits(8) for _ in range(min(picture_bytes, 65536)))
        blob = (blob * (picture_bytes // len(blob) + 1))[:picture_bytes]
        frames.append(("APIC", b"\x00image/jpeg\x00\x03\x00" + blob))
    with open(path, "rb") as f:
        audio = f.read()
    head = id3v2_tag(frames, 4 if encoding == "utf8" else 3) if frames else b""
    tail = id3v1_tag(v1_title, v1_artist) if (v1_title or v1_artist) else b""
    with open(path, "wb") as f:
        f.write(head + audio + tail)


# ---------------------------------------------------------------- commands


def make_tone(out, freq=440.0, left=None, right=None, steps=None, seconds=None, rate=44100,
              mono=False, level=-6.0, bitrate=None, vbr=None, info_tag=True, joint=True,
              title=None, artist=None, encoding="utf16", v1_title=None, v1_artist=None,
              picture_bytes=0):
    if steps:
        fl = fr = list(steps)
        seconds = seconds if seconds is not None else len(steps)
    else:
        fl = [left if left is not None else freq]
        fr = [right if right is not None else freq]
    seconds = 3.0 if seconds is None else seconds
    samples, channels = tone_seconds(fl, fr, rate, seconds, level, mono)
    encode(samples, channels, rate, out, bitrate=bitrate, vbr=vbr, info_tag=info_tag,
           joint=joint)
    apply_tags(out, title, artist, encoding, v1_title, v1_artist, picture_bytes)


def cmd_tone(args):
    steps = [float(x) for x in args.steps.split(",")] if args.steps else None
    make_tone(args.out, freq=args.freq, left=args.left, right=args.right, steps=steps,
              seconds=args.seconds, rate=args.rate, mono=args.mono, level=args.level,
              bitrate=args.bitrate, vbr=args.vbr, info_tag=not args.no_info_tag,
              joint=not args.simple_stereo, title=args.title, artist=args.artist,
              encoding=args.id3v2_encoding, v1_title=args.id3v1_title,
              v1_artist=args.id3v1_artist, picture_bytes=args.picture_bytes)


# Frequencies of the staircase fixture, one per second; tests look them up by name.
STAIRCASE = [400, 600, 800, 1000, 1200, 1400]


def cmd_suite(args):
    d = args.outdir
    os.makedirs(d, exist_ok=True)
    j = lambda name: os.path.join(d, name)

    # Tags in every flavour the decoder must read.
    make_tone(j("utf16.mp3"), freq=440, seconds=1, title="桜の季節", artist="Beyoncé",
              encoding="utf16")
    make_tone(j("utf8.mp3"), freq=550, seconds=1, title="Jóga", artist="Björk",
              encoding="utf8")
    make_tone(j("latin1.mp3"), freq=660, seconds=1, title="Amélie", artist="Café Tacvba",
              encoding="latin1")
    make_tone(j("sjis_in_latin1.mp3"), freq=770, seconds=1, title="東京事変",
              artist="椎名林檎", encoding="sjis-as-latin1")
    make_tone(j("id3v1_sjis.mp3"), freq=880, seconds=1, v1_title="さくらさくら",
              v1_artist="Xさくらさくらさくらさくらさくら")
    make_tone(j("untagged.mp3"), freq=990, seconds=1)

    # Sound the tests listen to.
    make_tone(j("staircase.mp3"), steps=STAIRCASE)
    make_tone(j("eq_probe.mp3"), left=1000, right=60, seconds=3, level=-30, joint=False)
    make_tone(j("short.mp3"), freq=440, seconds=1)

    # Formats and lengths.
    make_tone(j("vbr.mp3"), steps=STAIRCASE[:4], vbr=2)
    make_tone(j("vbr_untagged.mp3"), steps=STAIRCASE[:4], vbr=2, info_tag=False)
    make_tone(j("mono22k.mp3"), freq=500, seconds=2, rate=22050, mono=True, bitrate=64)
    make_tone(j("mpeg25.mp3"), freq=500, seconds=2, rate=8000, mono=True, bitrate=16)
    make_tone(j("big_tag.mp3"), freq=440, seconds=1, title="Big", picture_bytes=10 * 1024 * 1024)

    # Broken and foreign files.
    with tempfile.TemporaryDirectory() as tmp:
        a, b = os.path.join(tmp, "a.mp3"), os.path.join(tmp, "b.mp3")
        make_tone(a, freq=440, seconds=1, info_tag=False)
        make_tone(b, freq=500, seconds=1, rate=22050, mono=True, bitrate=64, info_tag=False)
        with open(j("format_change.mp3"), "wb") as f:
            for part in (a, b):
                with open(part, "rb") as p:
                    f.write(p.read())
    with open(j("staircase.mp3"), "rb") as f:
        whole = f.read()
    with open(j("truncated.mp3"), "wb") as f:
        f.write(whole[: len(whole) // 2])
    # 3 KB of noise over the middle of the file: the decoder must find its way back.
    rng = random.Random(99)
    middle = len(whole) // 2
    noise = bytes(rng.getrandbits(8) for _ in range(3072))
    with open(j("damaged.mp3"), "wb") as f:
        f.write(whole[:middle] + noise + whole[middle + len(noise):])
    samples, channels = tone_seconds([440], [440], 44100, 1, -6, False)
    write_wav(samples, channels, 44100, j("wav_named.mp3"))
    with open(j("text_named.mp3"), "w") as f:
        f.write("This is a text file, not an MP3.\n" * 40)
    rng = random.Random(1234)
    with open(j("random.mp3"), "wb") as f:
        f.write(bytes(rng.getrandbits(8) for _ in range(65536)))
    open(j("empty.mp3"), "wb").close()


DEMO_TUNES = [
    ["C4", "E4", "G4", "C5", "G4", "E4", "C4", "G3"],
    ["A4", "C5", "E5", "A5", "E5", "C5", "A4", "E4"],
    ["D4", "F#4", "A4", "D5", "A4", "F#4", "D4", "A3"],
    ["E4", "G4", "B4", "E5", "D5", "B4", "G4", "E4"],
    ["F4", "A4", "C5", "F5", "C5", "A4", "F4", "C4"],
    ["G4", "B4", "D5", "G5", "D5", "B4", "G4", "D4"],
    ["C5", "B4", "A4", "G4", "F4", "E4", "D4", "C4"],
    ["A3", "C4", "E4", "A4", "G4", "E4", "C4", "A3"],
    ["D5", "C5", "A4", "F4", "A4", "C5", "D5", "A4"],
]


def cmd_demo(args):
    d = args.outdir
    albums = [
        ("Morning Walk", "Veldan Ensemble",
         [("01 Sunrise.mp3", "Sunrise"), ("02 Park.mp3", "In the Park"),
          ("03 Coffee.mp3", "Coffee Break")]),
        ("夜の音楽", "ヴェルダン楽団",
         [("01 月.mp3", "月の光"), ("02 星.mp3", "星空のワルツ"), ("03 風.mp3", "夜風")]),
        ("Misc", None,
         [("Björk.mp3", "Jóga (tone study)"), ("Plain.mp3", None), ("Tagged v1.mp3", None)]),
    ]
    beat = args.beat
    index = 0
    for album, artist, tracks in albums:
        folder = os.path.join(d, album)
        os.makedirs(folder, exist_ok=True)
        for name, title in tracks:
            notes = DEMO_TUNES[index % len(DEMO_TUNES)] * args.repeats
            samples, channels = melody(notes, 44100, beat, -9.0)
            path = os.path.join(folder, name)
            encode(samples, channels, 44100, path, bitrate=128)
            if name.startswith("Tagged v1"):
                apply_tags(path, v1_title="ID3v1 の曲", v1_artist="昔のタグ")
            else:
                apply_tags(path, title, artist, "utf16")
            index += 1


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)

    t = sub.add_parser("tone", help="one MP3 of synthesized tones")
    t.add_argument("out", help="output .mp3 path")
    t.add_argument("--freq", type=float, default=440.0, help="tone in Hz, both channels")
    t.add_argument("--left", type=float, help="left channel's tone in Hz")
    t.add_argument("--right", type=float, help="right channel's tone in Hz")
    t.add_argument("--steps", help="comma-separated Hz, one per second (a pitch staircase)")
    t.add_argument("--seconds", type=float, help="duration (default 3, or one per step)")
    t.add_argument("--rate", type=int, default=44100, help="sampling rate in Hz")
    t.add_argument("--mono", action="store_true", help="one channel")
    t.add_argument("--level", type=float, default=-6.0, help="peak level in dBFS")
    t.add_argument("--bitrate", type=int, help="constant bit rate in kbit/s (default 128)")
    t.add_argument("--vbr", type=int, help="variable bit rate quality 0-9 instead")
    t.add_argument("--no-info-tag", action="store_true",
                   help="no Xing/LAME header (the length must be estimated or scanned)")
    t.add_argument("--simple-stereo", action="store_true",
                   help="plain left/right stereo instead of joint stereo")
    t.add_argument("--title", help="ID3v2 title")
    t.add_argument("--artist", help="ID3v2 artist")
    t.add_argument("--id3v2-encoding", default="utf16",
                   choices=["utf16", "utf8", "latin1", "sjis-as-latin1"],
                   help="text encoding of the ID3v2 frames (utf8 writes ID3v2.4, else 2.3)")
    t.add_argument("--id3v1-title", help="ID3v1 title, written as Shift-JIS bytes")
    t.add_argument("--id3v1-artist", help="ID3v1 artist, written as Shift-JIS bytes")
    t.add_argument("--picture-bytes", type=int, default=0,
                   help="add an ID3v2 picture frame of this many bytes (a huge tag)")
    t.set_defaults(run=cmd_tone)

    s = sub.add_parser("suite", help="the decoder tests' fixtures")
    s.add_argument("outdir")
    s.set_defaults(run=cmd_suite)

    m = sub.add_parser("demo", help="a demo collection of albums")
    m.add_argument("outdir")
    m.add_argument("--beat", type=float, default=0.5, help="seconds per note")
    m.add_argument("--repeats", type=int, default=3, help="times each tune is played")
    m.set_defaults(run=cmd_demo)

    args = parser.parse_args(argv)
    if shutil.which("lame") is None:
        sys.exit("make_fixtures.py: lame is needed")
    args.run(args)


if __name__ == "__main__":
    main(sys.argv[1:])
