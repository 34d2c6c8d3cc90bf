#!/usr/bin/env python3
"""End-to-end checks of plenvo-ctl on a line of its own, with no panel
running: the real program against plenvo-sim's pseudo-terminal.

Usage: ctl_direct_test.py BIN_DIR   (the folder holding plenvo-ctl and plenvo-sim)
"""

import json
import os
import signal
import subprocess
import sys

import harness
from harness import expect, wait_for
from panel_driver import WHOLE_FILE_LIMIT_S
# The settings by name, with the letters the unit reports them under.
LETTERS = {"power": "PW", "input": "IN", "output": "OU", "bypass": "BY", "display": "DI", "aspect": "AS",
           "ir": "IR", "lock": "FP", "enhance": "TD", "nr": "NR", "osd": "OS", "blank": "BL", "freeze": "FR",
           "bright": "BR", "contrast": "CO", "color": "SA", "sharp": "SH", "tint": "TI", "volume": "VO"}
WORDS = {"PW": {"on": 1, "off": 0}, "OU": {"vga": 0, "720p": 6, "1080i": 7}, "IN": {"cv": 0, "yuv": 2},
         "FP": {"on": 0, "off": 1}, "AS": {"4:3": 2, "16:9": 0, "std": 1}}


def value_of(letters, word):
    if isinstance(word, int):
        return word
    return WORDS.get(letters, {"on": 1, "off": 0})[word]


def ctl(session, sim, *args, status=0):
    result = session.ctl("--port", sim.link, *args)
    expect(result.returncode == status,
           f"plenvo-ctl {' '.join(args)} ended with {result.returncode}, not {status}: {result.stderr!r}")
    return result


def status_json_is_the_units_state(session, sim):
    for command in ("send BR 12", "send OU 7", "send FP 0", "send AS 2"):
        sim.tell(command)
    unit = sim.state()
    shown = json.loads(ctl(session, sim, "status", "--json").stdout)
    expect(list(shown) == list(LETTERS), f"keys {list(shown)}")
    wrong = {name: (word, unit[LETTERS[name]]) for name, word in shown.items()
             if value_of(LETTERS[name], word) != unit[LETTERS[name]]}
    expect(not wrong, f"(status, unit) differ for {wrong}")
    expect(shown["bright"] == 12 and shown["output"] == "1080i", f"status {shown}")


def set_sends_in_order(session, sim):
    mark = len(sim.log_lines())
    result = ctl(session, sim, "set", "output", "720p", "bright", "40")
    expect(result.stdout == "" and result.stderr == "", f"set said {result.stdout!r} {result.stderr!r}")
    received = [line for line in sim.log_lines()[mark:] if line.startswith("RX")]
    expect(received == ["RX OU 6", "RX BR 40"], f"the unit received {received}")
    unit = sim.state()
    expect(unit["OU"] == 6 and unit["BR"] == 40, f"unit state {unit}")


def a_muted_unit_is_named_on_stderr(session, sim):
    sim.tell("mute on")
    sim.state()
    result = ctl(session, sim, "set", "power", "off", "tint", "3", status=1)
    expect(result.stderr == "plenvo-ctl: the unit did not answer power off; not sent: tint 3\n",
           f"stderr {result.stderr!r}")
    result = ctl(session, sim, "status", status=1)
    expect(result.stderr.startswith("plenvo-ctl: the unit did not answer the state request")
           and result.stdout == "", f"status said {result.stdout!r} {result.stderr!r}")
    sim.tell("mute off")
    sim.state()


def bad_names_list_the_valid_ones(session, sim):
    result = ctl(session, sim, "set", "brite", "40", status=2)
    expect("unknown setting \"brite\" (settings: power, input, output," in result.stderr, result.stderr)
    result = ctl(session, sim, "set", "output", "4k", status=2)
    expect("(values: vga, 480p, svga, xga, sxga, 576p, 720p, 1080i)" in result.stderr, result.stderr)
    result = session.ctl("--port", os.path.join(session.folder, "no-such-device"), "status")
    expect(result.returncode == 1 and "no-such-device" in result.stderr, f"{result.returncode} {result.stderr!r}")


def watch_prints_each_report(session, sim):
    watcher = subprocess.Popen([os.path.join(session.bin_dir, "plenvo-ctl"), "--port", sim.link, "watch"],
                               env=session.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        os.set_blocking(watcher.stdout.fileno(), False)
        seen = []

        def line_seen():
            # The watcher may not have the line open yet: the unit says it again.
            sim.tell("send BR 12")
            try:
                seen.extend(os.read(watcher.stdout.fileno(), 4096).decode().splitlines())
            except BlockingIOError:
                pass
            return "bright 12" in seen
        wait_for(line_seen, 3, "'bright 12' from plenvo-ctl watch", interval=0.2)
        expect(set(seen) == {"bright 12"}, f"watch printed {seen}")
    finally:
        watcher.send_signal(signal.SIGTERM)
        watcher.wait(harness.STOP_TIMEOUT_S)
    expect(not harness.sanitizer_reports(watcher.stderr.read().decode()), "sanitizer report from watch")


def presets_load_only_what_differs(session, sim):
    preset = os.path.join(session.folder, "room.preset")
    ctl(session, sim, "set", "power", "on", "bright", "40", "input", "yuv")
    ctl(session, sim, "save", preset)
    with open(preset) as file:
        text = file.read()
    expect("bright 40\n" in text and "input yuv\n" in text, f"preset {text!r}")
    ctl(session, sim, "set", "bright", "5")
    mark = len(sim.log_lines())
    ctl(session, sim, "load", preset)
    received = [line for line in sim.log_lines()[mark:] if line.startswith("RX")]
    expect(received == ["RX AL 0", "RX BR 40"], f"loading sent {received}")
    with open(preset, "a") as file:
        file.write("brite 3\n")
    result = ctl(session, sim, "load", preset, status=2)
    expect("unknown setting \"brite\"" in result.stderr, result.stderr)


CHECKS = [status_json_is_the_units_state, set_sends_in_order, a_muted_unit_is_named_on_stderr,
          bad_names_list_the_valid_ones, watch_prints_each_report, presets_load_only_what_differs]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    harness.limit_whole_file(WHOLE_FILE_LIMIT_S)
    with harness.Session(sys.argv[1]) as session:
        failures = harness.run_each(CHECKS, session, session.start_sim())
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
