"""Helpers for end-to-end tests of the panel: a private X server, a simulated
unit, copies of the panel in scratch folders, its windows as xdotool sees
them, and bounded waits.

    with harness.Session(bin_dir) as session:
        session.start_xvfb()
        sim = session.start_sim()
        folder = session.install_panel(b"1200\\r\\n3000\\r\\n1\\r\\n")
        panel = session.start_panel(folder, "--com1", sim.link, "--trace")
        main = harness.wait_for(lambda: panel.window_of_size(470, 175), 10, "the main window")

Everything a session starts is ended when it closes, also when a check
failed or the test itself is killed (its children get SIGTERM then). With
PLENVO_E2E_KEEP=1 the scratch folder, with every program's stderr, is kept.
"""

import contextlib
import ctypes
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import tempfile
import time
from collections import namedtuple

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LSAN_SUPPRESSIONS = os.path.join(REPO, "tests", "lsan.supp")
SCREEN = "1280x1024x24"
AT_SPI_BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
START_TIMEOUT_S = 10
STOP_TIMEOUT_S = 5

SANITIZER_REPORT = re.compile(r"ERROR: (Address|Leak|Undefined)Sanitizer|runtime error:|SUMMARY: \w+Sanitizer")
TRACE_LINE = re.compile(r"^(\d+) (msg|tx|rx) ?(.*)$")

Geometry = namedtuple("Geometry", "x y width height")
TraceLine = namedtuple("TraceLine", "ms kind text")


class CheckFailed(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise CheckFailed(message)


def wait_for(condition, timeout, what, interval=0.02):
    """The first true value of `condition()` within `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise CheckFailed(f"no {what} within {timeout} s")
        time.sleep(interval)


def limit_whole_file(seconds, failure=None):
    """Ends the file's checks by raising `failure` (an exception class,
    CheckFailed unless given) once they have taken `seconds`: a bound
    against a hang."""
    def out_of_time(*_):
        raise (failure or CheckFailed)(f"the checks took longer than {seconds} s")
    signal.signal(signal.SIGALRM, out_of_time)
    signal.alarm(seconds)


def run_each(checks, *args, after_failure=lambda: None):
    """Runs every check on `args`, printing ok or FAIL with its name; the
    number that failed."""
    failures = 0
    for check in checks:
        try:
            check(*args)
            print(f"ok   {check.__name__}", flush=True)
        except CheckFailed as failure:
            failures += 1
            print(f"FAIL {check.__name__}: {failure}", flush=True)
            after_failure()
    return failures


def sanitizer_reports(text):
    return [line for line in text.splitlines() if SANITIZER_REPORT.search(line)]


def _die_with_parent():
    """Run in the child before exec: SIGTERM when the test process dies."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class Process:
    """A started program whose standard error is kept in a file."""

    def __init__(self, command, folder, name, env, **popen):
        self.name = name
        self.stderr_path = os.path.join(folder, name + ".stderr")
        with open(self.stderr_path, "wb") as errors:
            self.process = subprocess.Popen(command, stderr=errors, env=env, preexec_fn=_die_with_parent,
                                            **popen)
        self.pid = self.process.pid

    def running(self):
        return self.process.poll() is None

    def wait(self, timeout):
        """The exit status; fails the check when it takes longer."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise CheckFailed(f"{self.name} did not end within {timeout} s")

    def terminate(self, timeout=STOP_TIMEOUT_S):
        """SIGTERM, then the exit status."""
        self.process.send_signal(signal.SIGTERM)
        return self.wait(timeout)

    def stderr_text(self):
        with open(self.stderr_path, "rb") as errors:
            return errors.read().decode(errors="replace")

    def sanitizer_reports(self):
        return sanitizer_reports(self.stderr_text())

    def stop(self):
        """Ends the program however it is, for clean-up."""
        if self.running():
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=STOP_TIMEOUT_S)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class Sim(Process):
    """plenvo-sim on a pseudo-terminal reached through `link` (with --tcp,
    `link` is the socket:// device it serves); its standard input is a pipe
    held here, so it runs until `quit()` or the session ends."""

    def __init__(self, command, folder, env):
        self.link = os.path.join(folder, "unit")
        self.log = os.path.join(folder, "frames.log")
        on_network = "--tcp" in command
        super().__init__(command + ([] if on_network else ["--link", self.link]) + ["--log", self.log],
                         folder, "plenvo-sim", env, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self._pending = b""
        first = self.read_line(START_TIMEOUT_S)
        expect(first.startswith("plenvo-sim: unit on "), f"plenvo-sim began with {first!r}")
        self.device = first.split(" on ", 1)[1]
        if on_network:
            self.link = self.device

    def tell(self, line):
        """One front-panel command, e.g. "send PW 0"."""
        self.process.stdin.write(line.encode() + b"\n")
        self.process.stdin.flush()

    def read_line(self, timeout=2):
        stdout = self.process.stdout.fileno()
        deadline = time.monotonic() + timeout
        while b"\n" not in self._pending:
            left = deadline - time.monotonic()
            expect(left > 0 and select.select([stdout], [], [], left)[0], "no line from plenvo-sim in time")
            chunk = os.read(stdout, 4096)
            expect(chunk, "plenvo-sim closed its output")
            self._pending += chunk
        line, self._pending = self._pending.split(b"\n", 1)
        return line.decode()

    def state(self):
        """The unit's settings by their two letters."""
        self.tell("state")
        words = self.read_line().split()
        expect(words[:1] == ["state"], f"not a state line: {words}")
        return dict(zip(words[1::2], map(int, words[2::2])))

    def log_lines(self):
        """Frames on the line so far, as "RX AL 0" (from the panel) or "TX PW 1"."""
        if not os.path.exists(self.log):
            return []
        with open(self.log) as log:
            return [line.split(" ", 1)[1].rstrip("\n") for line in log if " " in line]

    def quit(self):
        self.process.stdin.close()
        return self.wait(STOP_TIMEOUT_S)

    def stop(self):
        if self.process.stdin and not self.process.stdin.closed:
            self.process.stdin.close()
        super().stop()


def free_port():
    """A TCP port on 127.0.0.1 that nothing listens on just now."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def listening(port):
    """Whether something listens on TCP port `port` of 127.0.0.1, found
    without connecting to it."""
    wanted = f"0100007F:{port:04X}"
    with open("/proc/net/tcp") as table:
        return any(fields[1] == wanted and fields[3] == "0A"
                   for fields in (line.split() for line in list(table)[1:]))


class Ser2net(Process):
    """ser2net in the foreground serving `device` on a free port of
    127.0.0.1, as raw TCP or as Telnet with RFC 2217 (`telnet`). `url` is the
    panel's device string for it; `restart()` drops every connection and
    serves again on the same port."""

    def __init__(self, device, telnet, folder, env):
        self.port = free_port()
        self.url = f"{'rfc2217' if telnet else 'socket'}://127.0.0.1:{self.port}"
        self.config = os.path.join(folder, f"ser2net-{self.port}.yaml")
        accepter = f"{'telnet(rfc2217),' if telnet else ''}tcp,127.0.0.1,{self.port}"
        with open(self.config, "w") as config:
            config.write("%YAML 1.1\n---\n"
                         "connection: &unit\n"
                         f"    accepter: {accepter}\n"
                         f"    connector: serialdev,{device},9600n81,local\n"
                         "    options:\n"
                         "      kickolduser: true\n"
                         "      mdns: false\n")
        self._folder, self._env = folder, env
        self._starts = 0
        self.start()

    def start(self):
        self._starts += 1
        # -n: in the foreground; -d: its log on standard output, kept with
        # its errors; -u: no lock files in the system's lock folder.
        # (It lives in /usr/sbin, which a user's PATH may leave out.)
        program = shutil.which("ser2net") or "/usr/sbin/ser2net"
        command = ["sh", "-c", 'exec "$@" 1>&2', "ser2net", program, "-n", "-d", "-u", "-c", self.config]
        super().__init__(command, self._folder, f"ser2net-{self.port}-{self._starts}", self._env,
                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        wait_for(lambda: listening(self.port) or not self.running(), START_TIMEOUT_S, "ser2net listening")
        expect(self.running(), f"ser2net ended: {self.stderr_text()[-800:]}")

    def restart(self):
        self.terminate()
        self.start()


class Panel(Process):
    """A running copy of the panel."""

    def __init__(self, session, command, folder, name, env):
        self.session = session
        super().__init__(command, folder, name, env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)

    def windows(self):
        """The panel's visible windows: window id to geometry."""
        return {window: self.session.geometry(window)
                for window in self.session.xdotool("search", "--onlyvisible", "--pid", str(self.pid)).split()}

    def wait_for_window(self, width, height, timeout=START_TIMEOUT_S):
        """The id of the visible window of that size, once it shows; a
        failure tells how the panel is doing and what it said."""
        try:
            return wait_for(lambda: self.window_of_size(width, height), timeout, f"{width}x{height} window")
        except CheckFailed as failure:
            how = "still runs" if self.running() else f"ended with status {self.process.returncode}"
            raise CheckFailed(f"{failure}: {self.name} {how}, its stderr ends {self.stderr_text()[-800:]!r}")

    def window_of_size(self, width, height):
        """The id of a visible window of that size, or None."""
        return next((window for window, g in self.windows().items() if (g.width, g.height) == (width, height)),
                    None)

    def trace(self):
        """The --trace lines written so far."""
        lines = []
        for line in self.stderr_text().splitlines():
            match = TRACE_LINE.match(line)
            if match:
                lines.append(TraceLine(int(match.group(1)), match.group(2), match.group(3)))
        return lines

    def traced(self, kind, text):
        return any(line.kind == kind and line.text == text for line in self.trace())


class Session(contextlib.AbstractContextManager):
    def __init__(self, bin_dir):
        self.bin_dir = os.path.abspath(bin_dir)
        self.folder = tempfile.mkdtemp(prefix="plenvo-e2e-")
        self._processes = []
        self.display = None
        self.env = dict(os.environ)
        for name in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DISPLAY"):
            self.env.pop(name, None)
        # Locks and other scratch files of the programs stay in the session.
        self.env["TMPDIR"] = self._subfolder("tmp")
        self.env["XDG_RUNTIME_DIR"] = self._subfolder("runtime")
        os.chmod(self.env["XDG_RUNTIME_DIR"], 0o700)
        self.env.setdefault("LSAN_OPTIONS", f"suppressions={LSAN_SUPPRESSIONS}:print_suppressions=0")

    def __exit__(self, *exc):
        for process in reversed(self._processes):
            process.stop()
        if os.environ.get("PLENVO_E2E_KEEP"):
            print(f"kept {self.folder}")
        else:
            shutil.rmtree(self.folder, ignore_errors=True)
        return False

    def _subfolder(self, name):
        path = os.path.join(self.folder, name)
        os.makedirs(path, exist_ok=True)
        return path

    def _track(self, process):
        self._processes.append(process)
        return process

    def _start_announcing(self, name, command):
        """Starts a server that writes where it can be reached, one line, to
        a pipe whose descriptor number is appended to the last argument of
        `command`; returns the line."""
        read_end, write_end = os.pipe()
        command = [*command[:-1], command[-1] + str(write_end)]
        server = self._track(Process(command, self.folder, name, self.env, pass_fds=(write_end,),
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL))
        os.close(write_end)
        line = b""
        with open(read_end, "rb", buffering=0) as answer:
            while not line.endswith(b"\n"):
                ready = select.select([answer], [], [], START_TIMEOUT_S)[0]
                expect(ready and server.running(), f"{name} did not start: {server.stderr_text()}")
                chunk = answer.read(256)
                expect(chunk, f"{name} did not say where it is: {server.stderr_text()}")
                line += chunk
        return line.decode().strip()

    def start_xvfb(self):
        """A private X server on a free display; returns its name, e.g. ":5"."""
        # Without -noreset the server resets whenever its last client leaves,
        # and a panel connecting just then is turned away.
        number = self._start_announcing("Xvfb", ["Xvfb", "-screen", "0", SCREEN, "-nolisten", "tcp", "-noreset",
                                                 "-displayfd", ""])
        self.display = ":" + number
        self.env["DISPLAY"] = self.display
        return self.display

    def start_accessibility_bus(self):
        """A private D-Bus session with the accessibility bus on it, as a
        desktop has them; panels started from here on show themselves there
        to screen readers. Returns the session bus's address."""
        address = self._start_announcing("dbus-daemon", ["dbus-daemon", "--session", "--nofork",
                                                         "--print-address="])
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        # Starts the accessibility bus, whose registry of applications the
        # bus starts when the first one asks for it.
        self._track(Process([AT_SPI_BUS_LAUNCHER, "--launch-immediately"], self.folder, "at-spi-bus-launcher",
                            self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL))
        self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        return address

    def start_sim(self, *options):
        sim = self._track(Sim([os.path.join(self.bin_dir, "plenvo-sim"), *options],
                              self._subfolder("sim"), self.env))
        # For whatever is to stand between the unit and the panel.
        sim.session = self
        return sim

    def start_ser2net(self, device, telnet=False):
        """ser2net serving `device` (e.g. the sim's pseudo-terminal); see Ser2net."""
        return self._track(Ser2net(device, telnet, self._subfolder("ser2net"), self.env))

    def install_panel(self, settings=None, name="panel"):
        """A folder of its own holding the panel, plenvo-ctl beside it and,
        when given, the bytes of its settings file. The settings file, the
        one-copy lock and the control socket go with the program's folder,
        so each folder is a separate install."""
        folder = self._subfolder(name)
        for program in ("plenvo", "plenvo-ctl"):
            source = os.path.join(self.bin_dir, program)
            try:
                os.link(source, os.path.join(folder, program))
            except OSError:
                shutil.copy2(source, os.path.join(folder, program))
        if settings is not None:
            with open(self.settings_path(folder), "wb") as file:
                file.write(settings)
        return folder

    @staticmethod
    def settings_path(folder):
        return os.path.join(folder, "plenvo.ini")

    def read_settings(self, folder):
        with open(self.settings_path(folder), "rb") as file:
            return file.read()

    def start_panel(self, folder, *args, name="plenvo"):
        expect(self.display, "start_xvfb() first")
        count = sum(1 for p in self._processes if isinstance(p, Panel))
        return self._track(Panel(self, [os.path.join(folder, "plenvo"), *args], self.folder,
                                 f"{name}-{count}", self.env))

    def ctl(self, *args, folder=None, timeout=START_TIMEOUT_S):
        """Runs plenvo-ctl (the one in `folder`, beside a panel, else the
        built one) to its end: its status, stdout and stderr."""
        program = os.path.join(folder or self.bin_dir, "plenvo-ctl")
        try:
            return subprocess.run([program, *args], env=self.env, capture_output=True, text=True,
                                  stdin=subprocess.DEVNULL, timeout=timeout, preexec_fn=_die_with_parent)
        except subprocess.TimeoutExpired:
            raise CheckFailed(f"plenvo-ctl {' '.join(args)} did not end within {timeout} s")

    def start_window_manager(self):
        """A small window manager, for what only one does: iconic windows."""
        return self._track(Process(["twm"], self.folder, "twm", self.env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL))

    def window_state(self, window):
        """"Normal" or "Iconic" as the window manager says; None before it
        manages the window."""
        result = subprocess.run(["xprop", "-id", window, "WM_STATE"], env=self.env, capture_output=True,
                                text=True, timeout=START_TIMEOUT_S)
        match = re.search(r"window state: (\w+)", result.stdout)
        return match.group(1) if match else None

    def xdotool(self, *args):
        """xdotool's output on the session's display ("" when it finds nothing)."""
        result = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True,
                                timeout=START_TIMEOUT_S)
        return result.stdout

    def geometry(self, window):
        """A window's place and size in pixels."""
        values = dict(line.split("=", 1) for line in
                      self.xdotool("getwindowgeometry", "--shell", window).split())
        return Geometry(*(int(values.get(key, -1)) for key in ("X", "Y", "WIDTH", "HEIGHT")))

    def click(self, x, y):
        """A left click at screen pixel x, y."""
        self.xdotool("mousemove", str(x), str(y), "click", "1")

    def drag(self, start, end):
        """Presses the left button at screen pixel `start`, moves to `end`
        in a few steps and lets go there."""
        steps = [(start[0] + (end[0] - start[0]) * i // 4, start[1] + (end[1] - start[1]) * i // 4)
                 for i in range(5)]
        self.xdotool("mousemove", *map(str, steps[0]), "mousedown", "1")
        for x, y in steps[1:]:
            self.xdotool("mousemove", str(x), str(y))
        self.xdotool("mouseup", "1")

    def screenshot(self, path, area=None):
        """The screen, or the Geometry `area` of it, as a picture file."""
        command = ["import", "-window", "root"]
        if area:
            command += ["-crop", f"{area.width}x{area.height}+{area.x}+{area.y}", "+repage"]
        subprocess.run(command + [path], env=self.env, check=True, timeout=START_TIMEOUT_S)


def bounds(geometries):
    """The smallest Geometry holding all the given ones."""
    left = min(g.x for g in geometries)
    top = min(g.y for g in geometries)
    right = max(g.x + g.width for g in geometries)
    bottom = max(g.y + g.height for g in geometries)
    return Geometry(left, top, right - left, bottom - top)
