#!/usr/bin/env bash
# Frames per second of a manual drive of the shipped course against the reference loop on one Xvfb
# server, as interleaved pairs (program, reference, program, ...), each counted by the frame probe
# over a window of the same length; then the median ratio and its spread. Also the time from exec
# to the first frame, with its bitmap loads.
set -euo pipefail
build=${1:-build}
window=${2:-5}
pairs=${3:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tests/support/xvfb.sh"
build=$(cd "$build" && pwd)
probe=$build/tools/libroadsim_frame_probe.so
work=$(mktemp -d)
xvfb=
run=
trap 'kill $run $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT

# With two cores or more, the server keeps the first and the measured loop the second, so that no
# window is disturbed by threads being moved between cores and every run sees the same placement.
server_cpu=() client_cpu=()
if command -v taskset >/dev/null && [ "$(nproc)" -ge 2 ]; then
    server_cpu=(taskset -c 0)
    client_cpu=(taskset -c 1)
fi

start_xvfb /dev/null "${server_cpu[@]}" || {
    echo "program-fps: Xvfb did not start" >&2
    exit 1
}
export DISPLAY=$display SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$work/audio.raw

now() { date +%s.%N; }
frames() {
    local count=0
    [ -s "$work/frames" ] && read -r count _ <"$work/frames"
    echo "${count:-0}"
}

# Starts a run under the probe and waits for its first frame; sets run and started (exec time).
launch() {
    rm -f "$work/frames"
    started=$(now)
    ROADSIM_FRAME_COUNT_FILE=$work/frames LD_PRELOAD=$probe "${client_cpu[@]}" "$@" >"$work/out" 2>&1 &
    run=$!
    for _ in $(seq 2000); do [ "$(frames)" -gt 0 ] && return; sleep 0.005; done
    echo "no frame from $1" >&2
    exit 1
}

# Frames per second of the running run over the window, after a second to settle.
measure() {
    sleep 1
    local t0 c0 t1 c1
    t0=$(now); c0=$(frames)
    sleep "$window"
    t1=$(now); c1=$(frames)
    kill -TERM $run
    wait $run || true
    run=
    awk -v c="$((c1 - c0))" -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", c / (b - a) }'
}

cd "$root/data"
ratios=()
for pair in $(seq "$pairs"); do
    launch "$build/roadsim" c
    if [ "$pair" = 1 ]; then
        first_ms=$(awk -v a="$started" -v b="$(now)" 'BEGIN { printf "%.0f", (b - a) * 1000 }')
        echo "start-up: first frame after about $first_ms ms," \
            "$(grep -c '^getting: ' "$work/out" || true) bitmap loads (getting: lines)"
    fi
    # Up to 20 mph so that the course moves past.
    xdotool key --delay 10 $(printf 'Up %.0s' $(seq 20))
    program=$(measure)
    launch "$build/bench/reference_loop"
    reference=$(measure)
    ratio=$(awk -v p="$program" -v r="$reference" 'BEGIN { printf "%.3f", p / r }')
    ratios+=("$ratio")
    echo "pair $pair: program $program fps, reference $reference fps, ratio $ratio"
done
printf '%s\n' "${ratios[@]}" | sort -n | awk '
    { r[NR] = $1 }
    END { printf "ratio program / reference over %d pairs: median %.3f, spread %.3f to %.3f\n",
          NR, (NR % 2) ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2, r[1], r[NR] }'
