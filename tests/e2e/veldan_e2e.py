"""End-to-end helpers: the real veldan in a real X window.

A Session starts a private Xvfb, runs veldan on it with SDL's disk driver writing what would be
heard into a file and a drive table of temporary folders, and then lets a scenario act as a
listener at the screen: click a control where the layout puts it, read the window title, tell
which tone is playing from the tail of the sound file, and close the window the way a window
manager's close box does. Every wait has a limit, so a fault fails a scenario instead of hanging
it, and every process the session started dies with it.

Run as a script, it writes the tone tracks the scenarios copy into their drive folders:
    veldan_e2e.py tracks OUTDIR
"""

import array
import ctypes
import math
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))

# Distinct tones, one per track of a scenario, far enough apart for a 0.1 s window to tell them
# apart and none an octave of another.
TONES = [400, 500, 630, 750, 900, 1060, 1250, 1400]
# A short track ends during a scenario; a long one never does.
SHORT_SECONDS = 3
LONG_SECONDS = 20

# The track the resume scenarios stop in and take up again, well past its middle.
RESUME_SECONDS = 45

# The three gapless parts together.
GAPLESS_SECONDS = 6

RATE = 44100
CHANNELS = 2
FRAME_BYTES = CHANNELS * 4  # the device is opened with 32-bit float samples

SKIP = 77  # ctest's SKIP_RETURN_CODE for these tests


def track_name(freq, length):
    return f"tone_{freq}_{length}.mp3"


def make_tracks(out_dir):
    sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
    import make_fixtures  # noqa: E402  (the project's own generator, found beside the tests)

    os.makedirs(out_dir, exist_ok=True)
    for freq in TONES:
        for length, seconds in (("short", SHORT_SECONDS), ("long", LONG_SECONDS)):
            make_fixtures.make_tone(os.path.join(out_dir, track_name(freq, length)), freq=freq,
                                    seconds=seconds)
    make_fixtures.make_tone(os.path.join(out_dir, track_name(TONES[2], "resume")), freq=TONES[2],
                            seconds=RESUME_SECONDS)
    # One steady tone of the first frequency cut into three parts inside MP3 frames.
    import make_gapless_parts  # noqa: E402
    make_gapless_parts.main([os.path.join(out_dir, "gapless"), "--count", "3", "--seconds",
                             str(GAPLESS_SECONDS), "--tone", str(TONES[0]), "--tone-only"])


# ----------------------------------------------------------------------------- layout

# Client rectangles (left, top, width, height) of the main window's controls. Panel3 holds the
# controls and sits at 8,64; Panel4 (the seek bar's frame) sits at 416,7 inside Panel3.
_PANEL3 = (8, 64)
_PANEL3_CONTROLS = {
    "BitBtn_auto_cd": (296, 6, 113, 22),
    "BitBtn_options": (296, 27, 57, 18),
    "BitBtn_sel": (352, 27, 57, 18),
    "CheckBox_album_lock": (422, 27, 81, 17),
    "CheckBox_repeat": (502, 27, 65, 17),
    "CheckBox_random": (562, 27, 64, 17),
    "BitBtn_pre_album": (8, 48, 89, 18),
    "BitBtn_pre_file": (96, 48, 89, 18),
    "BitBtn_stop": (184, 48, 89, 18),
    "BitBtn_pause": (272, 48, 89, 18),
    "BitBtn_play": (360, 48, 89, 18),
    "BitBtn_next_file": (448, 48, 89, 18),
    "BitBtn_next_album": (536, 48, 89, 18),
}
MAIN_CONTROLS = {
    name: (_PANEL3[0] + x, _PANEL3[1] + y, w, h) for name, (x, y, w, h) in _PANEL3_CONTROLS.items()
}
MAIN_CONTROLS["Image_time_locate"] = (_PANEL3[0] + 416 + 2, _PANEL3[1] + 7 + 2, 205, 15)
MAIN_CLIENT_SIZE = (649, 142)
SCREEN_SIZE = (1024, 768)

OPTION_TITLE = "VELDAN\u3000オプション設定"
OPTION_CONTROLS = {
    "BitBtn1": (328, 232, 105, 33),  # OK
    "BitBtn2": (440, 232, 97, 33),  # Cancel
}

MEDIUM_PROMPT_TITLE = "演奏するﾒﾃﾞｨｱが見つかりません"

HELP_TITLE = "VELDAN 操作説明"

SELECT_TITLE = "検索されたファイルのダイレクト選択"
SELECT_ITEM_HEIGHT = 12


def select_item(k):
    """Rectangle of item k of the selection dialog's list, which fills the top of the dialog.
    The list's frame takes a pixel or two above the first item, so the middle of the item is
    aimed at from a little below its designed top."""
    return (0, 2 + SELECT_ITEM_HEIGHT * k, 200, SELECT_ITEM_HEIGHT)


# ----------------------------------------------------------------------------- failures


class Failure(Exception):
    """A scenario's expectation that did not hold."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_until(what, probe, timeout, interval=0.05):
    """Calls probe until it returns something true and returns that; fails after timeout."""
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() >= end:
            raise Failure(f"timed out after {timeout:.1f} s waiting for {what}")
        time.sleep(interval)


def _die_with_parent():
    # The session's children must not outlive it, also when ctest kills the scenario.
    libc = ctypes.CDLL("libc.so.6", use_errno=True)
    libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


# ----------------------------------------------------------------------------- sound


def goertzel_amplitudes(samples, rate, freqs):
    """Amplitude of each frequency in a Hann-windowed stretch of mono samples (a full-scale sine
    measures 1.0)."""
    n = len(samples)
    window = [0.5 - 0.5 * math.cos(2 * math.pi * i / (n - 1)) for i in range(n)]
    x = [s * w for s, w in zip(samples, window)]
    gain = sum(window) / 2
    out = {}
    for f in freqs:
        coeff = 2 * math.cos(2 * math.pi * f / rate)
        s1 = s2 = 0.0
        for v in x:
            s1, s2 = v + coeff * s1 - s2, s1
        power = s1 * s1 + s2 * s2 - coeff * s1 * s2
        out[f] = math.sqrt(max(power, 0.0)) / gain
    return out


def classify(samples, rate, freqs, silence_db=-50.0):
    """None for silence, the tone that carries most of the sound, or "mixed"."""
    n = len(samples)
    rms = math.sqrt(sum(v * v for v in samples) / n) if n else 0.0
    if rms == 0.0 or 20 * math.log10(rms * math.sqrt(2)) < silence_db:
        return None
    amps = goertzel_amplitudes(samples, rate, freqs)
    best = max(amps, key=amps.get)
    # A pure sine of amplitude A has an RMS of A / sqrt 2; a cross-fade, noise or a tone not in
    # the list leaves the best candidate well short of that.
    if amps[best] / math.sqrt(2) >= 0.7 * rms:
        return best
    return "mixed"


class Capture:
    """The growing file that SDL's disk driver writes, read from its tail."""

    def __init__(self, path):
        self.path = path
        self._size = -1
        self._grew_at = time.monotonic()

    def _current_size(self):
        try:
            size = os.path.getsize(self.path)
        except OSError:
            size = 0
        if size != self._size:
            self._size = size
            self._grew_at = time.monotonic()
        return size

    def tail(self, seconds=0.1):
        """Mono samples of the last stretch written, or None when nothing was written lately
        (the device is closed: nothing is heard)."""
        size = self._current_size()
        if time.monotonic() - self._grew_at > 0.4:
            return None
        frames = int(RATE * seconds)
        want = frames * FRAME_BYTES
        end = size - size % FRAME_BYTES
        if end < want:
            return None
        with open(self.path, "rb") as f:
            f.seek(end - want)
            data = f.read(want)
        floats = array.array("f")
        floats.frombytes(data[: len(data) - len(data) % FRAME_BYTES])
        return [(floats[i] + floats[i + 1]) / 2 for i in range(0, len(floats) - 1, 2)]

    def describe(self):
        """What the capture file holds, for a failure message."""
        size = self._current_size()
        return (f"the sound file holds {size / FRAME_BYTES / RATE:.2f} s, the last written "
                f"{time.monotonic() - self._grew_at:.1f} s ago")

    def now(self, freqs):
        samples = self.tail()
        if samples is None:
            return None
        return classify(samples, RATE, freqs)


class Watch:
    """The capture file read as it grows from where it ends when the watch begins, cut into 10 ms
    blocks, each stamped with the moment it was seen (the disk driver writes in real time, so
    that is when it would have been heard) and classed as silence (None), one of the tones, or
    "mixed". The driver starts the file anew when the device is opened again; reading then
    starts over at its beginning."""

    BLOCK = RATE // 100

    def __init__(self, path, tones):
        self.path = path
        self.tones = list(tones)
        try:
            size = os.path.getsize(path)
        except OSError:
            size = 0
        self.offset = size - size % FRAME_BYTES
        self.pending = []
        self.seen = []  # (time, tone) of every block so far

    def _read(self):
        now = time.monotonic()
        try:
            size = os.path.getsize(self.path)
        except OSError:
            return
        if size < self.offset:
            self.offset = 0
            self.pending = []
        end = size - size % FRAME_BYTES
        if end <= self.offset:
            return
        with open(self.path, "rb") as f:
            f.seek(self.offset)
            data = f.read(end - self.offset)
        self.offset += len(data) - len(data) % FRAME_BYTES
        floats = array.array("f")
        floats.frombytes(data[: len(data) - len(data) % FRAME_BYTES])
        self.pending.extend((floats[i] + floats[i + 1]) / 2 for i in range(0, len(floats) - 1, 2))
        while len(self.pending) >= self.BLOCK:
            block, self.pending = self.pending[: self.BLOCK], self.pending[self.BLOCK:]
            self.seen.append((now, classify(block, RATE, self.tones)))

    def first(self, freq, timeout):
        """The moment the first block of freq was seen; fails after timeout seconds."""
        checked = 0
        end = time.monotonic() + timeout
        while True:
            self._read()
            for when, tone in self.seen[checked:]:
                if tone == freq:
                    return when
            checked = len(self.seen)
            if time.monotonic() > end:
                raise Failure(f"the {freq} Hz tone was not heard within {timeout} s; heard "
                              f"{_summary(tone for _, tone in self.seen)}")
            time.sleep(0.005)

    def last_before(self, freq, moment):
        """The moment the last block of freq was seen before moment, or None."""
        times = [when for when, tone in self.seen if tone == freq and when < moment]
        return times[-1] if times else None

    def heard(self):
        """Every tone heard so far, in order, repeats squeezed out."""
        return _summary(tone for _, tone in self.seen)


# ----------------------------------------------------------------------------- X display


class Xvfb:
    """A private X server on a display number it picks itself."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             f"{SCREEN_SIZE[0]}x{SCREEN_SIZE[1]}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=_die_with_parent)
        os.close(write_end)
        number = b""
        end = time.monotonic() + 10
        while not number.endswith(b"\n"):
            if time.monotonic() > end or self.proc.poll() is not None:
                os.close(read_end)
                self.stop()
                raise Failure("Xvfb did not start")
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


# ----------------------------------------------------------------------------- the session


class Session:
    """One scenario's world: a temporary folder tree, an X server and at most one veldan."""

    def __init__(self, veldan, x11_close, tracks, tones=TONES):
        self.veldan = veldan
        self.x11_close = x11_close
        self.tracks = tracks
        self.tones = list(tones)
        self.root = tempfile.mkdtemp(prefix="veldan_e2e_")
        self.xvfb = Xvfb()
        self.proc = None
        self.capture = None
        self.log_path = os.path.join(self.root, "veldan.log")
        self.bus = None
        # Without a bus of its own a session's player finds no session bus at all, as on a
        # machine without a desktop; the user's own bus is never reached.
        self.bus_address = "unix:path=" + os.path.join(self.root, "no-bus")

    # -- the folder tree

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def put(self, rel, freq, length="long"):
        """Copies the tone track of freq to the host path root/rel."""
        dest = self.path(rel)
        os.makedirs(os.path.dirname(dest), exist_ok=True)
        shutil.copyfile(os.path.join(self.tracks, track_name(freq, length)), dest)
        return dest

    # -- the player

    def start(self, args=(), drives="", cwd=None, program=None, env_extra=None):
        """Starts veldan (or another copy of it) with SDL writing its sound into a capture file.
        A later start follows only once the player before it has ended. Home, config and cache
        folders are the session's own, so no run reads or writes the user's settings."""
        check(self.proc is None or self.proc.poll() is not None, "one player at a time")
        if self.proc is not None:
            self._log.close()
        capture_file = self.path("sound.raw")
        if os.path.exists(capture_file):
            os.remove(capture_file)
        os.makedirs(self.path("home"), exist_ok=True)
        env = dict(os.environ)
        env.pop("XDG_MUSIC_DIR", None)
        env.update({
            "HOME": self.path("home"),
            "XDG_CONFIG_HOME": self.path("home", ".config"),
            "XDG_CACHE_HOME": self.path("home", ".cache"),
            "DISPLAY": self.xvfb.display,
            "QT_QPA_PLATFORM": "xcb",
            "SDL_AUDIODRIVER": "disk",
            "SDL_DISKAUDIOFILE": capture_file,
            "VELDAN_DRIVES": drives,
            "XDG_RUNTIME_DIR": self.path(),
            "NO_AT_BRIDGE": "1",
            "DBUS_SESSION_BUS_ADDRESS": self.bus_address,
            # Nor a system bus: the machine's own disc service and discs are never reached.
            "DBUS_SYSTEM_BUS_ADDRESS": "unix:path=" + os.path.join(self.root, "no-system-bus"),
        })
        # Real time: a track must end after its length, as heard.
        env.pop("SDL_DISKAUDIODELAY", None)
        env.update(env_extra or {})
        self._env = env
        self.capture = Capture(capture_file)
        self._log = open(self.log_path, "wb")
        self.proc = subprocess.Popen([program or self.veldan, *args], env=env,
                                     cwd=cwd or self.root, stdout=self._log,
                                     stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
        return self

    def second_start(self, args, timeout=20):
        """Runs another veldan beside the running one, in its environment (the same display and
        bus) but with a sound file of its own; its exit code, or None when it is still running
        after timeout seconds (it is then ended)."""
        env = dict(self._env, SDL_DISKAUDIOFILE=self.path("second.raw"))
        with open(self.path("second.log"), "wb") as log:
            proc = subprocess.Popen([self.veldan, *args], env=env, cwd=self.root, stdout=log,
                                    stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
            try:
                return proc.wait(timeout)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
                return None

    def alive(self):
        return self.proc is not None and self.proc.poll() is None

    # -- a private session bus and a remote control on it

    def session_bus(self):
        """Starts a private D-Bus session bus for the player started after this."""
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                    stdout=subprocess.PIPE, preexec_fn=_die_with_parent)
        self.bus_address = self.bus.stdout.readline().decode().strip()
        check(self.bus_address, "dbus-daemon gave no address")

    def playerctl(self, *args, timeout=5):
        """Runs playerctl on the session's bus for the player named veldan; its output."""
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.bus_address)
        done = subprocess.run(["playerctl", "-p", "veldan", *args], env=env, timeout=timeout,
                              capture_output=True)
        return done.stdout.decode("utf-8", "replace").strip()

    def wait_player_status(self, status, timeout=5):
        return wait_until(f"playerctl status {status}",
                          lambda: self.playerctl("status") == status, timeout)

    def _xdotool(self, *args, timeout=5):
        env = dict(os.environ, DISPLAY=self.xvfb.display)
        try:
            r = subprocess.run(["xdotool", *args], env=env, capture_output=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"xdotool {' '.join(args)} did not return") from None
        return r.returncode, r.stdout.decode("utf-8", "replace")

    def windows(self):
        """(id, title) of every visible top-level window of the player."""
        if not self.alive():
            raise Failure(f"veldan is not running (exit code {self.proc.returncode})"
                          f"{self.output_tail()}")
        code, out = self._xdotool("search", "--onlyvisible", "--pid", str(self.proc.pid))
        if code != 0:
            return []
        found = []
        for wid in out.split():
            code, name = self._xdotool("getwindowname", wid)
            if code == 0:
                found.append((wid, name.rstrip("\n")))
        return found

    def window(self, title=None, pattern=None, timeout=10):
        """Waits for a visible window with exactly this title (or matching pattern) and
        returns its id."""

        def probe():
            for wid, name in self.windows():
                if (title is not None and name == title) or (
                        pattern is not None and re.fullmatch(pattern, name)):
                    return wid
            return None

        return wait_until(f"a window titled {title or pattern!r} (have {self._titles()})", probe,
                          timeout, interval=0.1)

    def main_window(self, timeout=15):
        return self.window(pattern=r"VELDAN \[.*\]", timeout=timeout)

    def window_gone(self, wid, timeout=5):
        wait_until(f"window {wid} to close",
                   lambda: all(w != wid for w, _ in self.windows()), timeout)

    def _titles(self):
        try:
            return [name for _, name in self.windows()]
        except Failure:
            return "no player"

    def geometry(self, wid):
        """(left, top, width, height) of window wid on the screen."""
        code, out = self._xdotool("getwindowgeometry", "--shell", wid)
        check(code == 0, f"no geometry for window {wid}")
        v = dict(line.split("=", 1) for line in out.split())
        return int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])

    def title(self, wid):
        code, name = self._xdotool("getwindowname", wid)
        check(code == 0, f"no title for window {wid}")
        return name.rstrip("\n")

    def wait_title(self, wid, expected, timeout=10):
        wait_until(f"the title {expected!r} (is {self.title(wid)!r})",
                   lambda: self.title(wid) == expected, timeout)

    def click(self, wid, rect, double=False):
        """Clicks the middle of a client rectangle of window wid."""
        x, y, w, h = rect
        code, _ = self._xdotool("mousemove", "--window", wid, str(x + w // 2), str(y + h // 2))
        check(code == 0, f"could not move the pointer into window {wid}")
        time.sleep(0.05)
        if double:
            code, _ = self._xdotool("click", "--repeat", "2", "--delay", "80", "1")
        else:
            code, _ = self._xdotool("click", "1")
        check(code == 0, "could not click")
        time.sleep(0.05)

    def key(self, wid, key):
        """Types a key into window wid, which takes the keyboard focus first (there is no window
        manager to give it)."""
        code, _ = self._xdotool("windowfocus", "--sync", wid)
        check(code == 0, f"could not focus window {wid}")
        code, _ = self._xdotool("key", key)
        check(code == 0, f"could not type {key}")

    def press(self, wid, control):
        self.click(wid, MAIN_CONTROLS[control])

    def press_timed(self, wid, control):
        """Presses a control of the main window and returns the moment just before the button
        was let go (a button acts on its release; xdotool's own click waits between press and
        release)."""
        x, y, w, h = MAIN_CONTROLS[control]
        code, _ = self._xdotool("mousemove", "--window", wid, str(x + w // 2), str(y + h // 2))
        check(code == 0, f"could not move the pointer into window {wid}")
        time.sleep(0.05)
        code, _ = self._xdotool("mousedown", "1")
        check(code == 0, "could not press the mouse button")
        clicked = time.monotonic()
        code, _ = self._xdotool("mouseup", "1")
        check(code == 0, "could not let the mouse button go")
        return clicked

    def popup_menu_entry(self, wid, index):
        """Opens the main window's popup menu with a right click and takes its entry at index
        (the separator is not counted: keyboard moves skip it)."""
        code, _ = self._xdotool("mousemove", "--window", wid, "200", "30")
        check(code == 0, f"could not move the pointer into window {wid}")
        time.sleep(0.05)
        self._xdotool("click", "3")
        wait_until("the popup menu", lambda: len(self.windows()) > 1, 5)
        code, _ = self._xdotool("key", *(["Down"] * (index + 1)), "Return")
        check(code == 0, "could not choose from the popup menu")

    def screenshot(self, wid):
        """Width, height and the RGB bytes of what window wid shows."""
        env = dict(os.environ, DISPLAY=self.xvfb.display)
        r = subprocess.run(["import", "-window", wid, "-depth", "8", "ppm:-"], env=env,
                           capture_output=True, timeout=10)
        check(r.returncode == 0, f"no screenshot of window {wid}")
        # P6 header: magic, width, height, maximum value, each followed by white space.
        fields = r.stdout.split(maxsplit=4)
        check(fields[0] == b"P6", "the screenshot is no PPM picture")
        width, height = int(fields[1]), int(fields[2])
        return width, height, fields[4][: width * height * 3]

    # -- listening

    def tone(self):
        """The tone heard now: a frequency, None for silence, or "mixed"."""
        return self.capture.now(self.tones)

    def wait_tone(self, freq, timeout=8):
        """Waits until the tone of freq is heard steadily (two readings in a row)."""
        last = []

        def probe():
            last.append(self.tone())
            return len(last) >= 2 and last[-1] == freq and last[-2] == freq

        try:
            wait_until(f"the {freq} Hz tone", probe, timeout)
        except Failure:
            raise Failure(f"timed out after {timeout} s waiting for the {freq} Hz tone; "
                          f"heard {_summary(last)}; {self.capture.describe()}"
                          f"{self.output_tail()}") from None

    def watch(self, tones=None):
        """A Watch on the capture from now on, telling the given tones (all by default)."""
        return Watch(self.capture.path, tones or self.tones)

    def wait_silence(self, timeout=3):
        last = []

        def probe():
            last.append(self.tone())
            return len(last) >= 3 and last[-3:] == [None, None, None]

        try:
            wait_until("silence", probe, timeout)
        except Failure:
            raise Failure(f"timed out after {timeout} s waiting for silence; heard "
                          f"{_summary(last)}") from None

    def stays_silent(self, seconds):
        """Fails when anything is heard during the next seconds."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            heard = self.tone()
            check(heard is None, f"expected silence, heard {heard}")
            time.sleep(0.05)

    # -- ending

    def close(self, wid, timeout=8):
        """Closes the window like a close box and returns the player's exit code."""
        r = subprocess.run([self.x11_close, wid], env=dict(os.environ, DISPLAY=self.xvfb.display),
                           capture_output=True, timeout=5)
        check(r.returncode == 0, f"x11-close failed: {r.stderr.decode(errors='replace')}")
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"veldan still runs {timeout} s after its window was closed") from None

    def output_tail(self):
        try:
            with open(self.log_path, "rb") as f:
                text = f.read()[-2000:].decode("utf-8", "replace").strip()
        except OSError:
            return ""
        return f"\n--- veldan output ---\n{text}" if text else ""

    def end(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self.proc is not None:
            self._log.close()
        self.xvfb.stop()
        if self.bus is not None:
            self.bus.kill()
            self.bus.wait()
        shutil.rmtree(self.root, ignore_errors=True)


def _summary(readings):
    """Readings squeezed to their changes, as in [400, None, 500]."""
    out = []
    for r in readings:
        if not out or out[-1] != r:
            out.append(r)
    return out


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "tracks":
        make_tracks(sys.argv[2])
    else:
        sys.exit("usage: veldan_e2e.py tracks OUTDIR")
