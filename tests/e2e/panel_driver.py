"""Driving the real panel the way its user does, on top of harness.py: the
places of its elements taken from the skin's layout table, clicks and
drags on them, waits for frames at the simulated unit and for lines in the
panel's trace, and the checks every run of the panel ends with (exit
status 0, no sanitizer report, the settings file written once and whole).

    def power_off(rig):
        rig.act(lambda: rig.click_main(POWER), "PW 0")

    run_checks(__doc__, [({"sim_options": ["--drop", "2"]}, [power_off, ...])])
"""

import ctypes
import math
import os
import re
import signal
import struct
import sys
import time
from collections import Counter, namedtuple

import harness
from harness import CheckFailed, expect, wait_for

LAYOUT_HEADER = os.path.join(harness.REPO, "src", "windows", "skin", "layout.h")
TWIPS_PER_PIXEL = 15
ASAN_OPTIONS = "abort_on_error=1:detect_leaks=1"

# Main window at Top 1200, Left 3000 twips (80, 200 px), port 1.
DEFAULT_SETTINGS = b"1200\r\n3000\r\n1\r\n"
SETTINGS_TEXT = re.compile(rb"^(-?\d+)\r\n(-?\d+)\r\n(\d+)\r\n$")

# The order in which the unit answers the state request AL.
STATE_ORDER = "PW IN OU BY DI AS IR FP TD NR OS BL FR BR CO SA SH TI VO".split()
VIDEO_LETTERS = ["BR", "CO", "SA", "SH", "TI", "VO"]

# Main panel elements.
POWER, CV, SV, YUV, PC = 0, 1, 2, 3, 4
VGA, P480, SVGA, P576, XGA, SXGA, I1080, P720 = 5, 6, 7, 8, 9, 10, 11, 12
PC_BYPASS, ADJ, VIDEO, COM1, COM2, MINIMISE, EXIT = 13, 15, 16, 19, 20, 21, 22
# Adjustment window elements the tests press.
ASPECT_43, ASPECT_169, ASPECT_STD, LOCK_ON, NR_ON, NR_OFF = 2, 3, 14, 6, 10, 11

TX_FAIL = "Tx  fail !"
CANT_WORK_1 = "COM1: can't work !"

AWAITED_TIMEOUT_S = 1.0   # an awaited command gives up after this
RESEND_S = 0.2            # and is sent again this often meanwhile
# After its reply has come a command still sits out the rest of its 0.2 s
# wait, and the main panel keeps its buttons disabled until then: a click
# before that is lost. This is how long to let a finished command end.
SETTLE_S = 0.35
FRAME_WAIT_S = 3          # generous: two ASan programs share two cores
WHOLE_FILE_LIMIT_S = 45  # a bound against a hang; two ASan programs on two loaded cores are slow

Rect = namedtuple("Rect", "left top width height")   # pixels, in a window
Point = namedtuple("Point", "x y")                    # screen pixels


def _pixels(twips):
    """The window system's rounding of a design position to pixels."""
    return int(math.floor(twips / TWIPS_PER_PIXEL + 0.5))


def _pixel_rect(numbers):
    return Rect(*(_pixels(int(n)) for n in numbers))


def _read_layout(path=LAYOUT_HEADER):
    with open(path) as header:
        text = header.read()
    names = {name: {int(index): element for index, element in re.findall(r'\{(\d+), "([^"]+)"', body)}
             for name, body in re.findall(r"constexpr std::array<ElementName, \d+> (k\w+)\{\{(.*?)\}\};", text, re.S)}
    rects = {name: _pixel_rect(numbers) for name, *numbers in
             re.findall(r"constexpr Rect (k\w+)\{(-?\d+), (-?\d+), (-?\d+), (-?\d+)\};", text)}
    elements, rect_arrays = {}, {}
    for name, body in re.findall(r"constexpr std::array<Element, \d+> (k\w+)\{\{(.*?)\}\};", text, re.S):
        elements[name] = {int(index): _pixel_rect(numbers) for index, *numbers in
                          re.findall(r"\{(\d+), \{(\d+), (\d+), (\d+), (\d+)\}", body)}
    for name, body in re.findall(r"constexpr std::array<Rect, \d+> (k\w+)\{\{(.*?)\}\};", text, re.S):
        rect_arrays[name] = [_pixel_rect(numbers) for numbers in
                             re.findall(r"\{(\d+), (\d+), (\d+), (\d+)\}", body)]
    return rects, elements, rect_arrays, names


_RECTS, _ELEMENTS, _RECT_ARRAYS, _NAMES = _read_layout()
MAIN_BUTTONS = _ELEMENTS["kMainButtons"]
# What screen readers call the main panel's elements, by index.
MAIN_NAMES = _NAMES["kMainNames"]
ADJ_BUTTONS = _ELEMENTS["kAdjButtons"]
VIDEO_SLIDERS = _RECT_ARRAYS["kVideoSliders"]
VIDEO_LABELS = _RECT_ARRAYS["kVideoLabels"]
VIDEO_RESET = _RECTS["kVideoReset"]
MESSAGE_LINE = _RECTS["kMainMessageLabel"]
# The main window takes the size of its skin picture; the companions the
# size of their design.
MAIN_SIZE = _RECTS["kMainFormImage"][2:]
ADJ_SIZE = _RECTS["kAdjClient"][2:]
VIDEO_SIZE = _RECTS["kVideoClient"][2:]
# What covers the windows' backgrounds, where a press does not start a drag.
MAIN_COVERED = list(MAIN_BUTTONS.values()) + [_RECTS["kMainLogo"], _RECTS["kMainVersionLabel"], MESSAGE_LINE]
ADJ_COVERED = list(ADJ_BUTTONS.values())
VIDEO_COVERED = VIDEO_SLIDERS + VIDEO_LABELS + [VIDEO_RESET]


def centre(rect):
    return Point(rect.left + rect.width // 2, rect.top + rect.height // 2)


def bare_spot(size, covered, margin=4, edge=10):
    """A point of a window's background, in window pixels, at least
    `margin` pixels away from every control and `edge` from the edges."""
    width, height = size
    for y in range(edge, height - edge, 3):
        for x in range(edge, width - edge, 3):
            if all(not (r.left - margin <= x < r.left + r.width + margin and
                        r.top - margin <= y < r.top + r.height + margin) for r in covered):
                return Point(x, y)
    raise CheckFailed(f"no bare background in a {width}x{height} window")


def sanitizer_findings(text):
    return [line for line in text.splitlines()
            if harness.SANITIZER_REPORT.search(line) or "LeakSanitizer" in line or "AddressSanitizer" in line]


def frame_text(line):
    """'RX IN 1' -> ('RX', 'IN', 1); None for what is not a frame."""
    words = line.split()
    if len(words) == 3 and words[2].isdigit():
        return words[0], words[1], int(words[2])
    return None


class SettingsWrites:
    """Counts the times a file is written and closed, or put in place by a
    rename, from now on (inotify on its folder)."""

    IN_CLOSE_WRITE = 0x08
    IN_MOVED_TO = 0x80
    EVENT = struct.Struct("iIII")

    def __init__(self, path):
        self.name = os.path.basename(path).encode()
        self._libc = ctypes.CDLL(None, use_errno=True)
        self.fd = self._libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        expect(self.fd >= 0, f"inotify: {os.strerror(ctypes.get_errno())}")
        folder = os.path.dirname(path).encode()
        watch = self._libc.inotify_add_watch(self.fd, folder, self.IN_CLOSE_WRITE | self.IN_MOVED_TO)
        expect(watch >= 0, f"inotify on {folder!r}: {os.strerror(ctypes.get_errno())}")
        self._count = 0

    def count(self):
        while True:
            try:
                data = os.read(self.fd, 65536)
            except BlockingIOError:
                return self._count
            offset = 0
            while offset < len(data):
                _, _, _, length = self.EVENT.unpack_from(data, offset)
                start = offset + self.EVENT.size
                if data[start:start + length].rstrip(b"\0") == self.name:
                    self._count += 1
                offset = start + length

    def close(self):
        if self.fd >= 0:
            os.close(self.fd)
            self.fd = -1


class Rig:
    """A private X server, a simulated unit, and one panel on it whose
    settings file is watched from before it starts."""

    def __init__(self, session, sim_options=(), sim_setup=(), settings=DEFAULT_SETTINGS, ports=None,
                 synced=True, accessible=False):
        """`sim_setup`: front-panel commands for the unit before the panel
        starts; `ports`: a function of the sim giving the panel's port
        options (default: --com1 on the sim); `accessible`: the panel shows
        itself to screen readers on a private accessibility bus."""
        self.session = session
        session.start_xvfb()
        if accessible:
            session.start_accessibility_bus()
        # The options of ./test.sh, where it set them; these when run alone.
        session.env.setdefault("ASAN_OPTIONS", ASAN_OPTIONS)
        self.sim = session.start_sim(*sim_options)
        for command in sim_setup:
            self.sim.tell(command)
        self.sim.state()  # answered once the commands before it are done
        self.folder = session.install_panel(settings)
        self.settings_writes = SettingsWrites(session.settings_path(self.folder))
        port_options = ports(self.sim) if ports else ["--com1", self.sim.link]
        self.panel = session.start_panel(self.folder, *port_options, "--trace")
        self.main = wait_for(lambda: self.panel.window_of_size(*MAIN_SIZE), harness.START_TIMEOUT_S,
                             "main window")
        if synced:
            self.wait_synced()
            # The state request is a command too: until its wait is over
            # the panel drops any other.
            time.sleep(SETTLE_S)

    def close(self):
        self.settings_writes.close()

    # --- the unit -------------------------------------------------------------

    def mute(self, on=True):
        """Stops (or resumes) the unit's answers from the next frame on."""
        self.sim.tell("mute " + ("on" if on else "off"))
        self.sim.state()  # answered once the mute has been read

    def kill_sim(self):
        """The unit dies at once; its pseudo-terminal goes with it."""
        self.sim.process.kill()
        self.sim.process.wait()

    def send_unanswered(self, button, frame):
        """Mutes the unit and clicks a main-panel `button`; returns the
        marks from before the click once `frame` (e.g. "IN 2") has reached
        the unit and the command waits in vain."""
        self.mute()
        marks = self.marks()
        self.click_main(button)
        self.wait_sim("RX " + frame, marks[0])
        return marks

    # --- what the panel and the unit said -----------------------------------

    def wait_synced(self, since=0):
        """Until the panel has parsed the unit's answer to AL (its last
        report is VO)."""
        wait_for(lambda: any(t.kind == "rx" and t.text.startswith("VO ") for t in self.trace()[since:]),
                 FRAME_WAIT_S, "answer to the state request in the trace")

    def trace(self):
        return self.panel.trace()

    def sim_log(self):
        return self.sim.log_lines()

    def marks(self):
        """Where the sim log and the trace stand now."""
        return len(self.sim_log()), len(self.trace())

    def wait_sim(self, line, since=0, timeout=FRAME_WAIT_S):
        """The sim log from `since` up to and including the first `line`."""
        def found():
            log = self.sim_log()[since:]
            return log[:log.index(line) + 1] if line in log else None
        return wait_for(found, timeout, f"'{line}' in the sim log")

    def wait_trace(self, kind, text, since=0, timeout=FRAME_WAIT_S):
        """The first trace line of that kind and text from `since` on."""
        def found():
            return next((t for t in self.trace()[since:] if t.kind == kind and t.text == text), None)
        return wait_for(found, timeout, f"'{kind} {text}' in the trace")

    def traced_frames(self, kind, since=0):
        """(letters, value) of the trace's tx or rx lines from `since` on."""
        frames = []
        for line in self.trace()[since:]:
            if line.kind == kind:
                letters, value = line.text.split()
                frames.append((letters, int(value)))
        return frames

    def messages(self, since=0):
        """The texts the message line was given from `since` on."""
        return [line.text for line in self.trace()[since:] if line.kind == "msg"]

    def expect_state_of_unit(self, since, what):
        """The last value the panel received since `since` for each of the
        unit's settings is the unit's value."""
        received = dict(self.traced_frames("rx", since))
        unit = self.sim.state()
        wrong = {letters: (received.get(letters), value) for letters, value in unit.items()
                 if received.get(letters) != value}
        expect(not wrong, f"{what}: (panel, unit) differ for {wrong}")

    def act(self, action, frame, answered=True):
        """Does `action`, waits for `frame` (e.g. "IN 1") at the unit and,
        when the unit answers, for the answer in the trace; then lets the
        command end. Returns the sim log lines from before the action up to
        the frame, and the trace mark from before the action."""
        log_mark, trace_mark = self.marks()
        action()
        log = self.wait_sim("RX " + frame, log_mark)
        if answered:
            self.wait_trace("rx", frame, trace_mark)
        time.sleep(SETTLE_S)
        return log, trace_mark

    # --- windows --------------------------------------------------------------

    def geometry(self, window=None):
        return self.session.geometry(window or self.main)

    def adj(self):
        return self.panel.window_of_size(*ADJ_SIZE)

    def video(self):
        return self.panel.window_of_size(*VIDEO_SIZE)

    def wait_window(self, which, shown=True):
        """`which` (rig.adj or rig.video) once it is shown, or closed."""
        what = "adjustment window" if which == self.adj else "video window"

        def reached():
            window = which()
            return window if shown else window is None
        return wait_for(reached, FRAME_WAIT_S, f"{what} {'shown' if shown else 'closed'}")

    def places(self):
        """Top-left corners of the main window and the open companions."""
        found = {}
        for name, size in (("main", MAIN_SIZE), ("adj", ADJ_SIZE), ("video", VIDEO_SIZE)):
            window = self.panel.window_of_size(*size)
            if window:
                g = self.geometry(window)
                found[name] = (g.x, g.y)
        return found

    def wait_places(self, expected, what):
        wait_for(lambda: self.places() == expected, FRAME_WAIT_S,
                 f"{what}: windows at {expected} (last seen {self.places()})")

    def screen_point(self, window, point):
        g = self.geometry(window)
        return Point(g.x + point.x, g.y + point.y)

    # --- the user's hand ----------------------------------------------------

    # No --sync on the moves: xdotool then waits for the pointer to move,
    # forever when it is there already. The X server takes the motion and
    # the button in the order they were sent, so a press lands where the
    # motion before it went.
    def click_at(self, point, button=1):
        self.session.xdotool("mousemove", str(point.x), str(point.y), "click", str(button))

    def main_element(self, index):
        """The screen point of the centre of a main-window element."""
        return self.screen_point(self.main, centre(MAIN_BUTTONS[index]))

    def click_main(self, index, button=1):
        self.click_at(self.main_element(index), button)

    def click_adj(self, index):
        self.click_at(self.screen_point(self.wait_window(self.adj), centre(ADJ_BUTTONS[index])))

    def click_video_reset(self):
        self.click_at(self.screen_point(self.wait_window(self.video), centre(VIDEO_RESET)))

    def slider_arrow(self, slider, side=+1):
        """The right (side +1) or left (-1) arrow of a video slider."""
        bar = VIDEO_SLIDERS[slider]
        inset = bar.height // 2
        x = bar.left + bar.width - inset if side > 0 else bar.left + inset
        return self.screen_point(self.wait_window(self.video), Point(x, bar.top + bar.height // 2))

    def slider_middle(self, slider):
        """The middle of a video slider: its thumb while it shows 31."""
        return self.screen_point(self.wait_window(self.video), centre(VIDEO_SLIDERS[slider]))

    def press(self, point):
        self.session.xdotool("mousemove", str(point.x), str(point.y), "mousedown", "1")

    def move(self, point):
        self.session.xdotool("mousemove", str(point.x), str(point.y))

    def release(self):
        self.session.xdotool("mouseup", "1")

    def drag_by(self, start, dx, dy, steps=4):
        """Press at `start`, move by dx, dy in a few steps, release."""
        self.press(start)
        for i in range(1, steps + 1):
            self.move(Point(start.x + dx * i // steps, start.y + dy * i // steps))
        self.release()

    # --- the end of a run -------------------------------------------------------

    def finish(self, end=None, port=1):
        """Ends the panel with `end` (default: its exit button) and checks
        how it ended: status 0, no sanitizer report, the settings file
        written exactly once with the main window's last place and `port`."""
        last = self.geometry()
        (end or (lambda: self.click_main(EXIT)))()
        status = self.panel.wait(harness.STOP_TIMEOUT_S)
        expect(status == 0, f"the panel ended with status {status}\n{self.panel.stderr_text()[-3000:]}")
        self.expect_no_sanitizer_report()
        writes = self.settings_writes.count()
        expect(writes == 1, f"the settings file was written {writes} times")
        saved = self.session.read_settings(self.folder)
        whole = SETTINGS_TEXT.match(saved)
        expect(whole, f"the settings file holds {saved!r}")
        top, left, saved_port = map(int, whole.groups())
        # The place is kept in twips; a snapped top is 5 twips, shown at 0.
        expect(abs(top - TWIPS_PER_PIXEL * last.y) < TWIPS_PER_PIXEL and
               abs(left - TWIPS_PER_PIXEL * last.x) < TWIPS_PER_PIXEL,
               f"saved place {left},{top} twips, window last at {last.x},{last.y} px")
        expect(saved_port == port, f"saved port {saved_port}, not {port}")

    def terminate(self, **expected):
        self.finish(lambda: self.panel.process.send_signal(signal.SIGTERM), **expected)

    def expect_no_sanitizer_report(self):
        findings = sanitizer_findings(self.panel.stderr_text())
        expect(not findings, "sanitizer report:\n" + "\n".join(findings[:20]))


def count_frames(lines, direction, letters=None):
    """How many frames of `direction` ("RX"/"TX") and `letters` a sim log
    excerpt holds, by their letters."""
    counts = Counter()
    for line in lines:
        frame = frame_text(line)
        if frame and frame[0] == direction and (letters is None or frame[1] in letters):
            counts[frame[1]] += 1
    return counts


def run_checks(usage, runs, limit=WHOLE_FILE_LIMIT_S):
    """The main program of a test file, whose one argument is the folder
    of the programs: runs (Rig options, [step, ...]) entries, each on a rig
    of its own, the steps in order, within `limit` seconds in all. A failed
    step ends its rig's run. Exits 1 if any step failed."""
    if len(sys.argv) != 2:
        sys.exit(usage)
    bin_dir = sys.argv[1]
    harness.limit_whole_file(limit)
    began = time.monotonic()
    failures = 0
    for options, steps in runs:
        step = None
        try:
            with harness.Session(bin_dir) as session:
                rig = Rig(session, **options)
                try:
                    for step in steps:
                        started = time.monotonic()
                        step(rig)
                        print(f"ok   {step.__name__} ({time.monotonic() - started:.1f} s)", flush=True)
                finally:
                    rig.close()
        except Exception as failure:  # a tool that failed counts as a failed step too
            failures += 1
            detail = str(failure) if isinstance(failure, CheckFailed) else repr(failure)
            print(f"FAIL {step.__name__ if step else 'start-up'}: {detail}", flush=True)
            if time.monotonic() - began >= limit:
                break
    signal.alarm(0)
    print(f"{'FAILED' if failures else 'passed'} in {time.monotonic() - began:.1f} s", flush=True)
    sys.exit(1 if failures else 0)
