#!/usr/bin/env python3
"""Dragging the panel's borderless windows with the mouse under a private
X server: by the main window's background and by its message line, by the
video window, up to the screen's top edge where the dragged window snaps
to it, and presses that must not drag (a disabled button, a disabled
companion).

Usage: drag_test.py BIN_DIR   (the folder holding plenvo and plenvo-sim)
"""

from panel_driver import (ADJ, ADJ_COVERED, ADJ_SIZE, MAIN_BUTTONS, MAIN_COVERED, MAIN_SIZE, MESSAGE_LINE,
                          PC_BYPASS, POWER, VIDEO, VIDEO_COVERED, VIDEO_SIZE, Point, bare_spot, centre,
                          run_checks)

MAIN_BACKGROUND = bare_spot(MAIN_SIZE, MAIN_COVERED)
ADJ_BACKGROUND = bare_spot(ADJ_SIZE, ADJ_COVERED)
VIDEO_BACKGROUND = bare_spot(VIDEO_SIZE, VIDEO_COVERED)


def docked(main_x, main_y):
    """Where the three windows are when the main one is at main_x, main_y."""
    return {"main": (main_x, main_y), "adj": (main_x + MAIN_SIZE[0], main_y),
            "video": (main_x, main_y + MAIN_SIZE[1])}


def open_companions(rig):
    rig.click_main(ADJ)
    rig.wait_window(rig.adj)
    rig.click_main(VIDEO)
    rig.wait_window(rig.video)
    main = rig.geometry()
    rig.wait_places(docked(main.x, main.y), "companions opened")


def drag_main_by_background(rig):
    main = rig.geometry()
    rig.drag_by(rig.screen_point(rig.main, MAIN_BACKGROUND), 63, 41)
    rig.wait_places(docked(main.x + 63, main.y + 41), "main window dragged by its background")


def drag_main_by_message_line(rig):
    main = rig.geometry()
    rig.drag_by(rig.screen_point(rig.main, centre(MESSAGE_LINE)), -48, 29)
    rig.wait_places(docked(main.x - 48, main.y + 29), "main window dragged by its message line")


def drag_video_window(rig):
    # The main window follows above the video window, the adjustment window
    # stays against the main one.
    main = rig.geometry()
    rig.drag_by(rig.screen_point(rig.video(), VIDEO_BACKGROUND), 37, -22)
    rig.wait_places(docked(main.x + 37, main.y - 22), "video window dragged")


def drag_to_top_edge(rig):
    # A top that would come within 10 px of the screen's edge snaps to it.
    main = rig.geometry()
    rig.drag_by(rig.screen_point(rig.main, MAIN_BACKGROUND), 20, 6 - main.y)
    rig.wait_places(docked(main.x + 20, 0), "main window dragged near the top edge")
    rig.drag_by(rig.screen_point(rig.main, MAIN_BACKGROUND), 0, 60)
    rig.wait_places(docked(main.x + 20, 60), "main window dragged down again")


def presses_that_do_not_drag(rig):
    before = rig.places()
    # PC bypass is disabled while the unit does not allow it; a press on it
    # must not reach the window beneath.
    rig.drag_by(rig.screen_point(rig.main, centre(MAIN_BUTTONS[PC_BYPASS])), 40, 40)
    # With the power off the companions are disabled and take no press.
    rig.act(lambda: rig.click_main(POWER), "PW 0")
    rig.drag_by(rig.screen_point(rig.adj(), ADJ_BACKGROUND), 40, 40)
    rig.drag_by(rig.screen_point(rig.video(), VIDEO_BACKGROUND), 40, 40)
    # The windows are where they were: a drag from the main window's old
    # place takes them on from there. (It also shows the presses before it
    # have been handled.)
    x, y = before["main"]
    rig.drag_by(Point(x + MAIN_BACKGROUND.x, y + MAIN_BACKGROUND.y), 0, 30)
    rig.wait_places(docked(x, y + 30), "main window dragged after the refused presses")
    rig.terminate()


if __name__ == "__main__":
    run_checks(__doc__, [({}, [open_companions, drag_main_by_background, drag_main_by_message_line,
                                   drag_video_window, drag_to_top_edge, presses_that_do_not_drag])])
