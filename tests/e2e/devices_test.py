#!/usr/bin/env python3
"""The devices behind the ports of the real panel: a device given with
--com1 is kept beside the settings file and used by the next run started
without it, and the port chooser, opened from the keyboard (Ctrl+P) and by
a press on the logo (a second press closes it), puts a network device
behind COM1 and opens it.

Usage: devices_test.py BIN_DIR   (the folder holding plenvo and plenvo-sim)
"""

import os
import time

from harness import START_TIMEOUT_S, expect
from panel_driver import MAIN_SIZE, SETTLE_S, _RECTS, centre, run_checks, wait_for

DEVICES_FILE = "plenvo-devices.ini"
WHOLE_FILE_LIMIT_S = 40
LOGO = _RECTS["kMainLogo"]


def devices_file(rig):
    path = os.path.join(rig.folder, DEVICES_FILE)
    if not os.path.exists(path):
        return ""
    with open(path) as file:
        return file.read()


def next_run_takes_the_kept_device(rig):
    kept = devices_file(rig)
    expect(f"com1={rig.sim.link}\n" in kept, f"the devices file holds {kept!r}")
    rig.terminate()
    log_mark = len(rig.sim_log())
    panel = rig.session.start_panel(rig.folder, "--trace", name="next-run")
    panel.wait_for_window(*MAIN_SIZE)
    wait_for(lambda: "RX AL 0" in rig.sim_log()[log_mark:], START_TIMEOUT_S, "state request of the next run")
    wait_for(lambda: any(t.kind == "rx" and t.text.startswith("VO ") for t in panel.trace()), START_TIMEOUT_S,
             "the unit's state in the next run's trace")
    expect(panel.terminate() == 0, "the next run did not end cleanly")
    expect(not panel.sanitizer_reports(), "\n".join(panel.sanitizer_reports()))


def nothing_on_the_ports(sim):
    folder = os.path.dirname(sim.log)
    return ["--com1", os.path.join(folder, "absent1"), "--com2", os.path.join(folder, "absent2")]


def popups(rig):
    """The panel's visible windows besides the main one (menus, dialogs)."""
    return [window for window in rig.panel.windows() if window != rig.main]


def logo_press_opens_and_closes_the_menu(rig):
    logo = rig.screen_point(rig.main, centre(LOGO))
    rig.click_at(logo)
    wait_for(lambda: popups(rig), START_TIMEOUT_S, "the menu after a click on the logo")
    rig.click_at(logo)
    wait_for(lambda: not popups(rig), START_TIMEOUT_S, "the menu closed by a second click on the logo")
    time.sleep(SETTLE_S)
    expect(not popups(rig), "the second click on the logo opened the menu again")


def network_device_chosen_from_the_keyboard(rig):
    log_mark, trace_mark = rig.marks()
    rig.session.xdotool("windowfocus", "--sync", rig.main)
    rig.session.xdotool("key", "ctrl+p")
    wait_for(lambda: popups(rig), START_TIMEOUT_S, "the menu after Ctrl+P")
    # Port COM&1, then &Network device...
    rig.session.xdotool("key", "1")
    rig.session.xdotool("key", "n")
    dialog = wait_for(lambda: rig.session.xdotool("search", "--onlyvisible", "--name", "Network device behind COM1")
                      .split(), START_TIMEOUT_S, "the network device dialog")[0]
    expect(rig.session.xdotool("getwindowfocus").strip() == dialog, "the dialog did not take the keyboard")
    host, port = rig.sim.device[len("socket://"):].rsplit(":", 1)
    rig.session.xdotool("type", host)
    rig.session.xdotool("key", "Tab")
    rig.session.xdotool("type", port)
    rig.session.xdotool("key", "Return")

    rig.wait_sim("RX AL 0", log_mark)
    rig.wait_synced(trace_mark)
    kept = devices_file(rig)
    expect(f"com1={rig.sim.device}\n" in kept, f"the devices file holds {kept!r}")
    rig.finish(port=1)


if __name__ == "__main__":
    run_checks(__doc__, [
        ({}, [next_run_takes_the_kept_device]),
        ({"sim_options": ["--tcp", "127.0.0.1:0"], "ports": nothing_on_the_ports, "synced": False},
         [logo_press_opens_and_closes_the_menu, network_device_chosen_from_the_keyboard]),
    ], limit=WHOLE_FILE_LIMIT_S)
