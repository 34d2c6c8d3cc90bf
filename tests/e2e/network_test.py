#!/usr/bin/env python3
"""The panel on a unit reached over the network: through the real ser2net
in front of the simulated unit's pseudo-terminal, as raw TCP
(socket://HOST:PORT) and as Telnet with RFC 2217 (rfc2217://HOST:PORT), and
on plenvo-sim serving TCP itself. Each line carries the state request and
its 19 reports, a click and its answer, and a report of 255, the byte
Telnet escapes. plenvo-sim serves one client at a time: a new one cuts off
the panel, which then finds its line lost; a second client that keeps
coming back (plenvo-ctl watch) settles with the panel instead of the two
cutting each other off.

Usage: network_test.py BIN_DIR   (the folder holding plenvo and plenvo-sim)
"""

import os
import socket
import subprocess
import time

import harness
from harness import expect, wait_for
from link_test import closes_cleanly, state_request_syncs
from panel_driver import CANT_WORK_1, FRAME_WAIT_S, SETTLE_S, STATE_ORDER, YUV, run_checks

WHOLE_FILE_LIMIT_S = 80
# A lost network line is tried again after 1, 2 and 4 s.
RECONNECT_WAIT_S = 8
# A client cut off within 3 s of connecting twice in a row backs off (10 s
# the first time) and says why; several rounds of two clients cutting each
# other off fit in SETTLED_FOR_S.
CUT_OFF_EARLY_S = 3
SETTLED_FOR_S = 6
HELD_ELSEWHERE = "another client holds the line"


def through_ser2net(telnet):
    def ports(sim):
        sim.ser2net = sim.session.start_ser2net(sim.device, telnet)
        return ["--com1", sim.ser2net.url]
    return ports


def click_answered(rig):
    log, _ = rig.act(lambda: rig.click_main(YUV), "IN 2")
    expect(log[-1:] == ["RX IN 2"], f"the unit got {log}")


def report_of_255_parsed(rig):
    _, trace_mark = rig.marks()
    rig.sim.tell("send BR 255")
    rig.sim.tell("send CO 40")
    rig.wait_trace("rx", "CO 40", trace_mark)
    received = rig.traced_frames("rx", trace_mark)
    expect(received == [("BR", 255), ("CO", 40)], f"the panel parsed {received}")


def read_frames(client, count):
    data = b""
    deadline = time.monotonic() + FRAME_WAIT_S
    while len(data) < 3 * count and time.monotonic() < deadline:
        client.settimeout(max(deadline - time.monotonic(), 0.01))
        chunk = client.recv(4096)
        expect(chunk, "plenvo-sim closed the new connection")
        data += chunk
    return [data[i:i + 2].decode("latin-1") for i in range(0, len(data) - 2, 3)]


def new_client_cuts_off_the_panel(rig):
    _, trace_mark = rig.marks()
    host, port = rig.sim.device[len("socket://"):].rsplit(":", 1)
    with socket.create_connection((host, int(port)), timeout=FRAME_WAIT_S) as client:
        client.sendall(b"AL\0")
        letters = read_frames(client, len(STATE_ORDER))
        expect(letters == STATE_ORDER, f"the new client got {letters}")
        rig.wait_trace("msg", CANT_WORK_1, trace_mark)


def two_clients_settle(rig):
    # The panel has held the line for a while when plenvo-ctl watch, a
    # client of its own, connects and cuts it off. Each takes the line back
    # at its first retry, until the client has been cut off right after
    # connecting twice: it backs off and says why, and the panel keeps the
    # line.
    time.sleep(CUT_OFF_EARLY_S + SETTLE_S)
    _, trace_mark = rig.marks()
    watcher = harness.Process([os.path.join(rig.session.bin_dir, "plenvo-ctl"), "--port", rig.sim.device, "watch"],
                              rig.session.folder, "plenvo-ctl-watch", rig.session.env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    try:
        wait_for(lambda: HELD_ELSEWHERE in watcher.stderr_text(), 3 * FRAME_WAIT_S,
                 f"'{HELD_ELSEWHERE}' from plenvo-ctl watch")
        settled_mark = len(rig.trace())
        time.sleep(SETTLED_FOR_S)
        cut_offs = [rig.messages(mark).count(CANT_WORK_1) for mark in (trace_mark, settled_mark)]
        expect(cut_offs == [2, 0], f"the panel was cut off {cut_offs[0]} times, {cut_offs[1]} after the client gave way")
        said = [line for line in watcher.stderr_text().splitlines() if line.startswith("plenvo-ctl: ")]
        expect(len(said) == 2 and HELD_ELSEWHERE in said[-1], f"plenvo-ctl watch said {said}")
        expect(watcher.running(), "plenvo-ctl watch gave up")
        click_answered(rig)
    finally:
        watcher.stop()
    expect(not watcher.sanitizer_reports(), "sanitizer report from plenvo-ctl watch")


def dropped_and_restored(rig):
    # The serial server goes away, and the unit is switched to 576P at its
    # own front panel meanwhile: once the server is back the panel finds
    # the line by itself and shows the unit as it is now.
    _, trace_mark = rig.marks()
    rig.sim.ser2net.terminate()
    rig.wait_trace("msg", CANT_WORK_1, trace_mark)
    rig.sim.tell("send OU 5")
    rig.sim.state()
    back_mark = len(rig.trace())
    rig.sim.ser2net.start()
    rig.wait_trace("tx", "AL 0", back_mark, timeout=RECONNECT_WAIT_S)
    rig.wait_trace("rx", "OU 5", back_mark)
    rig.wait_synced(back_mark)
    click_answered(rig)


STEPS = [state_request_syncs, click_answered, report_of_255_parsed, closes_cleanly]
SER2NET_STEPS = STEPS[:-1] + [dropped_and_restored, closes_cleanly]

if __name__ == "__main__":
    run_checks(__doc__, [
        ({"ports": through_ser2net(telnet=False)}, SER2NET_STEPS),
        ({"ports": through_ser2net(telnet=True)}, SER2NET_STEPS),
        ({"sim_options": ["--tcp", "127.0.0.1:0"]}, STEPS[:-1] + [new_client_cuts_off_the_panel, closes_cleanly]),
        ({"sim_options": ["--tcp", "127.0.0.1:0"]}, [two_clients_settle, closes_cleanly]),
    ], limit=WHOLE_FILE_LIMIT_S)
