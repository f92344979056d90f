#!/usr/bin/env bash
# Soak of the real program under Xvfb: Enter/Escape cycles with a bound on memory growth, random
# keys in both modes, starts closed at random moments, and hostile data sets. Every run must end
# with status 0 and no sanitizer report from the project's own code.
#   soak.sh BUILD_DIR [short]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
short=${2:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/support/xvfb.sh"
if [ -n "$short" ]; then cycles=30 keys=1000 starts=8; else cycles=200 keys=10000 starts=50; fi
# The sanitizer builds run slower: their waits stretch as the end-to-end tests' do.
sanitizer=$(ldd "$build/roadsim" | grep -o 'lib[at]san' | head -1 || true)
case $sanitizer in libtsan) patience=5 ;; libasan) patience=3 ;; *) patience=1 ;; esac

work=$(mktemp -d)
xvfb=""
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

start_xvfb /dev/null || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=$display SDL_AUDIODRIVER=disk
export ASAN_OPTIONS="detect_leaks=0:log_path=$work/asan" UBSAN_OPTIONS="print_stacktrace=1:log_path=$work/ubsan"
export TSAN_OPTIONS="suppressions=$root/tests/e2e/tsan.supp:log_path=$work/tsan"

# Starts the program in directory $1 with the remaining arguments; sets $pid and $log.
start() {
    local dir=$1
    shift
    log=$work/run.$RANDOM
    (cd "$dir" && SDL_DISKAUDIOFILE=$work/audio.raw exec "$build/roadsim" "$@") >"$log.out" 2>"$log.err" &
    pid=$!
}

# Waits until the program has opened its window (its first frame is up).
wait_window() {
    for _ in $(seq $((400 * patience))); do
        xwininfo -root -children 2>/dev/null | grep -q '800x600+' && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.025
    done
    return 1
}

# Closes the program with SIGTERM and checks its status.
finish() {
    local what=$1
    kill -TERM "$pid" 2>/dev/null || true
    local status=0
    for _ in $(seq $((400 * patience))); do kill -0 "$pid" 2>/dev/null || break; sleep 0.025; done
    if kill -0 "$pid" 2>/dev/null; then
        fail "$what: still running $((10 * patience)) s after SIGTERM"
        kill -KILL "$pid"
    fi
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || fail "$what: exit status $status ($(head -c 300 "$log.err"))"
}

rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }

# 1. Enter/Escape cycles in automatic mode: memory after the last within 2 MB of after the 10th.
start "$root/data"
wait_window || fail "cycles: no window"
for i in $(seq "$cycles"); do
    xdotool key Return
    sleep 0.15
    xdotool key Escape
    sleep 0.15
    if [ "$i" -eq 10 ]; then sleep 0.3; tenth=$(rss_kb "$pid"); fi
done
sleep 0.3
last=$(rss_kb "$pid")
echo "cycles: $cycles Enter/Escape cycles, resident ${tenth} kB after the 10th, ${last} kB after the last"
# AddressSanitizer keeps freed memory in quarantine, so resident memory tells nothing there.
if [ "$sanitizer" = libasan ]; then
    echo "cycles: memory bound not checked under AddressSanitizer"
else
    [ $((last - tenth)) -le 2048 ] || fail "cycles: resident memory grew by $((last - tenth)) kB"
fi
finish cycles

# 2. Random keys from every key the program knows, in both modes.
known=(Return Escape a z s x d c f v g b r Up Down Left Right)
random_keys() {
    local n=$1 list=()
    for _ in $(seq "$n"); do list+=("${known[RANDOM % ${#known[@]}]}"); done
    echo "${list[@]}"
}
for mode in "" c; do
    start "$root/data" $mode
    wait_window || fail "keys $mode: no window"
    sent=0
    while [ "$sent" -lt "$keys" ]; do
        xdotool key --delay 1 $(random_keys 250)
        sent=$((sent + 250))
        kill -0 "$pid" 2>/dev/null || break
    done
    echo "keys: $sent random keys in $([ -n "$mode" ] && echo manual || echo automatic) mode"
    finish "keys ${mode:-automatic}"
done

# 3. Starts closed at a random moment 0 to 2 s after the program's code began (its first line):
# during loading, on the control screen or in a drive.
for i in $(seq "$starts"); do
    mode=""
    [ $((i % 2)) -eq 0 ] && mode=c
    start "$root/data" $mode
    for _ in $(seq $((400 * patience))); do [ -s "$log.out" ] && break; sleep 0.005; done
    sleep "$(awk -v r=$RANDOM 'BEGIN { printf "%.3f", r / 32767 * 2 }')"
    [ $((i % 3)) -eq 0 ] && xdotool key Return 2>/dev/null
    finish "start $i"
done
echo "starts: $starts starts closed at random moments"

# 4. Hostile data sets: each run must still open, drive and close with status 0.
hostile() {
    local name=$1
    local dir=$work/hostile-$name
    rm -rf "$dir"
    cp -r "$root/data" "$dir"
    echo "$dir"
}
check_hostile() {
    local name=$1 dir=$2
    start "$dir"
    wait_window || fail "hostile $name: no window"
    sleep 0.5
    xdotool key Return
    sleep 1
    xdotool key Escape
    sleep 0.3
    finish "hostile $name"
    start "$dir" c
    wait_window || fail "hostile $name (manual): no window"
    xdotool key Up Up Up Up Up Left
    sleep 1
    finish "hostile $name (manual)"
    echo "hostile: $name"
}
dir=$(hostile no-bitmaps); rm "$dir"/*.bmp; check_hostile no-bitmaps "$dir"
for sound in crash weepweep; do dir=$(hostile "no-$sound"); rm "$dir/$sound.wav"; check_hostile "no-$sound" "$dir"; done
dir=$(hostile empty-bitmaps); for f in "$dir"/*.bmp; do : >"$f"; done; check_hostile empty-bitmaps "$dir"
dir=$(hostile truncated-bitmaps); for f in "$dir"/*.bmp; do head -c 100 "$f" >"$f.cut"; mv "$f.cut" "$f"; done
check_hostile truncated-bitmaps "$dir"
for depth in 8 24 32; do
    dir=$(hostile "depth-$depth")
    for f in "$dir"/*.bmp; do
        case $depth in
            8) convert "$f" -colors 256 -type Palette BMP3:"$f" ;;
            24) convert "$f" -type TrueColor BMP3:"$f" ;;
            32) convert "$f" -type TrueColorAlpha -define bmp:format=bmp4 BMP:"$f" ;;
        esac
    done
    check_hostile "depth-$depth" "$dir"
done
dir=$(hostile unreadable-course); chmod 000 "$dir/courses.txt"; rm -f "$dir/courses.txt"; mkdir "$dir/courses.txt"
check_hostile unreadable-course "$dir"
dir=$(hostile large-course)
{
    echo "1 large 4"
    echo "0 0 0 20"; echo "1 0 400 30"; echo "2 200 400 20"; echo "3 20 -20 15"
    echo "2"
    echo "50000 -1 -2000 -2000 2000 2000"
    echo "50000 0.6 -1000 -1000 1000 1000"
} >"$dir/courses.txt"
check_hostile large-course "$dir"

reports=$(cat "$work"/asan* "$work"/ubsan* "$work"/tsan* 2>/dev/null | grep -c "/src/" || true)
[ "$reports" -eq 0 ] || { fail "sanitizer reports name the project's code:"; cat "$work"/asan* "$work"/ubsan* "$work"/tsan* | head -60; }
echo "soak: $failures failed"
[ "$failures" -eq 0 ]
