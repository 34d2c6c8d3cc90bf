#!/usr/bin/env bash
# Soak test: the panel under a line full of reports for a long while.
#
#   tests/soak.sh [SECONDS]        (default 600)
#
# Under a private Xvfb, the simulated unit floods the panel (Release build,
# --trace) with random reports at the full line rate, power kept on, while
# both companion windows are open. Afterwards:
#   - the unit's settings equal the last value the panel received for each;
#   - the panel traced every frame the unit sent;
#   - the panel's resident memory grew by less than 1 MiB after the first
#     minute (after the first half for runs shorter than two minutes).
#
# The build folder is $PLENVO_BUILD_DIR, by default build-release beside the
# sources; it is configured for Release when new, and plenvo and plenvo-sim
# are brought up to date in it.
# Not part of ctest: it takes as long as it is told to.
set -euo pipefail

duration=${1:-600}
[[ $duration =~ ^[0-9]+$ && $duration -ge 10 ]] || { echo "usage: $0 [SECONDS >= 10]" >&2; exit 2; }

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build_dir=${PLENVO_BUILD_DIR:-$source_dir/build-release}

readonly rss_growth_limit_kib=1024
readonly sample_every_s=10
# The panel's place in its settings file, in twips: 100, 100 in pixels on
# the 96 dpi screen (15 twips a pixel).
readonly win_top_twips=1500 win_left_twips=1500
readonly twips_per_pixel=15
# Element centres relative to the main window, in pixels.
readonly adj_x=$((5370 / 15 + 52)) adj_y=$((2130 / 15 + 12))
readonly video_x=$((3870 / 15 + 52)) video_y=$((2130 / 15 + 12))

for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "soak: $tool is missing" >&2; exit 1; }
done

if [[ ! -f $build_dir/CMakeCache.txt ]]; then
    cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DPLENVO_TESTS=OFF >/dev/null
fi
cmake --build "$build_dir" -j2 --target plenvo plenvo-sim >/dev/null

work=$(mktemp -d)
xvfb_pid='' sim_pid='' panel_pid='' keep_work=no
stop() {
    local pid
    for pid in "$panel_pid" "$sim_pid" "$xvfb_pid"; do
        [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    if [[ $keep_work == yes ]]; then
        echo "soak: the logs are in $work" >&2
    else
        rm -rf "$work"
    fi
}
trap 'stop || true' EXIT

fail() {
    echo "soak: FAIL: $*" >&2
    keep_work=yes
    exit 1
}

# Waits up to $1 seconds for the command that follows to succeed.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# ---- X server on the first free display from :90 on
display=''
for n in $(seq 90 189); do
    if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then
        display=:$n
        break
    fi
done
[[ -n $display ]] || fail "no free X display"
Xvfb "$display" -screen 0 1280x1024x24 -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
wait_until 10 xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start"

# ---- the simulated unit, its standard input held open by a fifo
mkfifo "$work/sim.in"
exec 3<>"$work/sim.in"
"$build_dir/bin/plenvo-sim" <"$work/sim.in" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
wait_until 10 grep -qs '^plenvo-sim: unit on ' "$work/sim.out" || fail "plenvo-sim did not start"
device=$(sed -n 's/^plenvo-sim: unit on //p' "$work/sim.out")

# ---- the panel, from a folder of its own (settings file, single-instance lock)
mkdir "$work/panel"
cp "$build_dir/bin/plenvo" "$work/panel/"
printf '%s\r\n%s\r\n1\r\n' "$win_top_twips" "$win_left_twips" >"$work/panel/plenvo.ini"
QT_QPA_PLATFORM=xcb "$work/panel/plenvo" --trace --com1 "$device" 2>"$work/trace.txt" &
panel_pid=$!
wait_until 10 grep -qs ' tx AL 0$' "$work/trace.txt" || fail "the panel did not start"
# The start-up state request waits a second for its replies.
sleep 1.5

shown_windows() {
    xdotool search --onlyvisible --pid "$panel_pid" '' 2>/dev/null | wc -l
}
# At least $1 windows of the panel are on the screen.
windows_shown() {
    (($(shown_windows) >= $1))
}
click() {
    xdotool mousemove $((win_left_twips / twips_per_pixel + $1)) $((win_top_twips / twips_per_pixel + $2)) click 1
}
before=$(shown_windows)
click "$adj_x" "$adj_y"
wait_until 5 windows_shown $((before + 1)) || fail "the adjustment window did not open"
click "$video_x" "$video_y"
wait_until 5 windows_shown $((before + 2)) || fail "the video window did not open"

rss_kib() {
    awk '/^VmRSS:/ { print $2 }' "/proc/$panel_pid/status"
}

# ---- the flood, sampling the panel's memory
echo "flood $duration" >&3
start=$SECONDS
baseline_at=$((duration >= 120 ? 60 : duration / 2))
rss_baseline='' rss_end=''
declare -a samples=()
while ! grep -q '^flood done ' "$work/sim.out"; do
    ((SECONDS - start <= duration + 30)) || fail "the flood did not end in time"
    kill -0 "$panel_pid" 2>/dev/null || fail "the panel ended during the flood"
    elapsed=$((SECONDS - start))
    if ((elapsed >= ${#samples[@]} * sample_every_s)); then
        samples+=("$(rss_kib)")
        if [[ -z $rss_baseline ]] && ((elapsed >= baseline_at)); then
            rss_baseline=${samples[-1]}
        fi
    fi
    sleep 0.5
done
# Let the last poll go through, then take the figures.
sleep 1
rss_end=$(rss_kib)
flood_frames=$(sed -n 's/^flood done //p' "$work/sim.out")

echo state >&3
wait_until 5 grep -q '^state ' "$work/sim.out" || fail "plenvo-sim did not print its state"
unit_state=$(grep '^state ' "$work/sim.out" | tail -n 1)

# ---- the checks
# Frames the unit sent: the flood and the answers to every AL the panel sent
# (the unit reports 19 settings each time).
al_requests=$(grep -c ' tx AL 0$' "$work/trace.txt")
frames_sent=$((flood_frames + 19 * al_requests))
frames_traced=$(grep -c ' rx ' "$work/trace.txt")

mismatches=$(awk -v state="$unit_state" '
    $2 == "rx" { last[$3] = $4 }
    END {
        n = split(state, word, " ")
        for (i = 2; i < n; i += 2)
            if (!(word[i] in last) || last[word[i]] != word[i + 1])
                printf "%s unit %s panel %s; ", word[i], word[i + 1], (word[i] in last ? last[word[i]] : "none")
    }' "$work/trace.txt")

echo "soak: ${duration} s flood, display $display, unit on $device"
echo "soak: frames sent by the unit: $frames_sent (flood $flood_frames, $al_requests state requests)"
echo "soak: frames traced by the panel: $frames_traced"
echo "soak: panel RSS samples (KiB, every ${sample_every_s} s): ${samples[*]}"
echo "soak: panel RSS at ${baseline_at} s: ${rss_baseline} KiB, at the end: ${rss_end} KiB, growth $((rss_end - rss_baseline)) KiB"

status=0
if [[ -n $mismatches ]]; then
    echo "soak: FAIL: the panel's last values differ from the unit's: $mismatches" >&2
    status=1
fi
if ((frames_traced != frames_sent)); then
    echo "soak: FAIL: the panel traced $frames_traced frames of $frames_sent" >&2
    status=1
fi
if ((rss_end - rss_baseline >= rss_growth_limit_kib)); then
    echo "soak: FAIL: resident memory grew by $((rss_end - rss_baseline)) KiB" >&2
    status=1
fi
echo quit >&3
if ((status == 0)); then
    echo "soak: PASS"
else
    keep_work=yes
fi
exit $status
