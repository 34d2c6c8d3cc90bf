#!/usr/bin/env python3
"""The panel's buttons, driven with the mouse under a private X server, as
the simulated unit sees them: the frame each click sends, what a click
must not send, the companion windows where they dock, a report from the
unit shown without an echo, a silent unit, and the exit button.

Usage: panel_test.py BIN_DIR   (the folder holding plenvo and plenvo-sim)
"""

from harness import expect
from panel_driver import (ADJ, ADJ_SIZE, ASPECT_169, ASPECT_43, ASPECT_STD, AWAITED_TIMEOUT_S, LOCK_ON,
                          MAIN_SIZE, P480, POWER, RESEND_S, SV, TX_FAIL, VIDEO, VIDEO_LETTERS, VIDEO_SIZE, XGA,
                          YUV, count_frames, run_checks)


def power_input_output(rig):
    rig.act(lambda: rig.click_main(POWER), "PW 0")
    rig.act(lambda: rig.click_main(POWER), "PW 1")
    rig.act(lambda: rig.click_main(SV), "IN 1")
    rig.act(lambda: rig.click_main(XGA), "OU 3")
    # XGA is the selected output now: a second click sends nothing, so the
    # next frame at the unit is the one of the click after it.
    rig.click_main(XGA)
    log, _ = rig.act(lambda: rig.click_main(P480), "OU 1")
    expect(count_frames(log, "RX") == {"OU": 1}, f"the selected output was sent again: {log}")


def companions_dock(rig):
    main = rig.geometry()
    rig.click_main(ADJ)
    adj = rig.geometry(rig.wait_window(rig.adj))
    rig.click_main(VIDEO)
    video = rig.geometry(rig.wait_window(rig.video))
    expect((adj.x, adj.y) == (main.x + MAIN_SIZE[0], main.y),
           f"adjustment window at {adj.x},{adj.y}, main at {main.x},{main.y}")
    expect((video.x, video.y) == (main.x, main.y + MAIN_SIZE[1]),
           f"video window at {video.x},{video.y}, main at {main.x},{main.y}")
    expect((adj.width, adj.height) == ADJ_SIZE, f"adjustment window is {adj.width}x{adj.height}")
    expect((video.width, video.height) == VIDEO_SIZE, f"video window is {video.width}x{video.height}")


def adjustment_frames(rig):
    # The lock's "on" button asks the unit for FP 0; the aspects are coded
    # 4:3 2, 16:9 0, std 1.
    for button, frame in ((LOCK_ON, "FP 0"), (ASPECT_43, "AS 2"), (ASPECT_169, "AS 0"), (ASPECT_STD, "AS 1")):
        log, _ = rig.act(lambda: rig.click_adj(button), frame)
        expect(sum(count_frames(log, "RX").values()) == 1, f"more than {frame} was sent: {log}")


def video_frames(rig):
    # One arrow click moves CONTRAST one step up from its start value 58.
    log, _ = rig.act(lambda: rig.click_at(rig.slider_arrow(1)), "CO 59")
    expect(count_frames(log, "RX") == {"CO": 1}, f"an arrow click sent {log}")
    log, _ = rig.act(lambda: rig.click_at(rig.slider_arrow(0, -1)), "BR 30")
    expect(count_frames(log, "RX") == {"BR": 1}, f"an arrow click sent {log}")

    # Reset puts the sliders back without sending them one by one: the
    # frame after RE is the one of the next click.
    rig.act(rig.click_video_reset, "RE 0")
    log, _ = rig.act(lambda: rig.click_main(YUV), "IN 2")
    expect(not count_frames(log, "RX", VIDEO_LETTERS), f"reset sent slider values: {log}")
    state = rig.sim.state()
    expect((state["BR"], state["CO"]) == (31, 58), f"the unit was not reset: {state}")


def report_not_echoed(rig):
    log_mark, trace_mark = rig.marks()
    rig.sim.tell("send OU 3")
    rig.wait_trace("rx", "OU 3", trace_mark)
    # The report made XGA the selected output, so clicking it sends
    # nothing; the first frame after the report is the next click's.
    rig.click_main(XGA)
    rig.act(lambda: rig.click_main(SV), "IN 1")
    log = rig.sim_log()[log_mark:]
    expect(count_frames(log, "RX") == {"IN": 1}, f"after OU 3 the unit got {log}")
    expect(rig.traced_frames("tx", trace_mark) == [("IN", 1)], "the report was echoed")


def silent_unit(rig):
    _, trace_mark = rig.send_unanswered(YUV, "IN 2")
    failed = rig.wait_trace("msg", TX_FAIL, trace_mark)
    sent = [t for t in rig.trace()[trace_mark:] if t.kind == "tx"]
    expect(all(t.text == "IN 2" for t in sent), f"sent {[t.text for t in sent]}")
    tries = AWAITED_TIMEOUT_S / RESEND_S
    expect(tries - 2 <= len(sent) <= tries + 1, f"IN 2 sent {len(sent)} times in its second")
    waited = (failed.ms - sent[0].ms) / 1000
    expect(0.9 <= waited <= 1.6, f"'{TX_FAIL}' {waited:.2f} s after the first send")


def exit_button(rig):
    rig.finish()


if __name__ == "__main__":
    run_checks(__doc__, [({}, [power_input_output, companions_dock, adjustment_frames, video_frames,
                                   report_not_echoed, silent_unit, exit_button])])
