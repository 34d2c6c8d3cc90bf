#!/usr/bin/env python3
"""The programs as installed (`cmake --install` into a scratch root), run as
a user who cannot write their folder and as cron runs them: no
XDG_RUNTIME_DIR, no DISPLAY. plenvo-ctl finds the devices the program
keeps (`ports`), and `status` and `set` work through a running
`plenvo --headless` and, once it has ended, on the line of their own;
every user file lands in ~/.config/plenvo and none beside the programs.

Usage: installed_test.py BIN_DIR   (the build's bin folder)
"""

import os
import signal
import subprocess
import sys

import harness
from harness import CheckFailed, expect, wait_for

WHOLE_RUN_LIMIT_S = 60
NOBODY = 65534


def install(session):
    os.chmod(session.folder, 0o755)
    root = os.path.join(session.folder, "root")
    build_dir = os.path.dirname(session.bin_dir)
    result = subprocess.run(["cmake", "--install", build_dir, "--prefix", os.path.join(root, "usr")],
                            capture_output=True, text=True, timeout=30)
    expect(result.returncode == 0, f"cmake --install failed: {result.stderr}")
    return os.path.join(root, "usr", "bin")


def cron_user(session):
    """A home and a scratch folder of the user, and the environment cron
    gives a job of theirs."""
    home = os.path.join(session.folder, "home")
    tmp = os.path.join(session.folder, "user-tmp")
    for folder in (home, tmp):
        os.makedirs(folder, mode=0o700)
        os.chown(folder, NOBODY, NOBODY)
    env = {"HOME": home, "TMPDIR": tmp, "PATH": "/usr/bin:/bin", "LOGNAME": "nobody", "SHELL": "/bin/sh"}
    for name in ("LSAN_OPTIONS", "ASAN_OPTIONS", "UBSAN_OPTIONS"):
        if name in os.environ:
            env[name] = os.environ[name]
    return env


def as_user(program, *args):
    return ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups", "--pdeathsig=TERM",
            program, *args]


def ctl(bin_dir, env, *args):
    result = subprocess.run(as_user(os.path.join(bin_dir, "plenvo-ctl"), *args), env=env, capture_output=True,
                            text=True, stdin=subprocess.DEVNULL, timeout=harness.START_TIMEOUT_S)
    expect(not harness.sanitizer_reports(result.stderr), result.stderr)
    return result


def check_ports_and_files(bin_dir, env, device):
    ports = ctl(bin_dir, env, "ports")
    expect(ports.returncode == 0 and device in ports.stdout,
           f"plenvo-ctl ports does not show the program's device {device}: {ports.stdout!r} {ports.stderr!r}")
    kept = os.path.join(env["HOME"], ".config", "plenvo", "plenvo-devices.ini")
    expect(os.path.exists(kept), f"no {kept}")
    beside = [name for name in os.listdir(bin_dir) if name.endswith(".ini")]
    expect(not beside, f"user files beside the installed programs: {beside}")


def check_status_and_set(bin_dir, env, sim, bright):
    status = ctl(bin_dir, env, "status", "--json")
    expect(status.returncode == 0 and '"power": "on"' in status.stdout,
           f"status: {status.returncode} {status.stdout!r} {status.stderr!r}")
    changed = ctl(bin_dir, env, "set", "power", "on", "output", "720p", "colour", str(bright))
    expect(changed.returncode == 0, f"set: {changed.returncode} {changed.stderr!r}")
    state = sim.state()
    expect((state["OU"], state["SA"]) == (6, bright), f"the unit holds {state}")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    harness.limit_whole_file(WHOLE_RUN_LIMIT_S)
    try:
        with harness.Session(sys.argv[1]) as session:
            bin_dir = install(session)
            env = cron_user(session)
            sim = session.start_sim("--tcp", "127.0.0.1:0")

            panel = session._track(harness.Process(
                as_user(os.path.join(bin_dir, "plenvo"), "--headless", "--com1", sim.link), session.folder,
                "headless", env))
            wait_for(lambda: "RX AL 0" in sim.log_lines(), harness.START_TIMEOUT_S, "state request at the unit")
            check_ports_and_files(bin_dir, env, sim.link)
            check_status_and_set(bin_dir, env, sim, 20)
            expect(any(line == "RX SA 20" for line in sim.log_lines()), "the set went round the running program")

            panel.process.send_signal(signal.SIGTERM)
            expect(panel.wait(harness.STOP_TIMEOUT_S) == 0, panel.stderr_text())
            expect(not panel.sanitizer_reports(), "\n".join(panel.sanitizer_reports()))
            # On its own line now: port 1 is the device the program kept.
            check_ports_and_files(bin_dir, env, sim.link)
            check_status_and_set(bin_dir, env, sim, 30)
    except CheckFailed as failure:
        print(f"FAIL {failure}")
        sys.exit(1)
    print("ok   installed: ports, status and set as cron runs them, with and without the program running")


if __name__ == "__main__":
    main()
