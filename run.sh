#!/usr/bin/env bash
# Builds the panel (Release, in build/) and runs it.
#
#   ./run.sh          the panel on the simulated unit; type the unit's
#                     front-panel commands here (send PW 0, state, ...).
#                     Without a display: a short demonstration under a
#                     private X server that saves a screenshot.
#   ./run.sh ARGS     the panel alone with these options,
#                     e.g. ./run.sh --com1 /dev/ttyUSB0
#
# The panel keeps its settings in build/bin/plenvo.ini, beside the program.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

source tools/ensure-packages.sh
ensure_packages "${plenvo_run_packages[@]}"

# The tests are test.sh's: their packages may well be missing here.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DPLENVO_TESTS=OFF --log-level=WARNING
# Every program the README tells of: the panel, plenvo-ctl, plenvo-sim.
cmake --build build -j"$(nproc)"
bin=build/bin

if (($#)); then
    exec "$bin/plenvo" "$@"
fi

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    exec python3 tools/headless_demo.py "$bin" build/screenshot.png
fi

work=$(mktemp -d)
link=$work/unit
sim_pid=''
panel_pid=''

stop_all() {
    if [[ -n $panel_pid ]] && kill -0 "$panel_pid" 2>/dev/null; then
        kill -TERM "$panel_pid"
        wait "$panel_pid" || true
    fi
    if [[ -n $sim_pid ]] && kill -0 "$sim_pid" 2>/dev/null; then
        kill -TERM "$sim_pid"
        wait "$sim_pid" || true
    fi
    rm -rf "$work"
}
trap stop_all EXIT

if [[ -t 0 ]]; then
    # The terminal is the unit's front panel. A background command would
    # read /dev/null, so it gets the terminal through a copy of it.
    exec 3<&0
    "$bin/plenvo-sim" --link "$link" <&3 3<&- &
    sim_pid=$!
    echo "Simulated unit: type its front-panel commands here (build/bin/plenvo-sim --help lists them)."
else
    # Nobody types: the unit's input is a pipe held open here.
    exec 3> >(exec "$bin/plenvo-sim" --link "$link")
    sim_pid=$!
fi

for _ in $(seq 100); do
    [[ -e $link ]] && break
    kill -0 "$sim_pid" 2>/dev/null || { echo "plenvo-sim did not start" >&2; exit 1; }
    sleep 0.05
done
[[ -e $link ]] || { echo "plenvo-sim made no device" >&2; exit 1; }

"$bin/plenvo" --com1 "$link" &
panel_pid=$!
# Ctrl-C reaches the panel from the terminal too; either way it saves its
# settings before it ends, so wait for that.
trap 'kill -TERM "$panel_pid" 2>/dev/null || true' INT TERM
status=0
wait "$panel_pid" || status=$?
while kill -0 "$panel_pid" 2>/dev/null; do
    wait "$panel_pid" || status=$?
done
panel_pid=''
exit "$status"
