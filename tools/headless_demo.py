#!/usr/bin/env python3
"""The panel on the simulated unit without a display: under a private X
server it presses power and a few buttons the way a user would, opens the
two companion windows and saves a picture of all three.

Usage: headless_demo.py BIN_DIR PICTURE.png
"""

import os
import re
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
import harness  # noqa: E402
from harness import wait_for  # noqa: E402

# The main window at 300, 300 twips: 20, 20 pixels from the screen's corner.
SETTINGS = b"300\r\n300\r\n1\r\n"
DESIGN_TWIPS_PER_PIXEL = 15
# What to press, by element of the main window, and the frame each sends.
PRESSES = [(0, "PW 0"), (0, "PW 1"), (3, "IN 2"), (12, "OU 6"), (15, None), (16, None)]
# A handler keeps the buttons disabled for a moment after its reply.
SETTLE_S = 0.4
WINDOW_SIZES = {"main": (470, 175), "adjustment": (230, 175), "video": (510, 91)}


def element_centres():
    """Window pixel of the middle of every main window element, from the
    layout table in design twips."""
    with open(os.path.join(REPO, "src", "windows", "skin", "layout.h")) as header:
        text = header.read()
    table = text[text.index("kMainButtons{{"):]
    table = table[:table.index("}};")]
    centres = {}
    for index, left, top, width, height in re.findall(r"\{(\d+), \{(\d+), (\d+), (\d+), (\d+)\}", table):
        centres[int(index)] = ((int(left) + int(width) // 2) // DESIGN_TWIPS_PER_PIXEL,
                               (int(top) + int(height) // 2) // DESIGN_TWIPS_PER_PIXEL)
    return centres


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    bin_dir, picture = sys.argv[1], os.path.abspath(sys.argv[2])
    centres = element_centres()
    with harness.Session(bin_dir) as session:
        session.start_xvfb()
        sim = session.start_sim()
        panel = session.start_panel(session.install_panel(SETTINGS), "--com1", sim.link, "--trace")
        main_window = panel.wait_for_window(*WINDOW_SIZES["main"])
        origin = session.geometry(main_window)
        # The unit's state comes in reply to the start-up request; the
        # panel then waits a second before it takes clicks.
        wait_for(lambda: panel.traced("rx", "VO 31"), 10, "state of the unit")
        time.sleep(1.0 + SETTLE_S)

        for element, frame in PRESSES:
            x, y = centres[element]
            session.click(origin.x + x, origin.y + y)
            if frame:
                wait_for(lambda: panel.traced("rx", frame), 5, f"reply {frame}")
            time.sleep(SETTLE_S)

        windows = wait_for(lambda: len(panel.windows()) == 3 and panel.windows(), 5, "three windows")
        sizes = sorted((g.width, g.height) for g in windows.values())
        harness.expect(sizes == sorted(WINDOW_SIZES.values()), f"unexpected windows {sizes}")
        session.screenshot(picture, harness.bounds(windows.values()))
        harness.expect(panel.terminate() == 0, "the panel did not end cleanly")
    print(f"screenshot: {picture}")


if __name__ == "__main__":
    try:
        main()
    except harness.CheckFailed as failure:
        sys.exit(f"headless run failed: {failure}")
