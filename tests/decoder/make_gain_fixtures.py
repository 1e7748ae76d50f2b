#!/usr/bin/env python3
"""Makes the ReplayGain fixtures of the decoder tests: one tone encoded with lame, tagged with
known gains and peaks in ID3v2 TXXX and RVA2 frames, and one encoded with lame's own ReplayGain
in its LAME tag (the gain lame found is written beside it, read back from the tag).

usage: make_gain_fixtures.py OUTDIR
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import make_fixtures as mf  # noqa: E402

# A 1 kHz tone at -20 dBFS: far below full scale, so that only a peak the tags claim limits a gain.
TONE = dict(freq=1000, seconds=3, level=-20)


def txxx(description, value):
    return ("TXXX", b"\x00" + description.encode("latin-1") + b"\x00" + value.encode("latin-1"))


def rva2(identification, gain_db, peak=None):
    """A master-volume RVA2 frame; the peak in 16 bits, full scale at 2^15."""
    body = identification.encode("latin-1") + b"\x00" + b"\x01"
    body += struct.pack(">h", int(round(gain_db * 512)))
    if peak is None:
        body += b"\x00"
    else:
        body += b"\x10" + struct.pack(">H", min(int(round(peak * 32768)), 65535))
    return ("RVA2", body)


def tagged_copy(plain, out, frames, version=3):
    with open(plain, "rb") as f:
        audio = f.read()
    with open(out, "wb") as f:
        f.write(mf.id3v2_tag(frames, version) + audio)


def lame_radio_gain(path):
    """The radio (track) gain of a file's LAME tag in dB, or None."""
    with open(path, "rb") as f:
        data = f.read(8192)
    at = data.find(b"Info")
    if at < 0:
        at = data.find(b"Xing")
    if at < 0:
        return None
    flags = struct.unpack(">I", data[at + 4:at + 8])[0]
    pos = at + 8 + (4 if flags & 1 else 0) + (4 if flags & 2 else 0) + (100 if flags & 4 else 0)
    pos += 4 if flags & 8 else 0
    if data[pos:pos + 4] != b"LAME":
        return None
    field = struct.unpack(">H", data[pos + 15:pos + 17])[0]
    if field >> 13 != 1:  # not a radio gain
        return None
    value = (field & 0x1FF) / 10.0
    return -value if field & 0x200 else value


def main(argv):
    if len(argv) != 1:
        sys.stderr.write(__doc__)
        return 2
    out = argv[0]
    os.makedirs(out, exist_ok=True)
    j = lambda name: os.path.join(out, name)  # noqa: E731

    mf.make_tone(j("plain.mp3"), **TONE)
    tagged_copy(j("plain.mp3"), j("txxx.mp3"), [
        txxx("REPLAYGAIN_TRACK_GAIN", "-3.00 dB"), txxx("REPLAYGAIN_TRACK_PEAK", "0.120000"),
        txxx("REPLAYGAIN_ALBUM_GAIN", "-8.50 dB"), txxx("REPLAYGAIN_ALBUM_PEAK", "0.120000")])
    tagged_copy(j("plain.mp3"), j("album_only.mp3"), [txxx("replaygain_album_gain", "-6.00 dB")])
    # Gains the claimed peaks do not allow: +15 dB on a peak of 0.5 goes as far as 2 (+6.02 dB),
    # +14 dB on an album peak of 0.25 as far as 4 (+12.04 dB).
    tagged_copy(j("plain.mp3"), j("clip.mp3"), [
        txxx("REPLAYGAIN_TRACK_GAIN", "+15.00 dB"), txxx("REPLAYGAIN_TRACK_PEAK", "0.500000"),
        txxx("REPLAYGAIN_ALBUM_GAIN", "+14.00 dB"), txxx("REPLAYGAIN_ALBUM_PEAK", "0.250000")])
    # Gains no tagger writes: none is applied.
    tagged_copy(j("plain.mp3"), j("bogus.mp3"), [
        txxx("REPLAYGAIN_TRACK_GAIN", "+500.00 dB"), txxx("REPLAYGAIN_TRACK_PEAK", "-1"),
        txxx("REPLAYGAIN_ALBUM_GAIN", "loud"), txxx("REPLAYGAIN_ALBUM_PEAK", "x")])
    # RVA2: a track gain without a peak, an album gain whose peak allows only +6.02 dB.
    tagged_copy(j("plain.mp3"), j("rva2.mp3"),
                [rva2("track", -4.0), rva2("album", 10.0, peak=0.5)], version=4)

    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "tone.wav")
        samples, channels = mf.tone_seconds([TONE["freq"]], [TONE["freq"]], 44100,
                                            TONE["seconds"], TONE["level"], False)
        mf.write_wav(samples, channels, 44100, wav)
        subprocess.run(["lame", "--quiet", "--replaygain-accurate", "-b", "128", "--cbr", wav,
                        j("lame.mp3")], check=True)
    gain = lame_radio_gain(j("lame.mp3"))
    if gain is None:
        sys.stderr.write("make_gain_fixtures: lame wrote no radio gain\n")
        return 1
    with open(j("lame_gain.txt"), "w") as f:
        f.write("%.1f\n" % gain)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
