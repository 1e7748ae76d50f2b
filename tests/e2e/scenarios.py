"""End-to-end scenarios: the real veldan, clicked and listened to under Xvfb.

    scenarios.py --veldan PATH --x11-close PATH --tracks DIR [--have LIST] [--build-dir DIR]
                 [--cmake PATH] NAME

Exit code 0 when the scenario passed, 1 when it failed, 77 when this build lacks a piece it
needs. --have lists the program's parts that the build holds (opt, sel, data, ...).
"""

import argparse
import configparser
import math
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import time
import urllib.parse
import zlib

from veldan_e2e import (GAPLESS_SECONDS, HELP_TITLE, RATE, MAIN_CLIENT_SIZE, MEDIUM_PROMPT_TITLE, OPTION_CONTROLS,
                        OPTION_TITLE, SCREEN_SIZE, SELECT_TITLE, SKIP, TONES, Failure, Session,
                        check, select_item)
from veldan_e2e import Capture, _die_with_parent, _summary, wait_until

A, B, C, D, E, F, G, H = TONES

# Time one scenario may take in all, well inside ctest's own limit.
SCENARIO_SECONDS = 60

SCENARIOS = {}


def scenario(*needs):
    def register(fn):
        SCENARIOS[fn.__name__] = (fn, needs)
        return fn

    return register


def album_tree(s, first="long"):
    """T:\\Album holds 01 (A), 02 (B), 03 (C) and the album T:\\Album\\Second holds 01 (D) and
    02 (E): sorted, the catalogue is those five in that order, as two albums."""
    s.put("t/Album/01.mp3", A, first)
    s.put("t/Album/02.mp3", B)
    s.put("t/Album/03.mp3", C)
    s.put("t/Album/Second/01.mp3", D)
    s.put("t/Album/Second/02.mp3", E)
    return f"T=fixed:{s.path('t')};E=cdrom:{s.path('cd')}"


def start_album(s, first="long", cwd=None):
    drives = album_tree(s, first)
    s.start([s.path("t", "Album")], drives=drives, cwd=cwd)
    wid = s.main_window()
    return wid


def close_ok(s, wid):
    code = s.close(wid)
    check(code == 0, f"veldan ended with exit code {code}, expected 0{s.output_tail()}")


def stop_and_wait_idle(s, wid):
    s.press(wid, "BitBtn_stop")
    s.wait_silence()
    # The poll enables Play, Auto CD and Option again within one 250 ms tick of the stop.
    time.sleep(0.6)


# ----------------------------------------------------------------------------- scenarios


@scenario()
def autoplay(s):
    """Started on a folder, it titles itself after it, plays the first sorted track without any
    input and goes on to the second when the first ends."""
    wid = start_album(s, first="short")
    check(s.title(wid) == "VELDAN [T:\\Album]", f"title is {s.title(wid)!r}")
    left, top, width, height = s.geometry(wid)
    check((width, height) == MAIN_CLIENT_SIZE, f"the window is {width} x {height}")
    centred = (abs(2 * left + width - SCREEN_SIZE[0]) <= 2
               and abs(2 * top + height - SCREEN_SIZE[1]) <= 2)
    check(centred, f"the window at {left},{top} is not centred")
    s.wait_tone(A)
    s.wait_tone(B, timeout=8)
    close_ok(s, wid)


@scenario()
def transport(s):
    """Pause silences the track and Play goes on with it; Stop silences it and Play starts the
    current track again."""
    wid = start_album(s)
    s.wait_tone(A)
    s.press(wid, "BitBtn_pause")
    s.wait_silence()
    s.stays_silent(0.5)
    s.press(wid, "BitBtn_play")
    s.wait_tone(A)
    s.press(wid, "BitBtn_stop")
    s.wait_silence()
    s.stays_silent(0.7)
    s.press(wid, "BitBtn_play")
    s.wait_tone(A)
    close_ok(s, wid)


@scenario()
def remote_control(s):
    """Controlled over the session bus as a desktop's media keys and playerctl do: PlayPause
    silences the track and plays it on, Next plays the next file, and the bus names what plays."""
    s.session_bus()
    wid = start_album(s)
    s.wait_tone(A)
    s.wait_player_status("Playing")
    s.playerctl("play-pause")
    s.wait_silence()
    s.wait_player_status("Paused")
    s.playerctl("play-pause")
    s.wait_tone(A)
    s.playerctl("next")
    s.wait_tone(B)
    title = s.playerctl("metadata", "xesam:title")
    album = s.playerctl("metadata", "xesam:album")
    check((title, album) == ("02", "Album"), f"the bus says {title!r} of {album!r}")
    close_ok(s, wid)


@scenario()
def hand_over(s):
    """Started as the desktop starts it while a player runs, a second VELDAN hands its folder to
    the running one, which plays it, and ends with exit code 0; with no player running it starts
    and plays the folder itself."""
    s.session_bus()
    wid = start_album(s)
    s.wait_tone(A)
    s.wait_player_status("Playing")
    second = s.path("t", "Album", "Second")
    code = s.second_start(["--hand-over", second, s.path("t", "Album")])
    check(code == 0, f"the second start ended with {code}, expected 0")
    s.wait_tone(D)
    s.wait_title(wid, "VELDAN [T:\\Album\\Second]")
    close_ok(s, wid)

    s.start(["--hand-over", second], drives=album_tree(s))
    wid = s.main_window()
    check(s.title(wid) == "VELDAN [T:\\Album\\Second]", f"title is {s.title(wid)!r}")
    s.wait_tone(D)
    close_ok(s, wid)


@scenario()
def track_argument(s):
    """Started on a track, it searches the track's folder and starts at that track."""
    s.start([s.path("t", "Album", "02.mp3")], drives=album_tree(s))
    wid = s.main_window()
    check(s.title(wid) == "VELDAN [T:\\Album]", f"title is {s.title(wid)!r}")
    s.wait_tone(B)
    close_ok(s, wid)


@scenario()
def list_argument(s):
    """Started on a play list, it plays the list's lines in the list's own order."""
    drives = album_tree(s)
    os.makedirs(s.path("t", "Lists"))
    with open(s.path("t", "Lists", "Party.m3u"), "wb") as f:
        f.write(b"T:\\Album\\Second\\02.mp3\r\nT:\\Album\\01.mp3\r\n")
    s.start([s.path("t", "Lists", "Party.m3u")], drives=drives)
    wid = s.main_window()
    check(s.title(wid) == "VELDAN [T:\\Lists]", f"title is {s.title(wid)!r}")
    s.wait_tone(E)
    s.press(wid, "BitBtn_next_file")
    s.wait_tone(A)
    close_ok(s, wid)


@scenario()
def relative_list(s):
    """A folder whose list names its tracks relative to itself, started from another folder,
    plays those tracks in turn; a missing file never sets off a search of the drive (C: is a
    temporary folder here, standing in for the whole computer)."""
    s.put("c/Album/01.mp3", A, "short")
    s.put("c/Album/02.mp3", B)
    with open(s.path("c", "Album", "list.m3u"), "wb") as f:
        f.write(b"01.mp3\r\n02.mp3\r\n")
    os.makedirs(s.path("elsewhere"))
    s.start([s.path("c", "Album")], drives=f"C=fixed:{s.path('c')}", cwd=s.path("elsewhere"))
    wid = s.main_window()
    check(s.title(wid) == "VELDAN [C:\\Album]", f"title is {s.title(wid)!r}")
    s.wait_tone(A)
    s.wait_tone(B)
    check(s.title(wid) == "VELDAN [C:\\Album]", f"title is {s.title(wid)!r}, not the album")
    close_ok(s, wid)


@scenario()
def unknown_drive_argument(s):
    """Started on a drive letter the drive table doesn't have, it waits for nothing: the window
    appears, titled with the folder, and nothing plays."""
    s.start(["Q:\\music"], drives=f"T=fixed:{s.path()}")
    wid = s.main_window()
    check(s.title(wid) == "VELDAN [Q:]", f"title is {s.title(wid)!r}")
    s.stays_silent(1.0)
    close_ok(s, wid)


@scenario()
def files_and_albums(s):
    """With the album lock off: NextFile and PreFile step by one file, NextAlbum goes to the
    first file of the next album and PreAlbum to the first file of the previous album (not of
    the current one)."""
    wid = start_album(s)
    s.wait_tone(A)
    s.press(wid, "BitBtn_next_file")
    s.wait_tone(B)
    s.press(wid, "BitBtn_next_album")
    s.wait_tone(D)
    s.press(wid, "BitBtn_next_file")
    s.wait_tone(E)
    s.press(wid, "BitBtn_pre_file")
    s.wait_tone(D)
    s.press(wid, "BitBtn_next_file")
    s.wait_tone(E)
    s.press(wid, "BitBtn_pre_album")
    s.wait_tone(A)
    close_ok(s, wid)


@scenario()
def album_lock(s):
    """With the lock on, NextAlbum goes to the last file of the current album and PreAlbum back
    to its first; NextFile wraps inside the album."""
    wid = start_album(s)
    s.wait_tone(A)
    s.press(wid, "CheckBox_album_lock")
    s.press(wid, "BitBtn_next_album")
    s.wait_tone(C)
    s.press(wid, "BitBtn_next_file")
    s.wait_tone(A)
    s.press(wid, "BitBtn_next_file")
    s.wait_tone(B)
    s.press(wid, "BitBtn_pre_album")
    s.wait_tone(A)
    close_ok(s, wid)


@scenario()
def auto_cd(s):
    """Stopped on a folder of the fixed drive, Auto CD finds the one CD drive with a disc, titles
    the window after its root and plays its first track."""
    s.put("cd/Disc/01.mp3", F)
    s.put("cd/Disc/02.mp3", G)
    wid = start_album(s)
    s.wait_tone(A)
    stop_and_wait_idle(s, wid)
    s.press(wid, "BitBtn_auto_cd")
    s.wait_title(wid, "VELDAN [E:]")
    s.wait_tone(F)
    close_ok(s, wid)


@scenario()
def auto_cd_waits_for_disc(s):
    """Auto CD with an empty CD drive asks for a disc; after OK it waits, and a disc put in
    then is played from its root."""
    wid = start_album(s)
    s.wait_tone(A)
    stop_and_wait_idle(s, wid)
    s.press(wid, "BitBtn_auto_cd")
    prompt = s.window(title=MEDIUM_PROMPT_TITLE)
    s.key(prompt, "Return")
    s.window_gone(prompt)
    s.stays_silent(0.5)
    check(s.title(wid) == "VELDAN [T:\\Album]", f"title is {s.title(wid)!r} before the disc")
    # The disc arrives whole: its folder is filled first and then put where the drive looks.
    s.put("new-disc/01.mp3", G)
    os.rename(s.path("new-disc"), s.path("cd"))
    s.wait_title(wid, "VELDAN [E:]")
    s.wait_tone(G)
    close_ok(s, wid)


@scenario("opt")
def option_ok(s):
    """OK in the options dialog makes the folder its folder list shows (at first the folder the
    program was started in) the starting folder: title and catalogue follow, nothing plays until
    Play."""
    s.put("t/Other/01.mp3", F)
    s.put("t/Other/02.mp3", G)
    wid = start_album(s, cwd=s.path("t", "Other"))
    s.wait_tone(A)
    stop_and_wait_idle(s, wid)
    s.press(wid, "BitBtn_options")
    dialog = s.window(title=OPTION_TITLE)
    s.click(dialog, OPTION_CONTROLS["BitBtn1"])
    s.window_gone(dialog)
    s.wait_title(wid, "VELDAN [T:\\Other]")
    s.stays_silent(1.0)
    s.press(wid, "BitBtn_play")
    s.wait_tone(F)
    close_ok(s, wid)


@scenario("sel")
def select_track(s):
    """A double-click on an item of the selection dialog while playing plays that entry next."""
    wid = start_album(s)
    s.wait_tone(A)
    s.press(wid, "BitBtn_sel")
    dialog = s.window(title=SELECT_TITLE)
    s.click(dialog, select_item(3), double=True)
    s.window_gone(dialog)
    s.wait_tone(D)
    close_ok(s, wid)


@scenario()
def close_during_media_wait(s):
    """The disc is taken out while its last track plays; the next opening waits for a disc
    without end, and closing the window still ends the program with 0."""
    s.put("cd/01.mp3", A, "short")
    s.start([s.path("cd")], drives=f"E=cdrom:{s.path('cd')}")
    wid = s.main_window()
    check(s.title(wid) == "VELDAN [E:]", f"title is {s.title(wid)!r}")
    s.wait_tone(A)
    os.rename(s.path("cd"), s.path("cd-out"))
    s.wait_silence(timeout=6)
    s.stays_silent(0.5)
    check(s.alive(), "veldan ended by itself while waiting for a disc")
    close_ok(s, wid)


@scenario()
def startup_waits_for_disc(s):
    """Started on an empty CD drive, it waits for a disc before its window shows; the disc put
    in, the window appears titled after the drive and the disc plays."""
    s.start(["E:\\"], drives=f"E=cdrom:{s.path('cd')}")
    time.sleep(1.0)
    check(s.windows() == [], "a window showed before the disc was there")
    s.put("new-disc/Album/01.mp3", H)
    os.rename(s.path("new-disc"), s.path("cd"))
    wid = s.main_window()
    check(s.title(wid) == "VELDAN [E:]", f"title is {s.title(wid)!r}")
    s.wait_tone(H)
    close_ok(s, wid)


@scenario()
def terminate_during_startup_wait(s):
    """While start-up waits for a disc there is no window to close; a termination signal ends
    the program instead, with 0."""
    s.start(["E:\\"], drives=f"E=cdrom:{s.path('cd')}")
    time.sleep(1.0)
    check(s.alive(), f"veldan ended by itself while waiting for a disc{s.output_tail()}")
    s.proc.terminate()
    try:
        code = s.proc.wait(8)
    except subprocess.TimeoutExpired:
        raise Failure("veldan still runs 8 s after SIGTERM") from None
    check(code == 0, f"veldan ended with exit code {code}, expected 0{s.output_tail()}")


@scenario("data")
def portable(s):
    """The build folder's program and help file copied onto a disc with music, started without
    arguments: it plays its own disc from the root."""
    s.put("cd/Music/01.mp3", C)
    s.put("cd/Music/02.mp3", D)
    program = s.path("cd", "veldan")
    shutil.copy2(s.veldan, program)
    shutil.copy2(os.path.join(os.path.dirname(s.veldan), "VELDAN.HLP"), s.path("cd"))
    s.start([], drives=f"E=cdrom:{s.path('cd')}", program=program)
    wid = s.main_window()
    check(s.title(wid) == "VELDAN [E:]", f"title is {s.title(wid)!r}")
    s.wait_tone(C)
    close_ok(s, wid)


@scenario("data")
def install(s):
    """cmake --install into a fresh prefix gives a program in bin/, its help file in
    share/veldan/, a desktop entry for MP3 files and lists (not folders), its AppStream
    metainfo, its manual page and icons. The installed program plays a folder, shows its help
    and closes with 0; started again without an argument it plays the folder it last started
    from, and once that is gone, the user's music folder."""
    prefix = s.path("prefix")
    r = subprocess.run([s.args.cmake, "--install", s.args.build_dir, "--prefix", prefix],
                       capture_output=True, timeout=60)
    check(r.returncode == 0, f"cmake --install failed:\n{r.stdout.decode()}{r.stderr.decode()}")
    program = os.path.join(prefix, "bin", "veldan")
    for rel in ("bin/veldan", "share/veldan/VELDAN.HLP", "share/applications/veldan.desktop",
                "share/icons/hicolor/scalable/apps/veldan.svg",
                "share/icons/hicolor/64x64/apps/veldan.png",
                "share/metainfo/io.github.veldan.veldan.metainfo.xml", "share/man/man1/veldan.1"):
        check(os.path.isfile(os.path.join(prefix, rel)), f"{rel} is not installed")
    check(os.access(program, os.X_OK), "the installed veldan is not executable")
    check(not os.path.exists(os.path.join(prefix, "bin", "VELDAN.HLP")),
          "the help file is installed into bin/")
    entry = configparser.ConfigParser(interpolation=None)
    entry.optionxform = str
    entry.read(os.path.join(prefix, "share/applications/veldan.desktop"), encoding="utf-8")
    d = entry["Desktop Entry"]
    for key, value in (("Type", "Application"), ("Name", "VELDAN"),
                       ("Exec", "veldan --hand-over %F"), ("Icon", "veldan")):
        check(d.get(key) == value, f"desktop entry {key}={d.get(key)!r}, expected {value!r}")
    types = d.get("MimeType", "").split(";")
    for mime in ("audio/mpeg", "audio/x-mpegurl"):
        check(mime in types, f"desktop entry lacks {mime}")
    check("inode/directory" not in types, "the desktop entry claims folders")
    with open(os.path.join(prefix, "share/icons/hicolor/scalable/apps/veldan.svg"), "rb") as f:
        check(b"<svg" in f.read(), "the icon is not an SVG picture")

    s.put("music/Band/01.mp3", E)
    s.put("music/Band/02.mp3", F)
    s.start([s.path("music", "Band")], program=program)
    wid = s.main_window()
    s.wait_tone(E)
    # Operating instructions: the installed help file in share/veldan/ opens at its contents,
    # a page of links; when it is missing the viewer shows a plain text page instead.
    s.popup_menu_entry(wid, 0)
    viewer = s.window(title=HELP_TITLE)
    check(link_pixels(s, viewer) > 200, "the help viewer shows no contents page")
    close_ok(s, wid)

    # No argument: the folder the last run started from, not bin/.
    s.start([], program=program)
    wid = s.main_window()
    check(s.title(wid).endswith("\\music\\Band]"), f"title is {s.title(wid)!r}")
    s.wait_tone(E)
    close_ok(s, wid)

    # The saved folder is gone: the user's music folder.
    shutil.rmtree(s.path("music", "Band"))
    s.put("tunes/Mine/01.mp3", G)
    s.start([], program=program, env_extra={"XDG_MUSIC_DIR": s.path("tunes")})
    wid = s.main_window()
    check(s.title(wid).endswith("\\tunes]"), f"title is {s.title(wid)!r}")
    s.wait_tone(G)
    close_ok(s, wid)


@scenario()
def gapless(s):
    """Three parts cut from one tone play as one unbroken tone, and the song title moves on at
    each join."""
    for n in (1, 2, 3):
        dest = s.path("t", "Live", f"0{n}.mp3")
        os.makedirs(os.path.dirname(dest), exist_ok=True)
        shutil.copyfile(os.path.join(s.tracks, "gapless", f"part0{n}.mp3"), dest)
    s.start([s.path("t", "Live")], drives=f"T=fixed:{s.path('t')}")
    wid = s.main_window()
    s.wait_tone(A)
    began = time.monotonic()
    part = GAPLESS_SECONDS / 3
    # The song title as it changes, read again and again (a screenshot takes a while on a busy
    # machine) until the three parts have played.
    titles = [song_title_pixels(s, wid)]
    while time.monotonic() < began + 3 * part - 0.3:
        shown = song_title_pixels(s, wid)
        if shown != titles[-1]:
            titles.append(shown)
    check(len(titles) >= 3, f"the song title showed {len(titles)} texts in three parts")
    time.sleep(max(0.0, began + 3 * part + 0.5 - time.monotonic()))
    close_ok(s, wid)

    # From the first sound on, the three parts' length of sound holds no silence and no dip:
    # every 5 ms stretch stays within 3 dB of the tone's level.
    import array
    floats = array.array("f")
    with open(s.path("sound.raw"), "rb") as f:
        floats.frombytes(f.read())
    mono = [(floats[i] + floats[i + 1]) / 2 for i in range(0, len(floats) - 1, 2)]
    first = next((i for i, v in enumerate(mono) if v != 0.0), None)
    check(first is not None, "nothing was heard")
    length = int(GAPLESS_SECONDS * RATE)
    check(len(mono) - first >= length, "the parts were not heard to their end")
    window = RATE // 200
    levels = []
    for start in range(first + window, first + length - window, window):
        chunk = mono[start:start + window]
        levels.append(math.sqrt(sum(v * v for v in chunk) / len(chunk)))
    loudest = max(levels)
    quietest = min(levels)
    check(quietest > loudest * 10 ** (-3 / 20),
          f"the tone dips to {20 * math.log10(quietest / loudest + 1e-12):.1f} dB between parts")


@scenario()
def track_change_at_once(s):
    """NextFile and PreFile are heard at once, not at the status poll's next tick: over ten
    clicks, the middle time from a click to the new track's tone stays well under the poll's
    250 ms, and none takes long."""
    wid = start_album(s)
    s.wait_tone(A)
    delays = []
    for k, (control, freq) in enumerate((("BitBtn_next_file", B), ("BitBtn_pre_file", A)) * 5):
        # Pauses spread over a whole poll interval, so the clicks fall on every part of it.
        time.sleep(0.3 + (k * 0.137) % 0.25)
        watch = s.watch((A, B))
        clicked = s.press_timed(wid, control)
        delays.append(watch.first(freq, timeout=3) - clicked)
    delays.sort()
    shown = ", ".join(f"{d * 1000:.0f}" for d in delays)
    print(f"click to sound: {shown} ms")
    check(delays[len(delays) // 2] < 0.1, f"click to sound took {shown} ms")
    check(delays[-1] < 1.0, f"click to sound took {shown} ms")
    close_ok(s, wid)


@scenario()
def skipped_entries_at_once(s):
    """Between two tracks, a file that does not decode, an empty one and a named pipe are
    passed over at once: the silence between the tracks is about one poll interval, not one
    interval for each entry skipped."""
    s.put("t/Skip/01.mp3", A, "short")
    os.makedirs(s.path("t", "Skip"), exist_ok=True)
    with open(s.path("t", "Skip", "02.mp3"), "wb") as f:
        f.write(b"no MPEG audio here, only text\n" * 100)
    open(s.path("t", "Skip", "03.mp3"), "wb").close()
    os.mkfifo(s.path("t", "Skip", "04.mp3"))
    with open(s.path("t", "Skip", "05.mp3"), "wb") as f:
        f.write(bytes(range(256)) * 16)
    s.put("t/Skip/06.mp3", B)
    s.start([s.path("t", "Skip")], drives=f"T=fixed:{s.path('t')}")
    wid = s.main_window()
    s.wait_tone(A)
    watch = s.watch((A, B))
    began = watch.first(B, timeout=8)
    ended = watch.last_before(A, began)
    check(ended is not None, f"the first track's end was not heard; heard {watch.heard()}")
    # Four entries at a poll interval each would be a second of silence or more.
    check(began - ended < 0.7, f"{(began - ended) * 1000:.0f} ms of silence between the tracks")
    close_ok(s, wid)


@scenario()
def disc_swapped_during_track(s):
    """A disc swapped while its first track plays, the second track already opened to follow
    without a gap: when the first ends, the new disc is searched from its root and its first
    track plays; the old disc's second track is not heard."""
    s.put("cd/Album/01.mp3", A, "short")
    s.put("cd/Album/02.mp3", B)
    s.start([s.path("cd", "Album")], drives=f"E=cdrom:{s.path('cd')}")
    wid = s.main_window()
    check(s.title(wid) == "VELDAN [E:\\Album]", f"title is {s.title(wid)!r}")
    s.wait_tone(A)
    time.sleep(0.5)  # by now the poll has queued the second track
    s.put("new-disc/Other/01.mp3", G)
    watch = s.watch((A, B, G))
    os.rename(s.path("cd"), s.path("old-disc"))
    os.rename(s.path("new-disc"), s.path("cd"))
    watch.first(G, timeout=8)
    check(B not in watch.heard(), f"heard {watch.heard()}: the old disc's second track played")
    s.wait_title(wid, "VELDAN [E:]")
    close_ok(s, wid)


def song_title_pixels(s, wid):
    """The pixels of Label_song (Panel2 at 8,8 holds it at 8,24, 377 x 15)."""
    width, _, rgb = s.screenshot(wid)
    rows = []
    for y in range(32, 47):
        rows.append(rgb[(y * width + 16) * 3:(y * width + 16 + 377) * 3])
    return b"".join(rows)


def link_pixels(s, wid):
    """How many pixels of a window are in the blue of links, after a moment to draw them."""
    time.sleep(0.3)
    _, _, rgb = s.screenshot(wid)
    return sum(1 for i in range(0, len(rgb) - 2, 3)
               if rgb[i + 2] > 150 and rgb[i] < 90 and rgb[i + 1] < 90)


# ----------------------------------------------------------------------------- lists from other players


@scenario()
def vlc_list(s):
    """Started on a list as VLC and file managers write it (file URIs, percent-encoded names,
    one with é and one with a '%', a stream it can't play), it plays the list's tracks in the
    list's order."""
    from urllib.parse import quote

    s.put("t/Music/My Song é.mp3", B, "short")
    s.put("t/Music/100%.mp3", D, "short")
    s.put("t/Music/01.mp3", A)  # the folder's first track by name: heard only if the list fails
    os.makedirs(s.path("t", "Lists"))
    music = quote(s.path("t", "Music"))
    with open(s.path("t", "Lists", "vlc.m3u8"), "wb") as f:
        f.write(("#EXTM3U\n"
                 "#EXTINF:3,My Song é\n"
                 f"file://{music}/{quote('My Song é.mp3')}\n"
                 "#EXTINF:-1,Radio\n"
                 "http://radio.invalid/stream.mp3\n"
                 "#EXTINF:3,100%\n"
                 f"file://localhost{music}/{quote('100%.mp3')}\n").encode("utf-8"))
    with open(s.path("t", "Lists", "vlc.m3u8"), "rb") as f:
        check(b"/100%25.mp3" in f.read(), "the list does not hold the escaped name")
    s.start([s.path("t", "Lists", "vlc.m3u8")], drives=f"T=fixed:{s.path('t')}")
    wid = s.main_window()
    check(s.title(wid) == "VELDAN [T:\\Lists]", f"title is {s.title(wid)!r}")
    s.wait_tone(B)
    s.wait_tone(D, timeout=8)
    close_ok(s, wid)


# ----------------------------------------------------------------------------- hand-over races
# A start while another is in a long search, several starts at once, and ending during a search.
# The long search is a fan of folder links: level i holds four links to level i + 1, so ten
# folders on disk are met as some 350,000 (about ten seconds of listing).

MPRIS_NAME = "org.mpris.MediaPlayer2.veldan"


def link_fan(s, rel, fan=4, levels=10):
    """Builds the fan under root/rel and returns the host path of its top level."""
    for level in range(levels):
        folder = s.path(rel, f"L{level}")
        os.makedirs(folder, exist_ok=True)
        if level + 1 < levels:
            for link in "abcd"[:fan]:
                os.symlink(s.path(rel, f"L{level + 1}"), os.path.join(folder, link))
    return s.path(rel, "L0")


def bus_name_owned(s, name):
    r = subprocess.run(["dbus-send", f"--bus={s.bus_address}", "--print-reply",
                        "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                        "org.freedesktop.DBus.NameHasOwner", f"string:{name}"],
                       capture_output=True, timeout=10)
    return b"boolean true" in r.stdout


def start_beside(s, args, tag):
    """Another veldan in the session's environment (after s.start) with a sound file and log of
    its own; (process, capture). Ended by the session's end through end_beside."""
    env = dict(s._env, SDL_DISKAUDIOFILE=s.path(f"{tag}.raw"))
    log = open(s.path(f"{tag}.log"), "wb")
    proc = subprocess.Popen([s.veldan, *args], env=env, cwd=s.root, stdout=log,
                            stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
    proc.log = log
    return proc, Capture(s.path(f"{tag}.raw"))


def end_beside(procs):
    for proc in procs:
        if proc.poll() is None:
            proc.kill()
        proc.wait()
        proc.log.close()


def capture_tone(s, capture, freq, timeout, who):
    last = []

    def probe():
        last.append(capture.now(s.tones))
        return len(last) >= 2 and last[-1] == freq and last[-2] == freq

    try:
        wait_until(f"{who} to play the {freq} Hz tone", probe, timeout)
    except Failure:
        raise Failure(f"{who} did not play the {freq} Hz tone within {timeout} s; heard "
                      f"{_summary(last)}; {capture.describe()}") from None


def terminate_within(proc, seconds, who):
    started = time.monotonic()
    proc.terminate()
    try:
        code = proc.wait(seconds)
    except subprocess.TimeoutExpired:
        raise Failure(f"{who} still runs {seconds} s after SIGTERM") from None
    check(code == 0, f"{who} ended with exit code {code} after SIGTERM, expected 0")
    return time.monotonic() - started


@scenario()
def hand_over_during_search(s):
    """A hand-over to a player still in its first, long search: the path plays in exactly one
    player. Either the first answers within the second's wait and plays it after its search, or
    the second gives up, plays it itself, and the first never plays it when its search ends."""
    signal.alarm(150)  # the search alone takes ten seconds here, more on a slower machine
    s.session_bus()
    drives = album_tree(s)
    fan = link_fan(s, "t/Fan")
    s.put("t/Fan/L9/x.mp3", F)
    s.start([fan], drives=drives)
    time.sleep(1.5)
    check(s.alive(), f"the first player ended during its search{s.output_tail()}")
    check(bus_name_owned(s, MPRIS_NAME), "the first player is not on the bus during its search")
    check(not s.windows(), "the first player's search ended within 1.5 s: too short for this")
    second, heard_second = start_beside(s, ["--hand-over", s.path("t", "Album", "Second")],
                                        "second")
    try:
        try:
            code = second.wait(9)
        except subprocess.TimeoutExpired:
            code = None
        if code is None:
            capture_tone(s, heard_second, D, 10, "the second start")
            print("the second start gave up waiting and plays the folder itself")
            wid = s.main_window(timeout=100)
            s.wait_tone(F, timeout=10)
            end = time.monotonic() + 3
            while time.monotonic() < end:
                heard = s.tone()
                check(heard != D, "the first player played the handed-over folder as well")
                time.sleep(0.05)
            terminate_within(second, 5, "the second player")
        else:
            check(code == 0, f"the second start ended with {code}, expected 0")
            print("the first player answered in time and plays the folder")
            wid = s.main_window(timeout=100)
            s.wait_tone(D, timeout=10)
        close_ok(s, wid)
    finally:
        end_beside([second])


@scenario()
def three_hand_overs_at_once(s):
    """Three desktop starts at once with no player running: one gets the bus name and plays,
    the other two hand their path over to it and end with 0."""
    s.session_bus()
    drives = album_tree(s)
    args = ["--hand-over", s.path("t", "Album", "Second")]
    s.start(args, drives=drives)
    others = [start_beside(s, args, f"start{i}") for i in (2, 3)]
    try:
        players = [(s.proc, s.capture)] + others

        def settled():
            return sum(1 for proc, _ in players if proc.poll() is None) <= 1

        wait_until("all but one start to end", settled, 25, interval=0.1)
        running = [(proc, heard) for proc, heard in players if proc.poll() is None]
        codes = [proc.returncode for proc, _ in players if proc.poll() is not None]
        check(len(running) == 1, f"{len(running)} players run; the others ended with {codes}")
        check(codes == [0, 0], f"the starts that handed over ended with {codes}, expected 0")
        check(bus_name_owned(s, MPRIS_NAME), "the remaining player holds no bus name")
        proc, heard = running[0]
        capture_tone(s, heard, D, 10, "the remaining player")
        terminate_within(proc, 8, "the remaining player")
    finally:
        end_beside([proc for proc, _ in others])


@scenario()
def terminate_during_search(s):
    """SIGTERM ends the program at once while start-up searches, and while a remote OpenUri's
    search runs, instead of after the search; the close box, like every other input, is taken
    once the search is over."""
    signal.alarm(150)
    fan = link_fan(s, "t/Fan")
    s.start([fan], drives=f"T=fixed:{s.path('t')}")
    time.sleep(1.5)
    check(s.alive() and not s.windows(), "the start-up search ended within 1.5 s: too short")
    took = terminate_within(s.proc, 5, "veldan in its start-up search")
    print(f"start-up search: ended {took:.2f} s after SIGTERM")

    s.session_bus()
    wid = start_album(s)
    s.wait_tone(A)
    s.playerctl("open", "file://" + fan)
    time.sleep(1.5)
    check(s.alive(), f"veldan ended during the search{s.output_tail()}")
    took = terminate_within(s.proc, 5, "veldan in a remote's search")
    print(f"OpenUri search: ended {took:.2f} s after SIGTERM")

    # The close box is the user's input: it waits for the search, as clicks do, and then closes
    # the program cleanly.
    wid = start_album(s)
    s.wait_tone(A)
    s.playerctl("open", "file://" + fan)
    time.sleep(1.5)
    check(s.alive(), f"veldan ended during the search{s.output_tail()}")
    started = time.monotonic()
    code = s.close(wid, timeout=90)
    check(code == 0, f"veldan ended with exit code {code}, expected 0{s.output_tail()}")
    print(f"OpenUri search: ended {time.monotonic() - started:.2f} s after the close box")


# ----------------------------------------------------------------------------- cover art


def tiny_png(width, height, rgb):
    """A whole PNG picture of one colour, as small as such a file gets."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    rows = b"".join(b"\x00" + bytes(rgb) * width for _ in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows))
            + chunk(b"IEND", b""))


def prepend_pictures(path, pictures):
    """Puts an ID3v2.3 tag in front of the MP3 file at path, holding one APIC frame per
    (picture type, PNG bytes): 3 is the front cover, 4 the back cover."""
    frames = b""
    for kind, png in pictures:
        body = b"\x00" + b"image/png\x00" + bytes([kind]) + b"\x00" + png
        frames += b"APIC" + struct.pack(">I", len(body)) + b"\x00\x00" + body
    frames += bytes(16)  # padding
    size = len(frames)
    syncsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    with open(path, "rb") as f:
        audio = f.read()
    with open(path, "wb") as f:
        f.write(b"ID3\x03\x00\x00" + syncsafe + frames + audio)


def file_uri(path):
    """The file URI the player names a picture by: every byte but the unreserved ones and '/'
    percent-encoded."""
    return "file://" + urllib.parse.quote(os.fsencode(path), safe="/")


def art_url(s):
    return s.playerctl("metadata", "mpris:artUrl")


def wait_art_url(s, uri, timeout=5):
    wait_until(f"mpris:artUrl {uri!r} (is {art_url(s)!r})", lambda: art_url(s) == uri, timeout)


def wait_track(s, title, album, timeout=5):
    wait_until(f"the bus to name {title!r} of {album!r}",
               lambda: (s.playerctl("metadata", "xesam:title"),
                        s.playerctl("metadata", "xesam:album")) == (title, album), timeout)


def path_behind(uri):
    """The host path a file URI names."""
    check(uri.startswith("file:///"), f"{uri!r} is no file URI")
    return os.fsdecode(urllib.parse.unquote_to_bytes(uri[len("file://"):]))


def picture_behind(uri):
    """The bytes of the file a file URI names."""
    with open(path_behind(uri), "rb") as f:
        return f.read()


@scenario()
def cover_art_portable(s):
    """A portable copy names the folder's picture over the bus, as a percent-encoded file URI
    of that very file; for an album whose tracks only carry a picture in their tags it names
    none, and writes no cache."""
    s.session_bus()
    s.put("t/Art Album #1/01.mp3", A)
    folder_picture = tiny_png(4, 4, (200, 30, 30))
    with open(s.path("t", "Art Album #1", "Folder.png"), "wb") as f:
        f.write(folder_picture)
    prepend_pictures(s.put("t/Tagged/01.mp3", B), [(3, tiny_png(2, 2, (0, 0, 255)))])
    s.start([s.path("t")], drives=f"T=fixed:{s.path('t')}")
    wid = s.main_window()
    s.wait_tone(A)
    expected = file_uri(s.path("t", "Art Album #1", "Folder.png"))
    check("Art%20Album%20%231/Folder.png" in expected, f"the test's own URI is {expected!r}")
    wait_art_url(s, expected)
    check(picture_behind(art_url(s)) == folder_picture, "the URI names another file")

    s.playerctl("next")
    s.wait_tone(B)
    wait_track(s, "01", "Tagged")
    # The lookup has had time to answer; a portable copy takes no picture out of a tag.
    time.sleep(1.0)
    check(art_url(s) == "", f"a portable copy names {art_url(s)!r} for a tagged picture")
    check(not os.path.exists(os.path.join(s.path("home", ".cache"), "veldan")),
          "a portable copy wrote into the cache folder")
    close_ok(s, wid)


@scenario("data")
def cover_art_installed(s):
    """An installed copy takes the front cover out of the tags of an album without a folder
    picture into its cache folder, names it over the bus, and keeps one file for the album
    however many of its tracks play."""
    prefix = s.path("prefix")
    r = subprocess.run([s.args.cmake, "--install", s.args.build_dir, "--prefix", prefix],
                       capture_output=True, timeout=60)
    check(r.returncode == 0, f"cmake --install failed:\n{r.stdout.decode()}{r.stderr.decode()}")
    program = os.path.join(prefix, "bin", "veldan")

    front = tiny_png(3, 3, (10, 160, 40))
    back = tiny_png(5, 5, (90, 90, 90))
    for rel, freq in (("music/Embedded/01.mp3", C), ("music/Embedded/02.mp3", D)):
        # The back cover first in the tag: the front cover is chosen all the same.
        prepend_pictures(s.put(rel, freq), [(4, back), (3, front)])
    s.session_bus()
    s.start([s.path("music", "Embedded")], program=program)
    wid = s.main_window()
    s.wait_tone(C)
    cache = os.path.join(s.path("home", ".cache"), "veldan", "art")
    wait_until("an mpris:artUrl", lambda: art_url(s), 5)
    uri = art_url(s)
    check(uri.startswith(file_uri(cache) + "/"), f"{uri!r} is not in the cache {cache}")
    check(picture_behind(uri) == front, "the cached picture is not the track's front cover")

    s.playerctl("next")
    s.wait_tone(D)
    wait_track(s, "02", "Embedded")
    wait_art_url(s, uri)
    check(os.listdir(cache) == [os.path.basename(path_behind(uri))],
          f"the cache holds {sorted(os.listdir(cache))} for one album")
    close_ok(s, wid)


# ----------------------------------------------------------------------------- no sleep


INHIBIT_STANDIN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support",
                               "inhibit_standin.py")
PORTAL_INHIBIT = "Inhibit |4|Playing music"


def start_inhibit_portal(s):
    """The stand-in desktop portal on the session's private bus (after s.session_bus()); a
    function that asks it for its record: "Calls" or "Held"."""
    python = os.environ.get("VELDAN_STANDIN_PYTHON", "")
    if not python:
        print("SKIP: no Python with the dbus and gi modules for the portal stand-in")
        raise SystemExit(SKIP)
    portal = subprocess.Popen([python, INHIBIT_STANDIN, s.bus_address, "portal"],
                              stdout=subprocess.PIPE, preexec_fn=_die_with_parent)
    s.inhibit_portal = portal
    check(portal.stdout.readline().strip() == b"ready", "the portal stand-in did not start")

    def ask(method):
        r = subprocess.run(["dbus-send", f"--bus={s.bus_address}", "--print-reply",
                            "--dest=org.freedesktop.portal.Desktop", "/org/veldan/test/Inhibit",
                            f"org.veldan.test.Inhibit.{method}"],
                           capture_output=True, text=True, timeout=10)
        check(r.returncode == 0, f"the portal stand-in did not answer {method}: {r.stderr}")
        return re.findall(r'string "(.*)"', r.stdout)

    return ask


@scenario()
def sleep_while_playing(s):
    """Nothing is held while nothing plays; while the album plays the desktop portal holds off
    suspend (its flag 4, suspend only); Pause closes that request, Play takes a new one, and the
    close leaves none."""
    s.session_bus()
    ask = start_inhibit_portal(s)
    try:
        # A folder without tracks: the window comes, Play finds nothing, nothing is asked for.
        os.makedirs(s.path("t", "Empty"))
        s.start([s.path("t", "Empty")], drives=f"T=fixed:{s.path('t')}")
        wid = s.main_window()
        s.press(wid, "BitBtn_play")
        s.stays_silent(1.0)
        check(ask("Calls") == [], f"asked for {ask('Calls')} with nothing to play")
        close_ok(s, wid)

        wid = start_album(s)
        s.wait_tone(A)
        wait_until("the portal to hold a request", lambda: len(ask("Held")) == 1, 5)
        check(ask("Calls") == [PORTAL_INHIBIT], f"the portal was asked {ask('Calls')}")
        first = ask("Held")[0]
        s.press(wid, "BitBtn_pause")
        s.wait_silence()
        wait_until("the request to be closed", lambda: ask("Held") == [], 2)
        check(ask("Calls")[-1] == f"Close {first}", f"the portal was asked {ask('Calls')}")
        s.press(wid, "BitBtn_play")
        s.wait_tone(A)
        wait_until("the portal to hold a request again", lambda: len(ask("Held")) == 1, 5)
        check(ask("Calls").count(PORTAL_INHIBIT) == 2, f"the portal was asked {ask('Calls')}")
        close_ok(s, wid)
        wait_until("no request left after the close", lambda: ask("Held") == [], 5)
    finally:
        s.inhibit_portal.kill()
        s.inhibit_portal.wait()


def installed_copy(s):
    """cmake --install into a fresh prefix; the installed program."""
    prefix = s.path("prefix")
    r = subprocess.run([s.args.cmake, "--install", s.args.build_dir, "--prefix", prefix],
                       capture_output=True, timeout=60)
    check(r.returncode == 0, f"cmake --install failed:\n{r.stdout.decode()}{r.stderr.decode()}")
    return os.path.join(prefix, "bin", "veldan")


def resume_tree(s):
    """music\\Album holds 01 (A, 20 s) and 02 (C, 45 s), the track play is stopped in."""
    s.put("music/Album/01.mp3", A)
    s.put("music/Album/02.mp3", C, "resume")


def play_position(s, timeout=5):
    """Where the player says play stands, in seconds, once it says it plays."""
    s.wait_player_status("Playing", timeout)
    text = s.playerctl("position")
    try:
        return float(text)
    except ValueError:
        raise Failure(f"playerctl position says {text!r}{s.output_tail()}") from None


def start_resume_folder(s, program):
    """The installed copy plays the folder and is moved on to its 45 s track."""
    s.start([s.path("music", "Album")], program=program)
    wid = s.main_window()
    s.wait_tone(A)
    s.playerctl("next")
    s.wait_tone(C)
    return wid


@scenario("data")
def resume(s):
    """An installed copy stopped 30 s into a track by its close box starts again without an
    argument at that track and place, heard; once the track has gone, the folder plays from its
    start."""
    program = installed_copy(s)
    s.session_bus()
    resume_tree(s)
    wid = start_resume_folder(s, program)
    s.playerctl("position", "30")
    wait_until("play at 30 s", lambda: 30 <= play_position(s) < 32, 5)
    close_ok(s, wid)

    s.start([], program=program)
    wid = s.main_window()
    check(s.title(wid).endswith("\\music\\Album]"), f"title is {s.title(wid)!r}")
    at = play_position(s)
    check(29 <= at <= 31.5, f"started again at {at} s, expected 30 s")
    s.wait_tone(C)
    close_ok(s, wid)

    os.remove(s.path("music", "Album", "02.mp3"))
    s.start([], program=program)
    wid = s.main_window()
    s.wait_tone(A)
    at = play_position(s)
    check(at < 5, f"the folder's first track plays from {at} s, expected its start")
    close_ok(s, wid)


@scenario("data")
def resume_after_kill(s):
    """An installed copy killed while it plays starts again without an argument no more than
    10 s before the place it was killed at, and the track is heard."""
    program = installed_copy(s)
    s.session_bus()
    resume_tree(s)
    start_resume_folder(s, program)
    s.playerctl("position", "20")
    time.sleep(12)
    killed_at = play_position(s)
    s.proc.kill()
    s.proc.wait()

    s.start([], program=program)
    wid = s.main_window()
    at = play_position(s)
    check(killed_at - 10.5 <= at <= killed_at + 1.5,
          f"started again at {at} s after a kill at {killed_at} s")
    s.wait_tone(C)
    close_ok(s, wid)


def gain_tagged_copy(s, rel, freq, track_db, album_db):
    """The long tone track of freq at root/rel behind an ID3v2 tag carrying the ReplayGain
    track and album gains given, no peaks."""
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                    "tools"))
    import make_fixtures  # noqa: E402  (the project's own generator)

    frames = [("TXXX", b"\x00" + name.encode() + b"\x00" + f"{db:+.2f} dB".encode())
              for name, db in (("REPLAYGAIN_TRACK_GAIN", track_db),
                               ("REPLAYGAIN_ALBUM_GAIN", album_db))]
    plain = s.put(rel, freq)
    with open(plain, "rb") as f:
        audio = f.read()
    with open(plain, "wb") as f:
        f.write(make_fixtures.id3v2_tag(frames, 3) + audio)


def heard_level_db(s, seconds=1.0):
    """The level of what is heard, in dB of full scale, over the next seconds."""
    levels = []
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        samples = s.capture.tail(0.1)
        if samples:
            levels.append(math.sqrt(sum(v * v for v in samples) / len(samples)))
        time.sleep(0.1)
    check(levels, "nothing was heard")
    return 20 * math.log10(max(sum(levels) / len(levels), 1e-9))


@scenario("data")
def replaygain_setting(s):
    """An installed copy levels a track by its album gain by default (play in order), by its
    track gain or not at all as veldan.conf says."""
    program = installed_copy(s)
    gain_tagged_copy(s, "music/Album/01.mp3", A, track_db=-12.0, album_db=-6.0)
    conf = s.path("home", ".config", "VELDAN", "veldan.conf")
    os.makedirs(os.path.dirname(conf), exist_ok=True)
    levels = {}
    for setting in ("off", None, "track"):
        if setting is None:
            if os.path.exists(conf):
                os.remove(conf)
        else:
            with open(conf, "w") as f:
                f.write(f"# as the listener wrote it\nreplaygain = {setting}\n")
        s.start([s.path("music", "Album")], program=program)
        wid = s.main_window()
        s.wait_tone(A)
        levels[setting] = heard_level_db(s)
        close_ok(s, wid)
    for setting, expected in ((None, -6.0), ("track", -12.0)):
        change = levels[setting] - levels["off"]
        check(abs(change - expected) < 0.5,
              f"replaygain {setting or 'unset'} changes the level by {change:.2f} dB, "
              f"expected {expected} dB")


# ----------------------------------------------------------------------------- runner


def _on_alarm(signum, frame):
    raise Failure(f"the scenario took longer than {SCENARIO_SECONDS} s")


def main(argv):
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--veldan", required=True)
    p.add_argument("--x11-close", required=True)
    p.add_argument("--tracks", required=True)
    p.add_argument("--have", default="")
    p.add_argument("--build-dir")
    p.add_argument("--cmake", default="cmake")
    p.add_argument("name", choices=sorted(SCENARIOS))
    args = p.parse_args(argv)

    fn, needs = SCENARIOS[args.name]
    have = set(filter(None, args.have.split(",")))
    missing = [n for n in needs if n not in have]
    if missing:
        print(f"SKIP {args.name}: this build has no {', '.join(missing)}")
        return SKIP
    if not os.path.exists(args.veldan):
        print(f"SKIP {args.name}: no program at {args.veldan}")
        return SKIP

    signal.signal(signal.SIGALRM, _on_alarm)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    signal.alarm(SCENARIO_SECONDS)
    started = time.monotonic()
    s = Session(args.veldan, args.x11_close, args.tracks)
    s.args = args
    try:
        fn(s)
    except Failure as e:
        print(f"FAIL {args.name}: {e}")
        return 1
    finally:
        signal.alarm(0)
        s.end()
    print(f"PASS {args.name} in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
