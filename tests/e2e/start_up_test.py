#!/usr/bin/env python3
"""Start-up and shut-down of the real panel under a private X server, on a
simulated unit: the command line answered without a display, the saved
place (and a lost one brought back onto the screen), one copy per program
folder (a second start's options handed to the running copy, or refused
with status 1), the lock of a copy that was killed taken over, and the settings
written back at SIGTERM and SIGHUP (the terminal closed).

Usage: start_up_test.py BIN_DIR   (the folder holding plenvo and plenvo-sim)
"""

import glob
import os
import re
import signal
import socket
import subprocess
import sys
import time

import harness
from harness import CheckFailed, expect, wait_for

WHOLE_RUN_LIMIT_S = 24
SAVED = b"1200\r\n3000\r\n1\r\n"
MAIN_SIZE = (470, 175)
SECOND_COPY_LIMIT_S = 5.0  # an ASan start on a busy machine alone can take a second or two
SCREEN_HEIGHT = int(harness.SCREEN.split("x")[1])


def check_start_up(session, sim, folder):
    # The loader names each library it loads on stderr, among the trace's lines.
    session.env["LD_DEBUG"] = "files"
    panel = session.start_panel(folder, "--com1", sim.link, "--trace")
    del session.env["LD_DEBUG"]
    main = panel.wait_for_window(*MAIN_SIZE)
    place = session.geometry(main)
    # 1200 and 3000 twips at 15 twips per pixel.
    expect((place.x, place.y) == (200, 80), f"main window at {place.x},{place.y}, not 200,80")
    expect(len(panel.windows()) == 1, f"more than the main window shows: {panel.windows()}")

    wait_for(lambda: "RX AL 0" in sim.log_lines(), harness.START_TIMEOUT_S, "state request at the unit")
    wait_for(lambda: panel.traced("rx", "PW 1"), harness.START_TIMEOUT_S, "power report in the trace")
    # The doors, with Qt's network module, wait until the window is painted.
    said = panel.stderr_text()
    network = said.find("file=libQt6Network")
    expect(0 <= said.find(" painted") < network, "Qt's network module was loaded before the window was painted")
    return panel, main


def check_second_copy(session, folder, link):
    before = os.stat(session.settings_path(folder))
    started = time.monotonic()
    second = session.start_panel(folder, "--com1", link, name="second")
    while second.running():
        expect(not second.windows(), "the second copy showed a window")
        expect(time.monotonic() - started < SECOND_COPY_LIMIT_S,
               f"the second copy still runs after {SECOND_COPY_LIMIT_S} s")
        time.sleep(0.02)
    expect(second.wait(0) == 0, f"the second copy ended with status {second.wait(0)}")
    after = os.stat(session.settings_path(folder))
    expect(session.read_settings(folder) == SAVED, "the second copy changed the settings file")
    expect((after.st_ino, after.st_mtime_ns) == (before.st_ino, before.st_mtime_ns),
           "the second copy rewrote the settings file")
    expect(not second.sanitizer_reports(), "\n".join(second.sanitizer_reports()))


def check_second_start_hands_over(session, folder, panel):
    # Taken: the running panel listens there from now on.
    port = harness.free_port()
    second = session.start_panel(folder, "--listen", str(port), name="hand-over")
    expect(second.wait(SECOND_COPY_LIMIT_S) == 0, f"the handover ended with {second.wait(0)}: "
           f"{second.stderr_text()}")
    wait_for(lambda: harness.listening(port), 2, f"the running panel listening on {port}")

    # Refused: an address that is taken is named by both copies.
    taken = harness.free_port()
    with socket.create_server(("127.0.0.1", taken)):
        refused = session.start_panel(folder, "--listen", f"127.0.0.1:{taken}", name="refused")
        status = refused.wait(SECOND_COPY_LIMIT_S)
    expect(status == 1 and f"--listen: cannot listen on 127.0.0.1 port {taken}" in refused.stderr_text(),
           f"a refused handover ended with {status}: {refused.stderr_text()!r}")
    wait_for(lambda: any(line.kind == "msg" and f"port {taken}" in line.text for line in panel.trace()), 2,
             "the refusal in the running panel's message line")
    expect(harness.listening(port), "the refused address took the place of the one taken before")
    expect(session.read_settings(folder) == SAVED, "a handover changed the settings file")


def check_second_start_waits_for_a_copy_still_starting(session, sim):
    # The copy holds its lock before it asks for the unit's state, and opens
    # its socket only once painted: held up there, it still takes the handover.
    folder = session.install_panel(SAVED, "early")
    first = session.start_panel(folder, "--com1", sim.link, "--trace", name="early")
    wait_for(lambda: first.traced("tx", "AL 0"), harness.START_TIMEOUT_S, "the state request")
    first.process.send_signal(signal.SIGSTOP)
    port = harness.free_port()
    second = session.start_panel(folder, "--listen", str(port), name="early-second")
    time.sleep(0.5)
    first.process.send_signal(signal.SIGCONT)
    expect(second.wait(SECOND_COPY_LIMIT_S) == 0, f"the early handover ended with {second.wait(0)}: "
           f"{second.stderr_text()}")
    wait_for(lambda: harness.listening(port), 2, f"the copy that was starting listening on {port}")
    expect(first.terminate() == 0, "the copy that was starting did not end cleanly")


def check_door_that_cannot_open_is_shown(session, sim):
    with socket.create_server(("127.0.0.1", 0)) as taken:
        port = taken.getsockname()[1]
        folder = session.install_panel(SAVED, "door")
        panel = session.start_panel(folder, "--com1", sim.link, "--listen", str(port), "--trace", name="door")
        panel.wait_for_window(*MAIN_SIZE)
        wait_for(lambda: any(line.kind == "msg" and line.text.startswith(f"cannot listen on 127.0.0.1 port {port}")
                             for line in panel.trace()), 3, "the door's failure in the message line")
    expect(panel.terminate() == 0, "the panel without its door did not end cleanly")

    # Without the network module the panel runs on its serial port, and says
    # so once, also past the time by which the doors open unpainted.
    folder = session.install_panel(SAVED, "no-doors")
    with open(os.path.join(folder, "plenvo-network.so"), "w") as module:
        module.write("not a library\n")
    panel = session.start_panel(folder, "--com1", sim.link, "--trace", name="no-doors")
    panel.wait_for_window(*MAIN_SIZE)
    wait_for(lambda: panel.traced("rx", "PW 1"), harness.START_TIMEOUT_S, "the unit's state without the doors")
    time.sleep(2.5)
    told = [line for line in panel.trace() if line.kind == "msg" and "the doors cannot start" in line.text]
    expect(len(told) == 1, f"the missing doors were told {len(told)} times")
    expect(panel.terminate() == 0, "the panel without its doors did not end cleanly")


def settled_place(session, window, moved_from):
    """The window's place once it has left `moved_from` and stopped moving."""
    places = []

    def settled():
        places.append(session.geometry(window)[:2])
        return places[-1] != moved_from and places[-5:] == places[-1:] * 5 and places[-1]
    return wait_for(settled, 3, f"window to come to rest away from {moved_from}", interval=0.05)


def check_sigterm_saves(session, folder, panel, main):
    # Dragged by its background: the panel moves the window itself, so a
    # place the X server reports is one the panel has set. The drag follows
    # the cursor as the panel reads it, so the exact end depends on timing.
    start = session.geometry(main)
    session.drag((start.x + 3, start.y + 170), (start.x + 103, start.y + 240))
    x, y = settled_place(session, main, (start.x, start.y))
    before = os.stat(session.settings_path(folder))
    status = panel.terminate()
    expect(status == 0, f"SIGTERM ended the panel with status {status}")
    saved = session.read_settings(folder)
    expected = b"%d\r\n%d\r\n1\r\n" % (y * 15, x * 15)
    expect(saved == expected, f"the panel saved {saved!r} for a window at {x},{y}")
    expect(os.stat(session.settings_path(folder)).st_ino != before.st_ino,
           "the settings file was written in place, not replaced")
    expect(not panel.sanitizer_reports(), "\n".join(panel.sanitizer_reports()))


def check_command_line_without_display(session):
    env = {key: value for key, value in session.env.items() if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
    for option, printed in (("-h", r"Usage: plenvo .*"), ("--version", r"plenvo \d+\.\d+ \(v 1\.42H\)\n")):
        result = subprocess.run([os.path.join(session.bin_dir, "plenvo"), option], env=env, capture_output=True,
                                text=True, timeout=harness.START_TIMEOUT_S)
        expect(result.returncode == 0 and re.fullmatch(printed, result.stdout, re.DOTALL),
               f"{option} without a display: status {result.returncode}, {result.stdout!r} {result.stderr!r}")


def start_at(session, sim, settings, name):
    folder = session.install_panel(settings, name)
    panel = session.start_panel(folder, "--com1", sim.link, name=name)
    return folder, panel, session.geometry(panel.wait_for_window(*MAIN_SIZE))


def check_lost_places_come_back(session, sim):
    # Saved after the video window was dragged to the top: the main window
    # 175 px above the screen. Then a top 4 px above the bottom edge. A top
    # past the bottom is 0 and a negative left is kept: no rescue there.
    for settings, expected in ((b"-2625\r\n3000\r\n1\r\n", (200, 0)),
                               (b"%d\r\n3000\r\n1\r\n" % ((SCREEN_HEIGHT - 4) * 15),
                                (200, SCREEN_HEIGHT - MAIN_SIZE[1])),
                               (b"99999\r\n-300\r\n1\r\n", (-20, 0))):
        _, panel, place = start_at(session, sim, settings, f"lost-{expected[0]}-{expected[1]}")
        expect((place.x, place.y) == expected, f"saved {settings!r}: the window shows at {place.x},{place.y}")
        expect(panel.terminate() == 0, "the panel did not end cleanly")


def lock_files(session):
    return glob.glob(os.path.join(session.env["XDG_RUNTIME_DIR"], "plenvo-*.lock"))


def check_lock_of_killed_copy_is_taken_over(session, sim):
    folder, crashed, _ = start_at(session, sim, SAVED, "killed")
    crashed.process.send_signal(signal.SIGKILL)
    crashed.wait(harness.STOP_TIMEOUT_S)
    expect(len(lock_files(session)) == 1, f"no lock left behind: {lock_files(session)}")
    panel = session.start_panel(folder, "--com1", sim.link, name="after-kill")
    panel.wait_for_window(*MAIN_SIZE)
    return folder, panel


def check_sighup_shuts_down_in_order(session, folder, panel):
    os.remove(session.settings_path(folder))
    panel.process.send_signal(signal.SIGHUP)
    status = panel.wait(harness.STOP_TIMEOUT_S)
    expect(status == 0, f"SIGHUP ended the panel with status {status}")
    expect(session.read_settings(folder) == SAVED, f"SIGHUP saved {session.read_settings(folder)!r}")
    expect(not lock_files(session), f"the lock stayed: {lock_files(session)}")
    expect(not panel.sanitizer_reports(), "\n".join(panel.sanitizer_reports()))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)

    harness.limit_whole_file(WHOLE_RUN_LIMIT_S)

    try:
        with harness.Session(sys.argv[1]) as session:
            check_command_line_without_display(session)
            session.start_xvfb()
            sim = session.start_sim()
            folder = session.install_panel(SAVED)
            panel, main_window = check_start_up(session, sim, folder)
            check_second_copy(session, folder, sim.link)
            check_second_start_hands_over(session, folder, panel)
            check_sigterm_saves(session, folder, panel, main_window)
            check_lost_places_come_back(session, sim)
            check_door_that_cannot_open_is_shown(session, sim)
            check_second_start_waits_for_a_copy_still_starting(session, sim)
            folder, panel = check_lock_of_killed_copy_is_taken_over(session, sim)
            check_sighup_shuts_down_in_order(session, folder, panel)
    except CheckFailed as failure:
        print(f"FAIL {failure}")
        sys.exit(1)
    print("ok   command line, start-up, lost places, second copy, handover (also to a copy still starting), "
          "killed copy's lock, SIGTERM and SIGHUP")


if __name__ == "__main__":
    main()
