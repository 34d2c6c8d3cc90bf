#!/usr/bin/env python3
"""End-to-end checks of plenvo-sim, driven the way the panel and an operator
drive it: frames on the device it serves, commands on its standard input.

Usage: sim_tool_test.py BIN_DIR   (the folder holding plenvo-sim)
Exits non-zero when a check fails. Every wait is bounded.
"""

import fcntl
import os
import signal
import subprocess
import sys
import tempfile
import termios
import time
import tty

import harness

WHOLE_RUN_LIMIT_S = 14
REPLY_WAIT_S = 1.0
SILENCE_WAIT_S = 0.3
STALE_PARTIAL_FRAME_S = 0.8   # well past the half second the unit keeps a partial frame
TIOCGEXCL = 0x80045440        # not in the termios module

STATE_ORDER = "PW IN OU BY DI AS IR FP TD NR OS BL FR BR CO SA SH TI VO".split()


class CheckFailed(Exception):
    pass


class OutOfTime(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise CheckFailed(message)


def frame(letters, value):
    return letters.encode() + bytes([value])


def frames_of(data):
    return [(data[i:i + 2].decode("latin-1"), data[i + 2]) for i in range(0, len(data) - 2, 3)]


def read_bytes(fd, count, within):
    """Up to `count` bytes from a non-blocking descriptor within `within` s."""
    data = b""
    deadline = time.monotonic() + within
    while len(data) < count and time.monotonic() < deadline:
        try:
            data += os.read(fd, count - len(data))
        except BlockingIOError:
            time.sleep(0.01)
    return data


class Port:
    """The panel's end: the device opened raw at 9600 baud."""

    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.fd)
        attributes = termios.tcgetattr(self.fd)
        attributes[4] = attributes[5] = termios.B9600
        termios.tcsetattr(self.fd, termios.TCSANOW, attributes)

    def send(self, *frames):
        os.write(self.fd, b"".join(frames))

    def receive(self, count, within=REPLY_WAIT_S):
        """Up to `count` frames, whatever has come when `within` runs out."""
        return frames_of(read_bytes(self.fd, 3 * count, within))

    def expect_silence(self):
        got = self.receive(1, within=SILENCE_WAIT_S)
        expect(got == [], f"expected no answer, got {got}")

    def close(self):
        os.close(self.fd)


class Sim:
    """A running plenvo-sim with --log and --link in a scratch folder."""

    def __init__(self, bin_dir, folder, *options, serve_link=True):
        self.folder = folder
        self.link = os.path.join(folder, "unit")
        self.log = os.path.join(folder, "frames.log")
        self.errors = open(os.path.join(folder, "stderr.txt"), "w+b")
        command = [os.path.join(bin_dir, "plenvo-sim"), "--log", self.log, *options]
        if serve_link:
            command += ["--link", self.link]
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=self.errors)
        os.set_blocking(self.process.stdout.fileno(), False)
        self.pending = b""
        first = self.read_line()
        expect(first.startswith("plenvo-sim: unit on /"), f"unexpected first line {first!r}")
        self.device = first.split(" on ", 1)[1]

    def tell(self, line):
        self.process.stdin.write(line.encode() + b"\n")
        self.process.stdin.flush()

    def read_line(self, within=REPLY_WAIT_S):
        deadline = time.monotonic() + within
        while b"\n" not in self.pending:
            expect(time.monotonic() < deadline, "no line on standard output in time")
            chunk = self.process.stdout.read()
            if chunk:
                self.pending += chunk
            else:
                time.sleep(0.01)
        line, self.pending = self.pending.split(b"\n", 1)
        return line.decode()

    def state(self):
        self.tell("state")
        words = self.read_line().split()
        expect(words[0] == "state", f"not a state line: {words}")
        return dict(zip(words[1::2], map(int, words[2::2])))

    def log_lines(self):
        with open(self.log) as log:
            return [line.split(" ", 1)[1].rstrip("\n") for line in log]

    def error_text(self):
        self.errors.seek(0)
        return self.errors.read().decode()

    def wait_for_exit(self):
        try:
            return self.process.wait(timeout=2)
        except subprocess.TimeoutExpired:
            raise CheckFailed("plenvo-sim did not end in time")

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.errors.close()


def check_answers_and_front_panel(sim):
    port = Port(sim.link)
    expect(os.path.realpath(sim.link) == sim.device, "the link does not lead to the device")

    port.send(frame("IN", 2))
    expect(port.receive(1) == [("IN", 2)], "IN 2 not echoed")

    port.send(frame("AL", 0))
    reports = port.receive(len(STATE_ORDER))
    expect([letters for letters, _ in reports] == STATE_ORDER, f"AL answered {reports}")
    expect(reports[0] == ("PW", 1) and reports[1] == ("IN", 2), f"AL values {reports[:2]}")

    expect(sim.state()["IN"] == 2, "state does not show IN 2")
    sim.tell("send OU 3")
    expect(port.receive(1) == [("OU", 3)], "send OU 3 did not reach the port")
    expect(sim.state()["OU"] == 3, "send OU 3 not kept in the unit's state")

    port.send(frame("XY", 1))
    port.expect_silence()

    sim.tell("frob 1")
    expect(sim.state()["PW"] == 1, "an unknown command stopped the front panel")
    expect("?frob 1" in sim.error_text(), "no complaint about an unknown command")

    log = sim.log_lines()
    for entry in ["RX IN 2", "TX IN 2", "RX AL 0", "TX VO 31", "TX OU 3", "RX XY 1"]:
        expect(entry in log, f"log lacks {entry!r}: {log}")
    port.close()


def check_stray_byte_costs_one_frame(sim):
    port = Port(sim.link)
    port.send(b"X")
    time.sleep(STALE_PARTIAL_FRAME_S)
    port.send(frame("IN", 1))
    expect(port.receive(1) == [("IN", 1)], "a stray byte shifted the next frame")

    sim.tell("byte 7")
    expect(read_bytes(port.fd, 2, SILENCE_WAIT_S) == b"\x07", "byte 7 did not put one byte on the line")
    expect("TX byte 7" in sim.log_lines(), "the stray byte is not logged")
    port.close()


def check_panel_may_come_and_go(sim):
    first = Port(sim.link)
    # Taking the port for exclusive use and going away without giving it up
    # is what a panel that crashes does.
    fcntl.ioctl(first.fd, termios.TIOCEXCL)
    first.close()

    second = open_when_free(sim.link)
    second.send(frame("OU", 5))
    expect(second.receive(1) == [("OU", 5)], "no answer after the panel reopened the port")
    second.close()


def open_when_free(path):
    """The port, once nobody holds it for exclusive use any more."""
    deadline = time.monotonic() + REPLY_WAIT_S
    while True:
        try:
            port = Port(path)
            if fcntl.ioctl(port.fd, TIOCGEXCL, bytes(4)) == bytes(4):
                return port
            port.close()
        except OSError:  # busy, for anyone but root
            pass
        expect(time.monotonic() < deadline, "the device stays in exclusive use after a crash")
        time.sleep(0.01)


def check_flood_tells_the_panel_the_state(sim):
    port = Port(sim.link)
    sim.tell("flood 0.5")
    expect(sim.read_line(within=2) == "flood done 160", "flood did not report 160 frames")
    reports = port.receive(160)
    expect(len(reports) == 160, f"the port got {len(reports)} flood frames")
    expect(all(value == 1 for letters, value in reports if letters == "PW"),
           "a flood switched the unit off")
    last = dict(reports)
    state = sim.state()
    expect(all(state[letters] == value for letters, value in last.items()),
           "the unit's state differs from what the flood told the panel")
    port.close()


def check_sigterm_removes_link(sim):
    sim.process.send_signal(signal.SIGTERM)
    expect(sim.wait_for_exit() == 0, "SIGTERM did not end the sim cleanly")
    expect(not os.path.lexists(sim.link), "the link outlived the sim")


def check_mute(sim):
    port = Port(sim.link)
    port.send(frame("IN", 2))
    port.expect_silence()
    sim.tell("mute off")
    sim.state()  # so "mute off" has been read before the next command comes
    port.send(frame("IN", 3))
    expect(port.receive(1) == [("IN", 3)], "mute off did not bring the answers back")
    port.close()
    sim.process.stdin.close()
    expect(sim.wait_for_exit() == 0, "end of input did not end the sim cleanly")


def check_drop_every_second(sim):
    port = Port(sim.link)
    port.send(*(frame("IN", value) for value in range(4)))
    got = port.receive(2)
    expect(got == [("IN", 0), ("IN", 2)], f"--drop 2 let through {got}")
    port.expect_silence()
    port.close()
    sim.tell("quit")
    expect(sim.wait_for_exit() == 0, "quit did not end the sim cleanly")


def check_delay_keeps_order(sim):
    port = Port(sim.link)
    sent = time.monotonic()
    port.send(frame("IN", 1), frame("OU", 5))
    early = port.receive(1, within=0.2)
    expect(early == [], f"answered before the delay: {early}")
    got = early + port.receive(2)
    expect(got == [("IN", 1), ("OU", 5)], f"delayed answers were {got}")
    expect(time.monotonic() - sent >= 0.29, "answers came before 300 ms")
    port.close()


def check_serial_port(bin_dir):
    """--device: a pseudo-terminal made here stands in for a real port."""
    master, device_end = os.openpty()
    tty.setraw(master)
    os.set_blocking(master, False)
    with tempfile.TemporaryDirectory() as folder:
        sim = Sim(bin_dir, folder, "--device", os.ttyname(device_end), serve_link=False)
        try:
            expect(sim.device == os.ttyname(device_end), "the sim names another device")
            os.write(master, frame("TI", 40))
            data = read_bytes(master, 3, REPLY_WAIT_S)
            expect(frames_of(data) == [("TI", 40)], f"the serial port answered {data!r}")
        finally:
            sim.kill()
            os.close(master)
            os.close(device_end)


def run_on_sim(bin_dir, options, checks):
    with tempfile.TemporaryDirectory() as folder:
        sim = Sim(bin_dir, folder, *options)
        try:
            for check in checks:
                check(sim)
        finally:
            sim.kill()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    bin_dir = sys.argv[1]

    harness.limit_whole_file(WHOLE_RUN_LIMIT_S, OutOfTime)

    runs = [
        ("answers and front panel", lambda: run_on_sim(bin_dir, [], [
            check_answers_and_front_panel, check_stray_byte_costs_one_frame,
            check_panel_may_come_and_go, check_flood_tells_the_panel_the_state,
            check_sigterm_removes_link])),
        ("--mute", lambda: run_on_sim(bin_dir, ["--mute"], [check_mute])),
        ("--drop 2", lambda: run_on_sim(bin_dir, ["--drop", "2"], [check_drop_every_second])),
        ("--delay 300", lambda: run_on_sim(bin_dir, ["--delay", "300"], [check_delay_keeps_order])),
        ("--device", lambda: check_serial_port(bin_dir)),
    ]
    failures = 0
    for name, run in runs:
        try:
            run()
            print(f"ok   {name}")
        except CheckFailed as failure:
            failures += 1
            print(f"FAIL {name}: {failure}")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
