#!/usr/bin/env python3
"""plenvo-ctl through the running panel, which keeps the line: status from
the panel's state, a set sent by the panel and drawn on its windows as a
click draws it, the panel's refusal, watch; the panel's TCP door for
control systems; a second start bringing the minimised panel back.

Usage: ctl_panel_test.py BIN_DIR   (the folder holding plenvo, plenvo-ctl and plenvo-sim)
"""

import itertools
import json
import os
import signal
import socket
import subprocess
import time

import harness
from harness import expect, wait_for
from panel_driver import FRAME_WAIT_S, I1080, MAIN_BUTTONS, P720, SETTLE_S, run_checks


def free_tcp_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


LISTEN_PORT = free_tcp_port()


def ctl(rig, *args, status=0):
    result = rig.session.ctl(*args, folder=rig.folder)
    expect(result.returncode == status,
           f"plenvo-ctl {' '.join(args)} ended with {result.returncode}, not {status}: {result.stderr!r}")
    return result


def element_picture(rig, index, name):
    """The screen's pixels of a main-window element, as raw bytes."""
    left, top, width, height = MAIN_BUTTONS[index]
    g = rig.geometry()
    path = os.path.join(rig.session.folder, name + ".rgb")
    rig.session.screenshot(path, harness.Geometry(g.x + left, g.y + top, width, height))
    with open(path, "rb") as picture:
        return picture.read()


def status_from_the_panel(rig):
    log_mark, trace_mark = rig.marks()
    shown = json.loads(ctl(rig, "status", "--json").stdout)
    unit = rig.sim.state()
    expect((shown["bright"], shown["contrast"], shown["power"]) == (unit["BR"], unit["CO"], "on"),
           f"status {shown}, unit {unit}")
    expect(not rig.traced_frames("tx", trace_mark), "the panel asked the unit for a status it holds")


def set_goes_out_through_the_panel(rig):
    log, trace_mark = rig.act(lambda: ctl(rig, "set", "output", "720p"), "OU 6")
    rig.wait_trace("tx", "OU 6", trace_mark)
    drawn_by_ctl = element_picture(rig, P720, "720p-by-ctl")
    rig.act(lambda: rig.click_main(I1080), "OU 7")
    unlit = element_picture(rig, P720, "720p-unlit")
    rig.act(lambda: rig.click_main(P720), "OU 6")
    drawn_by_click = element_picture(rig, P720, "720p-by-click")
    expect(drawn_by_ctl == drawn_by_click and drawn_by_ctl != unlit,
           "the 720P button after plenvo-ctl's set differs from after a click")


def the_panels_rules_refuse(rig):
    rig.act(lambda: ctl(rig, "set", "power", "off"), "PW 0")
    _, trace_mark = rig.marks()
    result = ctl(rig, "set", "output", "1080i", status=1)
    expect(result.stderr == "plenvo-ctl: the power is off: only power can be set\n", f"stderr {result.stderr!r}")
    expect(not rig.traced_frames("tx", trace_mark), "a refused setting went out")
    rig.act(lambda: ctl(rig, "set", "power", "on"), "PW 1")


def watch_through_the_panel(rig):
    watcher = subprocess.Popen([os.path.join(rig.folder, "plenvo-ctl"), "watch"], env=rig.session.env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        os.set_blocking(watcher.stdout.fileno(), False)
        seen = []

        def read():
            try:
                seen.extend(os.read(watcher.stdout.fileno(), 4096).decode().splitlines())
            except BlockingIOError:
                pass

        # Only changes are told, and the watcher may not be listening yet:
        # the unit goes between two values until one shows.
        values = itertools.cycle((12, 13))

        def line_seen():
            rig.sim.tell(f"send BR {next(values)}")
            read()
            return seen
        wait_for(line_seen, FRAME_WAIT_S, "a bright line from plenvo-ctl watch", interval=0.2)
        time.sleep(SETTLE_S)
        read()
        last = int(seen[-1].split()[1])
        expect(all(line in ("bright 12", "bright 13") for line in seen), f"watch printed {seen}")
        # The same value again is no change; another one is, once.
        mark = len(seen)
        for value in (last, last, 40):
            rig.sim.tell(f"send BR {value}")
        wait_for(lambda: read() or seen[mark:], FRAME_WAIT_S, "bright 40 from plenvo-ctl watch")
        time.sleep(SETTLE_S)
        read()
        expect(seen[mark:] == ["bright 40"], f"after bright {last} twice and 40, watch printed {seen[mark:]}")
    finally:
        watcher.send_signal(signal.SIGTERM)
        watcher.wait(harness.STOP_TIMEOUT_S)


def tcp_for_control_systems(rig):
    with socket.create_connection(("127.0.0.1", LISTEN_PORT), timeout=FRAME_WAIT_S) as client:
        client.sendall(b"ping\r\nset brite 3\n\x00\x01\nset bright 20\nstatus\n")
        answers = b""
        while answers.count(b"\n") < 5:
            chunk = client.recv(4096)
            expect(chunk, f"the panel closed the connection after {answers!r}")
            answers += chunk
    lines = answers.decode().splitlines()
    expect(lines[0] == "ok" and lines[1].startswith("error unknown setting \"brite\"")
           and lines[2] == "error a byte that is not text (0x00)" and lines[3] == "ok"
           and " bright 20 " in lines[4], f"answers {lines}")
    rig.wait_sim("RX BR 20")


def a_second_start_raises_the_minimised_panel(rig):
    rig.session.start_window_manager()
    wait_for(lambda: rig.session.window_state(rig.main) == "Normal", FRAME_WAIT_S, "the panel managed")
    # What the minimise button asks of the window manager (under twm the
    # pointer's first click on a new window does not reach it).
    rig.session.xdotool("windowminimize", rig.main)
    wait_for(lambda: rig.session.window_state(rig.main) == "Iconic", FRAME_WAIT_S, "the panel minimised")
    started = time.monotonic()
    second = rig.session.start_panel(rig.folder, name="second")
    status = second.wait(harness.START_TIMEOUT_S)
    expect(status == 0, f"the second start ended with {status}: {second.stderr_text()[-800:]!r}")
    wait_for(lambda: rig.session.window_state(rig.main) == "Normal", FRAME_WAIT_S, "the panel brought back")
    expect(rig.panel.window_of_size(*rig.geometry()[2:]), "the panel's main window is not viewable")
    expect(not second.sanitizer_reports(), "sanitizer report from the second start")
    print(f"     raised {time.monotonic() - started:.2f} s after the second start", flush=True)


def ends_cleanly(rig):
    time.sleep(SETTLE_S)
    rig.terminate()


if __name__ == "__main__":
    listen = {"ports": lambda sim: ["--com1", sim.link, "--listen", str(LISTEN_PORT)]}
    run_checks(__doc__, [
        (listen, [status_from_the_panel, set_goes_out_through_the_panel, the_panels_rules_refuse,
                  watch_through_the_panel, tcp_for_control_systems, ends_cleanly]),
        ({}, [a_second_start_raises_the_minimised_panel]),
    ])
