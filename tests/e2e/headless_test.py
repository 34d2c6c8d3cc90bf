#!/usr/bin/env python3
"""End-to-end checks of `plenvo --headless` with no X server and no Wayland:
the unit model and its doors against plenvo-sim, driven by plenvo-ctl and by
a control system on TCP; a second start; SIGTERM; a --listen port that is
taken; a start with windows whose module cannot be loaded.

Usage: headless_test.py BIN_DIR   (the folder holding plenvo, plenvo-ctl and plenvo-sim)
"""

import json
import os
import socket
import subprocess
import sys

import harness
from harness import CheckFailed, expect, wait_for
from panel_driver import FRAME_WAIT_S, SETTLE_S, WHOLE_FILE_LIMIT_S

# The window's place is the windowed panel's; port 2 is saved, but its
# device does not exist, so start-up falls back to port 1 and keeps that.
SAVED = b"1200\r\n3000\r\n2\r\n"


class Headless:
    """The program in a folder of its own, started with --headless."""

    def __init__(self, session, sim, name, *options):
        self.session, self.sim = session, sim
        self.folder = session.install_panel(SAVED, name=name)
        self.process = self.start(name, "--com1", sim.link, *options)

    def start(self, name, *options):
        env = {key: value for key, value in self.session.env.items()
               if key not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        return harness.Process([os.path.join(self.folder, "plenvo"), "--headless", *options], self.session.folder,
                               name, env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)

    def said(self):
        return [line for line in self.process.stderr_text().splitlines() if line.startswith("plenvo: ")]

    def ctl(self, *args, status=0):
        result = self.session.ctl(*args, folder=self.folder)
        expect(result.returncode == status,
               f"plenvo-ctl {' '.join(args)} ended with {result.returncode}, not {status}: {result.stderr!r}")
        return result


def starts_without_a_display_and_falls_back_to_port_1(unit):
    wait_for(lambda: "plenvo: COM1: opened" in unit.said() or not unit.process.running(), harness.START_TIMEOUT_S,
             "COM1 opened")
    said = unit.said()
    expect(len(said) == 2 and said[0].startswith("plenvo: COM2: can't work: ") and "no-such-device" in said[0],
           f"stderr {said}")
    with open(f"/proc/{unit.process.pid}/maps") as maps:
        mapped = {line.split()[-1] for line in maps if "/" in line}
    plugins = [path for path in mapped if "/platforms/" in path]
    expect(not plugins, f"a window system's plugin was loaded: {plugins}")
    gui = [path for path in mapped if "libQt6Widgets" in path or "libQt6Gui" in path or "plenvo-windows" in path]
    expect(not gui, f"Qt's GUI or the windows were loaded: {gui}")
    doors = [path for path in mapped if any(name in path for name in
                                            ("libmosquitto", "plenvo-broker", "libQt6HttpServer", "plenvo-web"))]
    expect(not doors, f"the broker door or the page's was loaded unasked: {doors}")


def status_and_set_through_the_socket(unit):
    unit.sim.tell("send BR 12")
    state = unit.sim.state()
    # The report reaches the program a poll after the unit sends it.
    try:
        shown = wait_for(lambda: (s := json.loads(unit.ctl("status", "--json").stdout))["bright"] == 12 and s,
                         FRAME_WAIT_S, "bright 12 in the status")
    except CheckFailed as failure:
        raise CheckFailed(f"{failure}: the unit holds {state}") from None
    expect(shown["power"] == "on" and state["BR"] == 12, f"status {shown}, unit {state}")

    mark = len(unit.sim.log_lines())
    result = unit.ctl("set", "output", "720p", "bright", "40")
    received = [line for line in unit.sim.log_lines()[mark:] if line.startswith("RX")]
    expect(result.stderr == "" and received == ["RX OU 6", "RX BR 40"],
           f"set said {result.stderr!r}, the unit received {received}")
    state = unit.sim.state()
    expect((state["OU"], state["BR"]) == (6, 40), f"unit state {state}")

    unit.sim.tell("mute on")
    unit.sim.state()
    unit.ctl("set", "output", "vga", "tint", "3", status=1)
    unit.sim.tell("mute off")
    unit.sim.state()
    expect("plenvo: the unit did not answer output vga; not sent: tint 3" in unit.said(),
           f"no line for the failed set in {unit.said()}")


def watch_on_tcp_sees_the_front_panel(unit):
    with socket.create_connection(("127.0.0.1", unit.listen_port), timeout=FRAME_WAIT_S) as client:
        client.sendall(b"watch\nping\n")
        received = b""
        while received.count(b"\n") < 2:
            received += client.recv(4096)
        for change in ("send CO 7", "send CO 7", "send SA 9"):
            unit.sim.tell(change)
        client.settimeout(SETTLE_S * 3)
        try:
            while chunk := client.recv(4096):
                received += chunk
        except socket.timeout:
            pass
    expect(received.decode().splitlines() == ["ok", "ok", "contrast 7", "color 9"], f"watch got {received!r}")


def a_second_start_ends_at_once(unit):
    second = unit.start("second")
    expect(second.wait(harness.START_TIMEOUT_S) == 0, f"the second start ended with {second.process.returncode}")
    expect("another copy runs" in second.stderr_text() and not second.sanitizer_reports(),
           f"the second start said {second.stderr_text()!r}")
    unit.ctl("status")

    # Its options go to the running copy: a device that is kept, a listen
    # address that is served from then on (the earlier one given up).
    port = harness.free_port()
    kept = f"socket://127.0.0.1:{harness.free_port()}"
    handed = unit.start("handed", "--com2", kept, "--listen", str(port))
    expect(handed.wait(harness.START_TIMEOUT_S) == 0, f"the handover said {handed.stderr_text()!r}")
    expect(harness.listening(port) and not harness.listening(unit.listen_port), "not listening at the new port")
    with open(os.path.join(unit.folder, "plenvo-devices.ini")) as devices:
        expect(f"com2={kept}" in devices.read(), "the handed device was not kept")
    unit.listen_port = port


def sigterm_ends_it_in_order(unit):
    runtime = unit.session.env["XDG_RUNTIME_DIR"]
    expect(os.listdir(runtime), "no lock or socket while it runs")
    expect(unit.process.terminate() == 0, f"SIGTERM ended it with {unit.process.process.returncode}")
    expect(not os.listdir(runtime), f"left behind: {os.listdir(runtime)}")
    saved = unit.session.read_settings(unit.folder)
    expect(saved == b"1200\r\n3000\r\n1\r\n", f"settings file {saved!r}")
    expect(not harness.listening(unit.listen_port), "still listening")
    expect(not unit.process.sanitizer_reports(), "sanitizer report")


def a_taken_listen_port_ends_with_status_2(serving):
    session, sim = serving.session, serving.sim
    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen()
        port = taken.getsockname()[1]
        mark = len(sim.log_lines())
        unit = Headless(session, sim, "taken", "--listen", str(port))
        status = unit.process.wait(harness.START_TIMEOUT_S)
    said = unit.process.stderr_text()
    expect(status == 2 and said.startswith(f"plenvo: cannot listen on 127.0.0.1 port {port}: ")
           and said.count("\n") == 1, f"ended with {status}, saying {said!r}")
    expect(sim.log_lines()[mark:] == [] and session.read_settings(unit.folder) == SAVED,
           "the unit was sent frames or the settings file changed")


def a_start_whose_module_does_not_load_ends_with_status_2(serving):
    """A module beside the program is taken before the build's own; one that
    is no library ends the start: the windows' before anything else, the
    doors', the broker door's and the page's before the port is opened."""
    session = serving.session
    env = {key: value for key, value in session.env.items() if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
    for name, options, first_words in (
            ("plenvo-windows.so", [], "plenvo: the windows cannot start: "),
            ("plenvo-network.so", ["--headless"], "plenvo: the doors cannot start: "),
            ("plenvo-broker.so", ["--headless", "--mqtt", "mqtt://127.0.0.1:1"], "plenvo: the broker door cannot start: "),
            ("plenvo-web.so", ["--headless", "--web", "127.0.0.1:1"], "plenvo: the web page cannot start: ")):
        folder = session.install_panel(SAVED, name=f"broken-{name}")
        module = os.path.join(folder, name)
        with open(module, "w") as file:
            file.write("not a library\n" * 100)
        mark = len(serving.sim.log_lines())
        start = harness.Process([os.path.join(folder, "plenvo"), "--com1", serving.sim.link, *options], session.folder,
                                f"broken-{name}", env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        status = start.wait(harness.START_TIMEOUT_S)
        said = start.stderr_text()
        expect(status == 2 and said.startswith(first_words) and said.count("\n") == 1
               and module in said and "invalid ELF header" in said, f"{name}: ended with {status}, saying {said!r}")
        expect(session.read_settings(folder) == SAVED and serving.sim.log_lines()[mark:] == [],
               f"{name}: the start changed the settings or sent frames")
        if not options:
            expect(not os.path.exists(os.path.join(folder, "plenvo-devices.ini")), "the windowed start kept the devices")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)

    harness.limit_whole_file(WHOLE_FILE_LIMIT_S)
    with harness.Session(sys.argv[1]) as session:
        sim = session.start_sim()
        listen_port = harness.free_port()
        unit = Headless(session, sim, "headless", "--com2", os.path.join(session.folder, "no-such-device"),
                        "--listen", str(listen_port))
        unit.listen_port = listen_port
        failures = harness.run_each(
            (starts_without_a_display_and_falls_back_to_port_1, status_and_set_through_the_socket,
             watch_on_tcp_sees_the_front_panel, a_second_start_ends_at_once, sigterm_ends_it_in_order,
             a_taken_listen_port_ends_with_status_2,
             a_start_whose_module_does_not_load_ends_with_status_2), unit, after_failure=unit.process.stop)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
