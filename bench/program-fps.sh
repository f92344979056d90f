#!/usr/bin/env bash
# Frames per second of a manual drive of the shipped course against the reference loop, side by
# side on one Xvfb server, and the time from exec to the first frame with its bitmap loads.
set -euo pipefail
build=${1:-build}
seconds=${2:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT

display=:$((90 + RANDOM % 800))
# No reset when the last client leaves: a new client would be hung up on while the server resets.
Xvfb "$display" -screen 0 800x600x16 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.05; done
export DISPLAY=$display SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$work/audio.raw

cd "$root/data"
ROADSIM_FLIP_LOG=$work/flips LD_PRELOAD=$build/bench/libflip_counter.so \
    "$build/roadsim" c >"$work/out" 2>&1 &
program=$!
# Up to 20 mph so that the course moves past.
sleep 1
xdotool key --delay 10 $(printf 'Up %.0s' $(seq 20))
sleep "$seconds"
kill -TERM $program
wait $program
read -r _ frames _ first_ms <"$work/flips"
loads=$(grep -c '^getting: ' "$work/out" || true)
drive_seconds=$((seconds + 1))
program_fps=$(awk -v f="$frames" -v s="$drive_seconds" -v t="$first_ms" 'BEGIN { printf "%.1f", f / (s - t / 1000) }')
echo "start-up: first frame after $first_ms ms, $loads bitmap loads (getting: lines)"
echo "program: $frames frames in about ${drive_seconds} s, $program_fps frames per second"

reference=$("$build/bench/reference_loop" "$seconds")
echo "$reference"
reference_fps=$(echo "$reference" | awk '{ print $(NF-3) }')
awk -v p="$program_fps" -v r="$reference_fps" 'BEGIN { printf "ratio program / reference: %.2f\n", p / r }'
