#!/usr/bin/env python3
"""Windows and the whole panel closed while one of their handlers still
runs: a companion closed or minimised away while its command waits for the
unit, the exit button pressed while a command waits, during the state
request at start-up and while a flood of reports is being shown, and
companions toggled while that flood is shown in them. Every run must end
with status 0, no sanitizer report and the settings written once.

Usage: reentrancy_test.py BIN_DIR   (the folder holding plenvo and plenvo-sim)
"""

from harness import expect
from panel_driver import ADJ, FRAME_WAIT_S, MINIMISE, NR_OFF, NR_ON, TX_FAIL, VIDEO, YUV, run_checks, wait_for

STATE_REQUEST_WAIT_MS = 1200   # the request's own 0.2 s, then a second


def main_click_after(rig, line):
    """The trace time of the first main-panel click handled after the trace
    line `line`: the handler empties the message line on entry."""
    return rig.wait_trace("msg", "", rig.trace().index(line) + 1).ms


def first_sent(rig, since, what):
    return wait_for(lambda: [t for t in rig.trace()[since:] if t.kind == "tx"], FRAME_WAIT_S, what)[0]


def close_adj_while_its_command_waits(rig, closer):
    rig.click_main(ADJ)
    rig.wait_window(rig.adj)
    _, trace_mark = rig.marks()
    rig.click_adj(NR_OFF if rig.sim.state()["NR"] else NR_ON)
    sent = first_sent(rig, trace_mark, "NR sent")
    rig.click_main(closer)
    rig.wait_window(rig.adj, shown=False)
    closed_at = main_click_after(rig, sent)
    failed = rig.wait_trace("msg", TX_FAIL, trace_mark)
    expect(sent.ms < closed_at < failed.ms, "the adjustment window was not closed while NR waited")
    expect(rig.panel.running(), "the panel ended")


def adj_closed_by_adj(rig):
    rig.mute()
    close_adj_while_its_command_waits(rig, ADJ)


def adj_closed_by_minimise(rig):
    close_adj_while_its_command_waits(rig, MINIMISE)


def close_video_while_its_slider_sends(rig, closer):
    rig.click_main(VIDEO)
    rig.wait_window(rig.video)
    _, trace_mark = rig.marks()
    thumb = rig.slider_middle(2)   # COLOR, at 31 until now
    button = rig.main_element(closer)
    # Held on the thumb and moved, the slider sends and pauses. Until it is
    # let go every press belongs to the slider, so the release and the
    # press that closes the window are queued right behind the move: the
    # panel takes them in the middle of that pause.
    rig.press(thumb)
    rig.session.xdotool("mousemove", str(thumb.x + 15), str(thumb.y), "sleep", "0.05", "mouseup", "1",
                        "mousemove", str(button.x), str(button.y), "click", "1")
    sent = first_sent(rig, trace_mark, "SA sent")
    expect(sent.text.startswith("SA "), f"the slider sent {sent.text}")
    rig.wait_window(rig.video, shown=False)
    closed_at = main_click_after(rig, sent)
    expect(closed_at - sent.ms < 250, f"the video window closed {closed_at - sent.ms} ms after SA was sent")
    # Whatever is pending in the panel runs before it answers this click.
    rig.click_main(VIDEO)
    rig.wait_window(rig.video)
    rig.click_main(VIDEO)
    rig.wait_window(rig.video, shown=False)
    expect(rig.panel.running(), "the panel ended")


def video_closed_by_video(rig):
    close_video_while_its_slider_sends(rig, VIDEO)


def video_closed_by_minimise(rig):
    close_video_while_its_slider_sends(rig, MINIMISE)


def exit_while_a_command_waits(rig):
    _, trace_mark = rig.marks()
    rig.click_main(YUV)
    sent = first_sent(rig, trace_mark, "IN sent")
    rig.finish()
    pressed_at = main_click_after(rig, sent)
    expect(pressed_at - sent.ms < 1000, f"exit was handled {pressed_at - sent.ms} ms after IN was sent")


def exit_during_start_up(rig):
    rig.finish()
    asked = rig.wait_trace("tx", "AL 0")
    # The reports the request brought are shown through the same handler;
    # the exit button's call is the last, since the port closes with it.
    pressed_at = [t.ms for t in rig.trace() if t.kind == "msg" and t.text == ""][-1]
    expect(pressed_at - asked.ms < STATE_REQUEST_WAIT_MS,
           f"the exit button was handled {pressed_at - asked.ms} ms after the state request")


def companions_toggled_then_exit_during_a_flood(rig):
    _, trace_mark = rig.marks()
    rig.sim.tell("flood 3")
    wait_for(lambda: len(rig.traced_frames("rx", trace_mark)) > 20, FRAME_WAIT_S, "flood reports parsed")
    adj, video = rig.main_element(ADJ), rig.main_element(VIDEO)
    clicks = []
    for _ in range(4):
        for point in (adj, video):
            clicks += ["mousemove", str(point.x), str(point.y), "click", "1", "sleep", "0.03"]
    rig.session.xdotool(*clicks)
    rig.click_main(ADJ)
    rig.wait_window(rig.adj)
    wait_for(lambda: len(rig.traced_frames("rx", trace_mark)) > 100, FRAME_WAIT_S,
             "more flood reports parsed")
    rig.finish()


if __name__ == "__main__":
    run_checks(__doc__, [
        ({}, [adj_closed_by_adj, adj_closed_by_minimise, video_closed_by_video, video_closed_by_minimise,
              exit_while_a_command_waits]),
        ({"synced": False}, [exit_during_start_up]),
        ({}, [companions_toggled_then_exit_during_a_flood]),
    ])
