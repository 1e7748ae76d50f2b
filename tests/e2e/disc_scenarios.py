"""End-to-end scenarios of discs that the desktop's disc service finds and mounts: the real veldan
with a stand-in of UDisks2 (tests/support/udisks_standin.py) as its system bus's service, on a
private bus that the scenario starts. The stand-in runs under the Python that
VELDAN_STANDIN_PYTHON names (one with the dbus and gi modules).

    disc_scenarios.py [the options of scenarios.py] NAME
"""

import json
import os
import re
import subprocess
import sys
import time

import scenarios
from scenarios import scenario, stop_and_wait_idle, close_ok
from veldan_e2e import (MEDIUM_PROMPT_TITLE, OPTION_CONTROLS, OPTION_TITLE, SKIP, TONES,
                        _die_with_parent, check)

A, B, C, D, E, F, G, H = TONES

HERE = os.path.dirname(os.path.abspath(__file__))
STANDIN = os.path.join(HERE, "..", "support", "udisks_standin.py")
SR0_MOUNT = "Mount /org/freedesktop/UDisks2/block_devices/sr0"
# The Option dialog's title while it waits for its drive's medium.
OPTION_WAITING_TITLE = "メディア認識待機中"
# The Option dialog's drive list, in its client area.
DRIVE_LIST = (16, 32, 153, 18)


class DiscService:
    """A private bus with the stand-in of the disc service on it, ended with the session."""

    def __init__(self, session):
        self.session = session
        self.bus = None
        self.standin = None
        self.address = None

    def start(self, world):
        python = os.environ.get("VELDAN_STANDIN_PYTHON", "")
        if not python:
            raise Skipped("no Python with the dbus and gi modules for the disc service stand-in")
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                    preexec_fn=_die_with_parent)
        self.address = self.bus.stdout.readline().decode().strip()
        check(self.address, "the private bus did not start")
        config = self.session.path("discs.json")
        with open(config, "w", encoding="utf-8") as f:
            json.dump(world, f)
        self.standin = subprocess.Popen([python, STANDIN, self.address, config],
                                        stdout=subprocess.PIPE, preexec_fn=_die_with_parent)
        check(self.standin.stdout.readline().strip() == b"ready", "the stand-in did not start")

    def env(self):
        return {"DBUS_SYSTEM_BUS_ADDRESS": self.address}

    def control(self, method, *args):
        r = subprocess.run(["dbus-send", f"--bus={self.address}", "--print-reply",
                            "--dest=org.freedesktop.UDisks2", "/org/veldan/test/Discs",
                            f"org.veldan.test.Discs.{method}", *[f"string:{a}" for a in args]],
                           capture_output=True, text=True, timeout=10)
        check(r.returncode == 0, f"the stand-in refused {method}: {r.stderr.strip()}")
        return re.findall(r'string "(.*)"', r.stdout)

    def insert(self, drive, disc):
        self.control("Insert", drive, json.dumps(disc))

    def calls(self):
        return self.control("Calls")

    def end(self):
        for p in (self.standin, self.bus):
            if p is not None and p.poll() is None:
                p.kill()
                p.wait()


class Skipped(Exception):
    pass


def disc_scenario(fn):
    """A scenario with a disc service of its own beside the session."""

    def run(s):
        discs = DiscService(s)
        try:
            fn(s, discs)
        finally:
            discs.end()

    run.__name__ = fn.__name__
    run.__doc__ = fn.__doc__
    return scenario()(run)


def start_on_album(s, discs):
    """Plays T:\\Album (A, B), the fixed drive being the only drive besides the service's."""
    s.put("t/Album/01.mp3", A)
    s.put("t/Album/02.mp3", B)
    s.start([s.path("t", "Album")], drives=f"T=fixed:{s.path('t')}", env_extra=discs.env())
    wid = s.main_window()
    s.wait_tone(A)
    stop_and_wait_idle(s, wid)
    return wid


def data_disc(s, folder="disc", **more):
    """A data disc whose files (F, G) are in the session's folder."""
    s.put(f"{folder}/Album/01.mp3", F)
    s.put(f"{folder}/Album/02.mp3", G)
    return dict({"kind": "data", "label": "MP3CD", "folder": s.path(folder)}, **more)


@disc_scenario
def auto_cd_mounts_disc(s, discs):
    """A data disc that nothing has mounted sits in the one optical drive: Auto CD mounts it once,
    titles the window after D: and plays it from its root."""
    discs.start({"drives": [{"name": "sr0", "disc": data_disc(s)}]})
    wid = start_on_album(s, discs)
    s.press(wid, "BitBtn_auto_cd")
    s.wait_title(wid, "VELDAN [D:]")
    s.wait_tone(F)
    check(discs.calls() == [SR0_MOUNT], f"mounts asked for: {discs.calls()}")
    close_ok(s, wid)


@disc_scenario
def auto_cd_audio_cd_waits_for_disc(s, discs):
    """An audio CD in the only drive is no medium: Auto CD asks for a disc as for an empty drive
    and never mounts it; after OK it waits, and a data disc put in then is played."""
    discs.start({"drives": [{"name": "sr0", "disc": {"kind": "audio"}}]})
    wid = start_on_album(s, discs)
    s.press(wid, "BitBtn_auto_cd")
    prompt = s.window(title=MEDIUM_PROMPT_TITLE)
    s.key(prompt, "Return")
    s.window_gone(prompt)
    s.stays_silent(0.5)
    check(s.title(wid) == "VELDAN [T:\\Album]", f"title is {s.title(wid)!r} before the disc")
    check(discs.calls() == [], f"the audio CD was mounted: {discs.calls()}")
    discs.control("Eject", "sr0")
    discs.insert("sr0", data_disc(s))
    s.wait_title(wid, "VELDAN [D:]")
    s.wait_tone(F)
    check(discs.calls() == [SR0_MOUNT], f"mounts asked for: {discs.calls()}")
    close_ok(s, wid)


@disc_scenario
def auto_cd_refused_mount(s, discs):
    """A disc whose mount is refused is no medium: the prompt comes at once, the disc is asked
    for only once, and Cancel plays the folder from before."""
    discs.start({"drives": [{"name": "sr0", "disc": data_disc(s, mount="refuse")}]})
    wid = start_on_album(s, discs)
    s.press(wid, "BitBtn_auto_cd")
    prompt = s.window(title=MEDIUM_PROMPT_TITLE)
    s.key(prompt, "Escape")
    s.window_gone(prompt)
    s.wait_tone(A)
    check(s.title(wid) == "VELDAN [T:\\Album]", f"title is {s.title(wid)!r}")
    check(discs.calls() == [SR0_MOUNT], f"mounts asked for: {discs.calls()}")
    close_ok(s, wid)


@disc_scenario
def startup_mounts_disc_argument(s, discs):
    """Started on D:\\ with an unmounted disc in the drive, the player mounts it and plays it;
    the argument is found there, so no warning says otherwise."""
    discs.start({"drives": [{"name": "sr0", "disc": data_disc(s)}]})
    s.start(["D:\\Album"], drives="", env_extra=discs.env())
    wid = s.main_window()
    s.wait_tone(F)
    check(s.title(wid) == "VELDAN [D:\\Album]", f"title is {s.title(wid)!r}")
    close_ok(s, wid)
    check("no such file" not in s.output_tail(), f"a warning{s.output_tail()}")


@disc_scenario
def option_drive_waits_for_disc(s, discs):
    """In the Option dialog, picking the empty optical drive waits for a disc; the disc that
    arrives then is mounted, and OK and Play play it."""
    if "opt" not in set(filter(None, s.args.have.split(","))):
        raise Skipped("this build has no options dialog")
    discs.start({"drives": [{"name": "sr0"}]})
    wid = start_on_album(s, discs)
    s.press(wid, "BitBtn_options")
    dialog = s.window(title=OPTION_TITLE)
    # The drive list opened (c:, d:, t:), the second entry is d:.
    s.click(dialog, DRIVE_LIST)
    time.sleep(0.5)
    for key in ("Home", "Down", "Return"):
        s._xdotool("key", key)
    s.wait_title(dialog, OPTION_WAITING_TITLE)
    time.sleep(0.5)
    check(s.title(dialog) == OPTION_WAITING_TITLE, "the wait ended without a disc")
    discs.insert("sr0", data_disc(s))
    s.wait_title(dialog, OPTION_TITLE)
    check(discs.calls() == [SR0_MOUNT], f"mounts asked for: {discs.calls()}")
    s.click(dialog, OPTION_CONTROLS["BitBtn1"])
    s.window_gone(dialog)
    s.wait_title(wid, "VELDAN [D:]")
    s.press(wid, "BitBtn_play")
    s.wait_tone(F)
    close_ok(s, wid)


if __name__ == "__main__":
    try:
        sys.exit(scenarios.main(sys.argv[1:]))
    except Skipped as e:
        print(f"SKIP: {e}")
        sys.exit(SKIP)
