#!/usr/bin/env python3
"""The real panel on a unit that misbehaves: stray bytes on the line that
shift the frames until a state request puts things right, an OK report
while a command waits, a unit that dies while idle, a unit that answers
too late and one that loses every second answer.

Usage: faults_test.py BIN_DIR   (the folder holding plenvo and plenvo-sim)
"""

from harness import expect
from panel_driver import (CANT_WORK_1, COM1, FRAME_WAIT_S, SV, TX_FAIL, XGA, YUV, run_checks,
                          wait_for)

OK_WAIT_S = 0.5   # the panel asks for the state this long after an OK


def noise_then_state_request(rig):
    _, trace_mark = rig.marks()
    # "P" and "OU 3" make a power report of 85 ('U'); 3 and two 7s, a frame
    # nobody knows; after that the frames line up again.
    rig.sim.tell("byte 80\nsend OU 3\nbyte 7\nbyte 7\nsend BR 40")
    rig.wait_trace("rx", "BR 40", trace_mark)
    # The trace shows unprintable letters as '?'.
    received = rig.traced_frames("rx", trace_mark)
    expect(received == [("PO", 85), ("??", 7), ("BR", 40)], f"the panel parsed {received} from the noise")

    ok_mark = len(rig.trace())
    rig.sim.tell("send OK 0")
    asked = rig.wait_trace("tx", "AL 0", ok_mark)
    ok = rig.wait_trace("rx", "OK 0", ok_mark)
    expect(asked.ms - ok.ms >= OK_WAIT_S * 1000, f"AL came {asked.ms - ok.ms} ms after the OK")
    rig.wait_synced(ok_mark)
    rig.expect_state_of_unit(ok_mark, "after the state request")
    # The panel's state is the unit's again: XGA (OU 3) counts as selected
    # and a click on it sends nothing.
    rig.click_main(XGA)
    log, _ = rig.act(lambda: rig.click_main(SV), "IN 1")
    expect([line for line in log if line.startswith("RX ")] == ["RX IN 1"], f"the unit got {log}")


def ok_while_a_command_waits(rig):
    # The unit asks to be asked again while IN waits in vain: the state
    # request is kept and goes out once the line is free.
    log_mark, trace_mark = rig.send_unanswered(YUV, "IN 2")
    rig.sim.tell("send OK 0")
    rig.wait_trace("rx", "OK 0", trace_mark)
    rig.wait_trace("msg", TX_FAIL, trace_mark)
    rig.wait_sim("RX AL 0", log_mark)
    rig.mute(False)


def unit_dies_while_idle(rig):
    _, trace_mark = rig.marks()
    rig.kill_sim()
    rig.wait_trace("msg", CANT_WORK_1, trace_mark)
    expect(rig.panel.running(), "the panel ended with the unit")
    # Picking the port again finds it gone too.
    retry_mark = len(rig.trace())
    rig.click_main(COM1)
    rig.wait_trace("msg", CANT_WORK_1, retry_mark)
    rig.finish()


def late_answers(rig):
    # Answers come 1.5 s late: the command gives up after its second, and
    # the answers to every try are still taken in when they come.
    _, trace_mark = rig.marks()
    rig.click_main(YUV)
    failed = rig.wait_trace("msg", TX_FAIL, trace_mark)
    sent = rig.traced_frames("tx", trace_mark)
    expect(len(sent) >= 3 and set(sent) == {("IN", 2)}, f"sent {sent}")
    wait_for(lambda: len(rig.traced_frames("rx", trace_mark)) >= len(sent), FRAME_WAIT_S, "the late answers")
    late = [t for t in rig.trace()[trace_mark:] if t.kind == "rx"]
    expect(all(t.text == "IN 2" and t.ms > failed.ms for t in late),
           f"answers {late}, failure at {failed.ms} ms")
    rig.finish()


def lost_answers(rig):
    # Every second answer is lost: the answer to the state request came,
    # so each awaited command loses its first answer and needs one resend.
    for button, frame in ((SV, ("IN", 1)), (XGA, ("OU", 3))):
        _, trace_mark = rig.marks()
        rig.act(lambda: rig.click_main(button), f"{frame[0]} {frame[1]}")
        sent = rig.traced_frames("tx", trace_mark)
        expect(2 <= len(sent) <= 3 and set(sent) == {frame}, f"sent {sent}")
        expect(TX_FAIL not in rig.messages(trace_mark), f"{frame} failed although its resend was answered")
    rig.finish()


if __name__ == "__main__":
    run_checks(__doc__, [
        ({}, [noise_then_state_request, ok_while_a_command_waits, unit_dies_while_idle]),
        ({"sim_options": ["--delay", "1500"]}, [late_answers]),
        ({"sim_options": ["--drop", "2"]}, [lost_answers]),
    ])
