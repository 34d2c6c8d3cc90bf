#!/usr/bin/env python3
"""The serial link of the real panel to the simulated unit: the state
request at start-up and what it brings in, the fall-back to the other
port when the saved one cannot be opened, and the unit dying while a
command waits for its reply.

Usage: link_test.py BIN_DIR   (the folder holding plenvo and plenvo-sim)
"""

import os
from harness import expect
from panel_driver import (CANT_WORK_1, CV, FRAME_WAIT_S, P576, STATE_ORDER, TX_FAIL, YUV, count_frames,
                          run_checks, wait_for)


def state_request_syncs(rig):
    from_panel = [line for line in rig.sim_log() if line.startswith("RX ")]
    expect(from_panel[:1] == ["RX AL 0"], f"the unit first got {from_panel[:1]}")
    received = [letters for letters, _ in rig.traced_frames("rx")[-len(STATE_ORDER):]]
    expect(received == STATE_ORDER, f"the panel parsed {received}")
    rig.expect_state_of_unit(0, "after start-up")
    expect(rig.traced_frames("tx") == [("AL", 0)], f"the panel sent {rig.traced_frames('tx')}")


def synced_state_is_used(rig):
    # The unit was at 576P before the panel started (see main()); after
    # the state request that output counts as selected and a click on it
    # sends nothing: the first frame at the unit is the next click's.
    rig.click_main(P576)
    log, _ = rig.act(lambda: rig.click_main(CV), "IN 0")
    expect(count_frames(log, "RX") == {"IN": 1}, f"the unit got {log}")


def closes_cleanly(rig):
    rig.terminate()


def absent_com1(sim):
    """Port options: nothing behind port 1, the unit behind port 2."""
    return ["--com1", os.path.join(os.path.dirname(sim.link), "absent"), "--com2", sim.link]


def falls_back_to_com2(rig):
    trace = rig.trace()
    failed = next((i for i, t in enumerate(trace) if t.kind == "msg" and t.text == CANT_WORK_1), None)
    expect(failed is not None, f"no '{CANT_WORK_1}' in the trace")
    asked = next((i for i, t in enumerate(trace) if t.kind == "tx"), None)
    expect(asked is not None and asked > failed and trace[asked].text == "AL 0",
           "the state request did not follow the failure on port 1")
    expect("RX AL 0" in rig.sim_log(), "the unit on port 2 was not asked for its state")
    rig.finish(port=2)


def unit_dies_during_a_wait(rig):
    _, trace_mark = rig.send_unanswered(YUV, "IN 2")
    rig.kill_sim()

    messages = wait_for(lambda: [text for text in rig.messages(trace_mark) if text], FRAME_WAIT_S,
                        "a failure on the message line")
    expect(set(messages) <= {TX_FAIL, CANT_WORK_1}, f"the message line said {messages}")
    expect(rig.panel.running(), "the panel ended with the unit")
    rig.terminate()


if __name__ == "__main__":
    run_checks(__doc__, [
        ({"sim_setup": ["send OU 5", "send BR 40"]},
         [state_request_syncs, synced_state_is_used, closes_cleanly]),
        ({"ports": absent_com1}, [falls_back_to_com2]),
        ({}, [unit_dies_during_a_wait]),
    ])
