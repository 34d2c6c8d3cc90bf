#!/usr/bin/env python3
"""The main panel as a screen reader finds it over AT-SPI, on a private
accessibility bus: every element named, the power button a check box that
is checked while the unit is on; then the power button pressed from the
keyboard alone, its frame at the simulated unit and its change announced.

Usage: screen_reader_test.py BIN_DIR   (the folder holding plenvo and plenvo-sim)
"""

import importlib.util
import os
import sys

DEBIAN_PYTHON = "/usr/bin/python3"
# The AT-SPI bindings are Debian's (python3-pyatspi) and live with Debian's
# own interpreter, which may not be the one running the tests.
if importlib.util.find_spec("pyatspi") is None and sys.executable != DEBIAN_PYTHON and os.path.exists(DEBIAN_PYTHON):
    os.execv(DEBIAN_PYTHON, [DEBIAN_PYTHON, *sys.argv])

import harness  # noqa: E402
from harness import expect, wait_for  # noqa: E402
from panel_driver import FRAME_WAIT_S, MAIN_NAMES, run_checks  # noqa: E402

CONTROL_ROLES = {"push button", "check box", "radio button"}


class ScreenReader:
    """The panel's accessible objects, read as a screen reader reads them,
    and the state changes the panel announced."""

    def __init__(self, session, pid):
        # The bindings find the buses through these, when first used.
        for name in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            os.environ[name] = session.env[name]
        import pyatspi
        from gi.repository import GLib
        self.pyatspi = pyatspi
        self.context = GLib.MainContext.default()
        self.announced = []
        pyatspi.Registry.registerEventListener(self._changed, "object:state-changed:checked")
        self.app = wait_for(lambda: self._application(pid), harness.START_TIMEOUT_S,
                            "the panel on the accessibility bus")

    def _changed(self, event):
        self.announced.append((event.source.name, event.detail1))

    def _application(self, pid):
        self.pump()
        desktop = self.pyatspi.Registry.getDesktop(0)
        return next((app for app in desktop if app is not None and app.get_process_id() == pid), None)

    def pump(self):
        """Takes in what the panel sent meanwhile (the events, which also
        bring the bindings' copy of each object's states up to date)."""
        while self.context.iteration(False):
            pass
        return True

    def window(self, title):
        return wait_for(lambda: self.pump() and next((w for w in self.app if w.name == title), None),
                        harness.START_TIMEOUT_S, f"window '{title}'")

    def controls(self, window):
        """The window's buttons by name."""
        return {child.name: child for child in window if child.getRoleName() in CONTROL_ROLES}

    def states(self, element):
        self.pump()
        return {self.pyatspi.stateToString(state) for state in element.getState().getStates()}

    def focused(self, window):
        return next((name for name, element in self.controls(window).items() if "focused" in self.states(element)),
                    None)


def reader_of(rig):
    if not hasattr(rig, "reader"):
        rig.reader = ScreenReader(rig.session, rig.panel.pid)
    return rig.reader


def every_element_named(rig):
    reader = reader_of(rig)
    main = reader.window("Video Scaler")
    expect(main.getRoleName() == "frame", f"the main window is a {main.getRoleName()}")
    controls = reader.controls(main)
    missing = set(MAIN_NAMES.values()) - set(controls)
    expect(not missing and "" not in controls, f"controls {sorted(controls)}, missing {sorted(missing)}")
    power = controls["Power"]
    expect(power.getRoleName() == "check box", f"Power is a {power.getRoleName()}")
    # The unit starts on.
    expect({"checked", "focusable"} <= reader.states(power), f"Power is {reader.states(power)}")
    expect(controls["Port COM1"].description == "on", f"COM1 says {controls['Port COM1'].description!r}")


def power_by_keyboard(rig):
    reader = reader_of(rig)
    main = reader.window("Video Scaler")
    power = reader.controls(main)["Power"]
    rig.session.xdotool("windowfocus", "--sync", rig.main)
    for _ in MAIN_NAMES:
        before = wait_for(lambda: reader.focused(main), FRAME_WAIT_S, "a focused element")
        if before == "Power":
            break
        rig.session.xdotool("key", "Tab")
        wait_for(lambda: reader.focused(main) not in (before, None), FRAME_WAIT_S, f"the focus to leave {before}")
    expect(reader.focused(main) == "Power", "Tab never reached Power")

    rig.act(lambda: rig.session.xdotool("key", "space"), "PW 0")
    wait_for(lambda: reader.pump() and ("Power", 0) in reader.announced, FRAME_WAIT_S,
             "the power's change announced")
    expect("checked" not in reader.states(power), f"Power is still {reader.states(power)}")
    expect(reader.focused(main) == "Power", f"the focus moved to {reader.focused(main)}")

    rig.act(lambda: rig.session.xdotool("key", "Return"), "PW 1")
    wait_for(lambda: "checked" in reader.states(power), FRAME_WAIT_S, "Power checked again")
    rig.finish()


if __name__ == "__main__":
    run_checks(__doc__, [({"accessible": True}, [every_element_named, power_by_keyboard])])
