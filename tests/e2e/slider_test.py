#!/usr/bin/env python3
"""A video slider dragged with the mouse under a private X server, as the
simulated unit sees it: a fast drag to the end of the bar leaves the unit
on the end value, and a long drag with a unit that answers shows no
failure.

Usage: slider_test.py BIN_DIR   (the folder holding plenvo and plenvo-sim)
"""

import time

from harness import expect, wait_for
from panel_driver import FRAME_WAIT_S, TX_FAIL, VIDEO, VIDEO_SLIDERS, Point, count_frames, run_checks

BRIGHT = 0


def open_video(rig):
    rig.click_main(VIDEO)
    rig.wait_window(rig.video)


def unit_value(rig, letters, value):
    wait_for(lambda: rig.sim.state()[letters] == value, FRAME_WAIT_S, f"{letters} {value} at the unit")


def fast_drag_to_the_end(rig):
    open_video(rig)
    _, trace_mark = rig.marks()
    start = rig.slider_middle(BRIGHT)
    right_end = start.x + VIDEO_SLIDERS[BRIGHT].width
    rig.press(start)
    for step in range(1, 9):
        rig.move(Point(start.x + (right_end - start.x) * step // 8, start.y))
        time.sleep(0.02)
    rig.release()
    unit_value(rig, "BR", 63)
    time.sleep(0.5)
    expect(TX_FAIL not in rig.messages(trace_mark), f"messages {rig.messages(trace_mark)}")
    expect(rig.traced_frames("tx", trace_mark)[-1] == ("BR", 63), "the last frame sent is not BR 63")

    # The panel knows the unit holds 63: the right arrow sends nothing.
    log_mark, _ = rig.marks()
    rig.click_at(rig.slider_arrow(BRIGHT))
    time.sleep(0.6)
    log = rig.sim_log()[log_mark:]
    expect(not count_frames(log, "RX"), f"the arrow at the end sent {log}")


def long_drag(rig):
    _, trace_mark = rig.marks()
    bar = VIDEO_SLIDERS[BRIGHT]
    start = rig.slider_arrow(BRIGHT)  # the thumb sits at the end now
    start = Point(start.x - bar.height, start.y)
    rig.press(start)
    began = time.monotonic()
    step = 0
    while time.monotonic() - began < 2.0:
        step += 1
        offset = (step * 7) % (bar.width // 2)
        rig.move(Point(start.x - offset, start.y))
        time.sleep(0.05)
    rig.release()
    time.sleep(1.2)
    expect(TX_FAIL not in rig.messages(trace_mark), f"a long drag showed '{TX_FAIL}'")
    sent = rig.traced_frames("tx", trace_mark)
    expect(sent, "the drag sent nothing")
    unit_value(rig, "BR", sent[-1][1])


def exit_button(rig):
    rig.finish()


if __name__ == "__main__":
    run_checks(__doc__, [({}, [fast_drag_to_the_end, long_drag, exit_button])], limit=40)
