#!/usr/bin/env python3
"""Measures what a stopped VELDAN costs: CPU time and thread wake-ups while it sits stopped.

Starts the real program under a private Xvfb with SDL's disk driver (as the end-to-end scenarios
do) on a folder of one tone track, lets it play for a few seconds, presses Stop, and then reads
/proc/PID/stat (user + system time), each thread's schedstat run time (finer than stat's 10 ms
ticks) and voluntary_ctxt_switches of every thread in /proc/PID/task over the next SECONDS
(default 20), once right after the stop and once more, starting SETTLE seconds later (default 5),
for the state the program settles in.

Usage: measure_idle.py VELDAN TRACKS_DIR [--seconds S] [--settle S]
(TRACKS_DIR: the end-to-end tone tracks, build/e2e_tracks.)
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from veldan_e2e import TONES, Session  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def run_ns(pid):
    """Nanoseconds every live thread has run (schedstat: finer than the 10 ms ticks of stat)."""
    total = 0
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                total += int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return total


def wakeups(pid):
    """Voluntary context switches per thread, by thread id and name."""
    out = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                status = dict(line.split(":", 1) for line in f if ":" in line)
            out[tid] = (status["Name"].strip(), int(status["voluntary_ctxt_switches"]))
        except (OSError, KeyError, ValueError):
            pass
    return out


def measure(pid, seconds, label):
    cpu0, ns0, wake0 = cpu_seconds(pid), run_ns(pid), wakeups(pid)
    # Read every 100 ms, so that a thread that ends meanwhile (the sound device's, when the
    # device closes) is counted up to its end.
    wake1 = dict(wake0)
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        time.sleep(0.1)
        wake1.update(wakeups(pid))
    cpu1, ns1 = cpu_seconds(pid), run_ns(pid)
    total = 0
    per_thread = []
    for tid, (name, count) in sorted(wake1.items()):
        before = wake0.get(tid, (name, 0))[1]
        total += count - before
        per_thread.append(f"{name}[{tid}] {(count - before) / seconds:.1f}/s")
    print(f"{label}: cpu {1000 * (cpu1 - cpu0):.0f} ms in {seconds:.0f} s "
          f"(live threads ran {(ns1 - ns0) / 1e6:.1f} ms), "
          f"{total / seconds:.1f} wake-ups/s ({', '.join(per_thread)})")


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("veldan")
    p.add_argument("tracks")
    p.add_argument("--seconds", type=float, default=20)
    p.add_argument("--settle", type=float, default=5)
    args = p.parse_args(argv)

    s = Session(os.path.abspath(args.veldan), "", os.path.abspath(args.tracks))
    try:
        s.put("t/Album/01.mp3", TONES[0])
        s.start([s.path("t", "Album")], drives=f"T=fixed:{s.path('t')}")
        wid = s.main_window()
        s.wait_tone(TONES[0])
        time.sleep(3)
        s.press(wid, "BitBtn_stop")
        s.wait_silence()
        pid = s.proc.pid
        measure(pid, args.seconds, "stopped, from the stop on")
        time.sleep(args.settle)
        measure(pid, args.seconds, f"stopped, {args.seconds + args.settle:.0f} s later")
    finally:
        s.end()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
