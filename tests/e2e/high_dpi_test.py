#!/usr/bin/env python3
"""The panel on scaled screens (QT_SCALE_FACTOR 2 and 1.5) under a private
X server: the three windows docked edge to edge as on an unscaled screen,
and at 2 the skin pictures on the screen drawn with real detail, not the
small pictures with each pixel doubled.

Usage: high_dpi_test.py BIN_DIR   (the folder holding plenvo and plenvo-sim)
"""

import math
import os
import subprocess
import sys
import time

import harness
from harness import CheckFailed, Geometry, expect, wait_for
from panel_driver import (ADJ, ADJ_SIZE, DEFAULT_SETTINGS, MAIN_BUTTONS, MAIN_SIZE, POWER, SETTLE_S, VIDEO,
                          VIDEO_RESET, VIDEO_SIZE, VIDEO_SLIDERS, Rect, centre)

IMAGES = os.path.join(harness.REPO, "src", "windows", "skin", "images")
# Twice the usual screen: at scale 2 the main and the adjustment window
# side by side are wider than it.
harness.SCREEN = "2560x2048x24"
# The saved place, 3000 and 1200 twips, in window pixels.
SAVED_PLACE = (200, 80)

# Skin pictures on the screen once the panel has the unit's state and both
# companions are open: (window, rect in window pixels, picture, where the
# rect's top-left corner is in the picture).
BRIGHT_NAME = Rect(VIDEO_SLIDERS[0].left, VIDEO_SLIDERS[0].top + VIDEO_SLIDERS[0].height + 3, 40, 11)
PICTURES = [
    ("main", MAIN_BUTTONS[POWER], "POWER_ON.bmp", (0, 0)),
    ("video", VIDEO_RESET, "RESET.bmp", (0, 0)),
    ("video", BRIGHT_NAME, "VIDEO_FORM.bmp", (BRIGHT_NAME.left, BRIGHT_NAME.top)),
]


def scaled(length, scale):
    return math.floor(length * scale + 0.5)


def window_near(panel, size, scale):
    """A visible window of the panel of `size` window pixels at `scale`,
    give or take a device pixel for rounding; its geometry or None."""
    width, height = (scaled(length, scale) for length in size)
    return next((g for g in panel.windows().values()
                 if abs(g.width - width) <= 1 and abs(g.height - height) <= 1), None)


def wait_window(panel, size, scale, what):
    return wait_for(lambda: window_near(panel, size, scale), 5, f"{what} at scale {scale}")


def rgb_pixels(path, width, height, crop=None):
    """The pixels of a picture file (or of `crop`, a Geometry of it) as a
    list of rows of (r, g, b)."""
    command = ["convert", path]
    if crop:
        command += ["-crop", f"{crop.width}x{crop.height}+{crop.x}+{crop.y}", "+repage"]
    data = subprocess.run(command + ["-depth", "8", "rgb:-"], check=True, capture_output=True,
                          timeout=harness.START_TIMEOUT_S).stdout
    expect(len(data) == 3 * width * height, f"{path}: {len(data)} bytes, not {width}x{height} pixels")
    return [[tuple(data[3 * (y * width + x):3 * (y * width + x) + 3]) for x in range(width)]
            for y in range(height)]


def mixed_blocks(pixels):
    """The share of aligned 2x2 blocks not of one colour: none when each
    pixel of a small picture was doubled."""
    blocks = [(pixels[y][x], pixels[y][x + 1], pixels[y + 1][x], pixels[y + 1][x + 1])
              for y in range(0, len(pixels) - 1, 2) for x in range(0, len(pixels[0]) - 1, 2)]
    return sum(len(set(block)) > 1 for block in blocks) / len(blocks)


def mean_difference(small, large):
    """Per channel, between the small picture and the large one with each
    2x2 block averaged."""
    total = 0
    for y, row in enumerate(small):
        for x, pixel in enumerate(row):
            block = (large[2 * y][2 * x], large[2 * y][2 * x + 1], large[2 * y + 1][2 * x],
                     large[2 * y + 1][2 * x + 1])
            total += sum(abs(sum(p[c] for p in block) / 4 - pixel[c]) for c in range(3))
    return total / (3 * len(small) * len(small[0]))


def check_detail(session, windows):
    scale = 2
    for window, rect, picture, (left, top) in PICTURES:
        origin = windows[window]
        area = Geometry(origin.x + scale * rect.left, origin.y + scale * rect.top, scale * rect.width,
                        scale * rect.height)
        shot = os.path.join(session.folder, f"{window}-{picture}.png")
        session.screenshot(shot, area)
        large = rgb_pixels(shot, area.width, area.height)
        small = rgb_pixels(os.path.join(IMAGES, picture), rect.width, rect.height,
                           Geometry(left, top, rect.width, rect.height))
        doubled = [[pixel for pixel in row for _ in range(2)] for row in small for _ in range(2)]
        expect(large != doubled and mixed_blocks(large) > 0.2,
               f"{picture} on the screen has {mixed_blocks(large):.0%} mixed 2x2 blocks: doubled pixels")
        colours, doubled_colours = (len({p for row in pixels for p in row}) for pixels in (large, doubled))
        expect(colours > 1.25 * doubled_colours,
               f"{picture} on the screen has {colours} colours, the small one doubled {doubled_colours}")
        # And it is that picture, in its place.
        difference = mean_difference(small, large)
        expect(difference < 20, f"{picture} on the screen differs from the small one by {difference:.1f}")


def check_scale(bin_dir, scale):
    with harness.Session(bin_dir) as session:
        session.env["QT_SCALE_FACTOR"] = str(scale)
        session.start_xvfb()
        sim = session.start_sim()
        panel = session.start_panel(session.install_panel(DEFAULT_SETTINGS), "--com1", sim.link, "--trace")
        main = wait_window(panel, MAIN_SIZE, scale, "main window")
        expect((main.x, main.y) == tuple(scaled(v, scale) for v in SAVED_PLACE),
               f"main window at {main.x},{main.y} at scale {scale}")
        wait_for(lambda: any(t.kind == "rx" and t.text.startswith("VO ") for t in panel.trace()), 5,
                 "the unit's state in the trace")
        time.sleep(SETTLE_S)
        for element, size, what in ((ADJ, ADJ_SIZE, "adjustment window"), (VIDEO, VIDEO_SIZE, "video window")):
            point = centre(MAIN_BUTTONS[element])
            session.click(main.x + scaled(point.x, scale), main.y + scaled(point.y, scale))
            wait_window(panel, size, scale, what)
        windows = {"main": main, "adj": window_near(panel, ADJ_SIZE, scale),
                   "video": window_near(panel, VIDEO_SIZE, scale)}
        places = {name: (g.x, g.y) for name, g in windows.items()}
        docked = {"main": (main.x, main.y), "adj": (main.x + main.width, main.y),
                  "video": (main.x, main.y + main.height)}
        expect(places == docked, f"windows at {places}, not docked as {docked}, at scale {scale}")
        if scale == 2:
            check_detail(session, windows)
        status = panel.terminate()
        expect(status == 0, f"the panel ended with status {status} at scale {scale}")
        expect(not panel.sanitizer_reports(), "\n".join(panel.sanitizer_reports()))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    # Every wait is bounded, so the run is too.
    try:
        for scale in (2, 1.5):
            check_scale(sys.argv[1], scale)
            print(f"ok   scale {scale}", flush=True)
    except CheckFailed as failure:
        print(f"FAIL {failure}")
        sys.exit(1)


if __name__ == "__main__":
    main()
