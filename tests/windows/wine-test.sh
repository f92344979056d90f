#!/usr/bin/env bash
# The Windows zip under Wine on Xvfb, beside the Linux build in the same run: unpacked into a
# folder whose name has a space and non-ASCII letters, the control screen pixel for pixel, a
# drive, Escape, closing, driving by hand, no audio device, the lab's figures and files, its
# controllers and their failures, the rotozoomer byte for byte, and the Windows build's own
# GoogleTest suites.
# Usage: tests/windows/wine-test.sh LINUX_BUILD WINDOWS_BUILD
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
prefix=$(grep '^ROADSIM_WINDOWS_PREFIX:' "$windows/CMakeCache.txt" | cut -d= -f2)
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb=
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
passed=0
failed=0
check() {
    if "${@:2}"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $1"
    fi
}
not() { ! "$@"; }

folder="$work/Spiele für Ærø"
mkdir -p "$folder/my controllers"
unzip -q "$windows"/roadsim-*-win64.zip -d "$folder"
app=$(echo "$folder"/roadsim-*-win64)
x86_64-w64-mingw32-g++-posix -O2 -static -I"$prefix/include" "$root/tests/windows/controller.cpp" \
    -o "$folder/my controllers/controller.exe"
g++ -O2 "$root/tests/windows/controller.cpp" -o "$work/controller"

# A desktop of 24 bits, as Windows' are, with room for Wine's window beside its corner: both builds
# show their 5-6-5 surface through SDL's conversion. (On a 16-bit display Wine's GDI loses the
# lowest bit of green.)
source "$root/tests/support/xvfb.sh"
xvfb_screen=1024x768x24 start_xvfb "$work/xvfb.log"
export DISPLAY=$display
wineboot -i >/dev/null 2>&1
# No audio driver at all: the prefix has no sound device.
wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d "" /f >/dev/null 2>&1

window() { xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -1; }
shot() { import -window "$1" "$work/$2.png"; }
same() { compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>/dev/null; }
# A drawn picture (not the blank window before it) that stays the same over two shots, as the
# control screen does.
steady() {
    rm -f "$work/before.png"
    for _ in $(seq 40); do
        sleep 0.5
        shot "$1" "$2"
        [ -f "$work/before.png" ] && same "$2" before &&
            [ "$(identify -format %k "$work/$2.png")" -gt 16 ] && return 0
        cp "$work/$2.png" "$work/before.png"
    done
    return 1
}
# Starts the game under Wine in its folder with the options given; its streams and status go to
# game.out, game.err and game.status.
game() {
    rm -f "$work/game.status"
    (
        cd "$app"
        status=0
        wine roadsim.exe "$@" >"$work/game.out" 2>"$work/game.err" || status=$?
        echo $status >"$work/game.status"
    ) &
    win=$(window SDL_app)
}
close() {
    wine taskkill /im roadsim.exe >/dev/null 2>&1
    for _ in $(seq 100); do [ -f "$work/game.status" ] && break; sleep 0.2; done
    [ "$(cat "$work/game.status" 2>/dev/null)" = 0 ]
}

# The control screen of both builds, taken under the same server.
(cd "$root/data" && exec "$linux/roadsim" s >/dev/null 2>&1) &
check "the Linux build shows its control screen" steady "$(xdotool search --sync --onlyvisible \
    --pid $! 2>/dev/null | head -1)" linux-control
kill $!
game
check "the control screen appears" steady "$win" control
# The two widen the 5-6-5 pixels to 8 bits each in their own way: compared in 5-6-5 bits.
check "it equals the Linux build's pixel for pixel" python3 -c 'import subprocess, sys
a, b = (subprocess.run(["convert", f, "-depth", "8", "rgb:-"], capture_output=True).stdout
        for f in sys.argv[1:])
sys.exit(len(a) != 1440000 or any(x >> (2 if i % 3 == 1 else 3) != y >> (2 if i % 3 == 1 else 3)
                                  for i, (x, y) in enumerate(zip(a, b))))' "$work/control.png" \
    "$work/linux-control.png"
xdotool mousemove 400 300 key Return
sleep 2
shot "$win" drive1
sleep 0.5
shot "$win" drive2
check "Enter starts a drive that moves" not same drive1 drive2
check "the drive is not the control screen" not same drive1 control
xdotool key Escape
check "Escape brings the control screen back" steady "$win" back
check "the same control screen" same back control
check "closing the window ends with status 0" close
check "start-up lines on the standard output" grep -q '^getting: tire1.bmp' "$work/game.out"
check "without an audio device it says so" grep -q '^Cannot open mixer audio ' "$work/game.err"

game c
check "manual mode shows a still car" steady "$win" manual
xdotool mousemove 400 300 key --delay 20 Up Up Up Up Up Up Up Up Up Up
sleep 1
shot "$win" manual1
sleep 0.5
shot "$win" manual2
check "the Up arrow moves the car" not same manual1 manual2
check "closing the manual drive ends with status 0" close

# The lab: each build's figures without their timing line, Windows' line ends taken off.
lab() {
    (cd "$app" && wine roadsim-lab.exe "$@" 2>>"$work/lab.err" | tr -d '\r' | grep -v '^simulated')
}
linux_lab() { (cd "$root/data" && "$linux/roadsim-lab" "$@" | grep -v '^simulated'); }
check "the lab's figures equal Linux's" diff <(lab courses.txt --laps 3 --csv w.csv) \
    <(linux_lab courses.txt --laps 3 --csv "$work/l.csv")
check "so do they with another seed" diff <(lab courses.txt --seed 4000000000) \
    <(linux_lab courses.txt --seed 4000000000)
# Different maths libraries may differ in the last bits of a double: say where and by how much.
tr -d '\r' <"$app/w.csv" | paste -d, - "$work/l.csv" | awk -F, 'NR > 1 {
    n = NF / 2; for (i = 1; i <= n; i++) { d = $i - $(i + n); if (d < 0) d = -d
    if (d > worst) { worst = d; column = i } if (d > 0) rows[NR] = 1 } }
    END { printf "trace: %d of %d rows differ, at most by %g (column %d)\n", length(rows), NR - 1,
    worst, column }'
check "--record and --map run" lab courses.txt --laps 1 --record rec --map map.png >/dev/null
check "the map is a readable PNG" identify "$app/map.png" >/dev/null
linux_lab courses.txt --laps 1 --map "$work/map.png" >/dev/null
check "the map equals Linux's pixel for pixel" compare -metric AE "$app/map.png" "$work/map.png" \
    null: 2>/dev/null
frames=$(ls "$app/rec/frames" | wc -l)
check "every recorded frame is in the log" [ "$frames" -gt 1000 -a \
    "$(wc -l <"$app/rec/driving_log.csv")" = $((frames + 1)) ]
check "the recorded frames are readable PNGs" identify "$app/rec/frames/000001.png" \
    "$app/rec/frames/$(printf %06d "$frames").png" >/dev/null

# A controller built for Windows in a folder with a space in its name, driving a lap as the same
# controller built for Linux does; then the failures, each with its status and a complete trace.
check "a Windows controller drives a lap as on Linux" diff \
    <(lab courses.txt --controller '"..\my controllers\controller.exe"') \
    <(linux_lab courses.txt --controller "$work/controller")
check "the course maker writes the same course under a non-ASCII name" diff \
    <(lab --make-course 3 "új pálya.txt" >/dev/null && tr -d '\r' <"$app/új pálya.txt") \
    <(linux_lab --make-course 3 "$work/új pálya.txt" >/dev/null && cat "$work/új pálya.txt")
check "the leaderboard ranks the autopilot and the controller as on Linux" diff \
    <(lab --board courses.txt --driver 'mine="..\my controllers\controller.exe"' --seeds 1,2 \
        --report board >/dev/null && tr -d '\r' <"$app/board/results.csv") \
    <(linux_lab --board courses.txt --driver "mine=$work/controller" --seeds 1,2 \
        --report "$work/board" >/dev/null && cat "$work/board/results.csv")
for failure in "no-such-controller:4" "exit /b 3:5" \
    "echo garbage & \"..\\my controllers\\controller.exe\" hang:6" \
    "\"..\\my controllers\\controller.exe\" hang:7"; do
    status=0
    (cd "$app" && wine roadsim-lab.exe courses.txt --csv trace.csv --controller "${failure%:*}" \
        --controller-timeout 0.5 >/dev/null 2>>"$work/lab.err") || status=$?
    check "controller ${failure%:*} ends with status ${failure##*:}" [ $status = "${failure##*:}" ]
    check "its trace is complete" [ -s "$app/trace.csv" -a -z "$(tail -c 1 "$app/trace.csv")" ]
done
check "a hanging controller is ended with everything it started" \
    [ -z "$(ps -eo stat=,comm= | awk '$1 !~ /^Z/ && $2 == "controller.exe"')" ]
check "the controller's failures are explained" grep -q 'at step 1: no reply within' "$work/lab.err"

# The rotozoomer rebuilt for Windows turns the shipped tyres as the Linux library does.
x86_64-w64-mingw32-g++-posix -O2 "$root/tests/windows/rotozoom-dump.cpp" \
    -o "$app/rotozoom-dump.exe" -static-libgcc -static-libstdc++ \
    $(PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" pkg-config --cflags --libs sdl SDL_gfx)
g++ -O2 "$root/tests/windows/rotozoom-dump.cpp" -o "$work/rotozoom-dump" \
    $(pkg-config --cflags --libs sdl SDL_gfx)
(cd "$app" && wine rotozoom-dump.exe turned.raw tire1.bmp tire2.bmp gauge.bmp)
(cd "$root/data" && "$work/rotozoom-dump" "$work/turned.raw" tire1.bmp tire2.bmp gauge.bmp)
check "the rotozoomer's output is the Linux library's, byte for byte" cmp -s "$app/turned.raw" \
    "$work/turned.raw"

# The Windows build's own suites, each test one check, from a folder of Wine's; the DLLs found
# where they were built.
export WINEPATH="$(winepath -w "$prefix/bin");$(winepath -w /usr/x86_64-w64-mingw32/lib)"
for suite in gfx sim lab; do
    log="$work/$suite.log"
    (cd "$work" && wine "$windows/tests/$suite/${suite}_tests.exe" --gtest_brief=1 2>&1) |
        tr -d '\r' >"$log" || true
    ran=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\.$/\1/p' "$log")
    lost=$(awk '/^\[  FAILED  \] [A-Za-z]/ {print $4}' "$log" | sort -u | wc -l)
    skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\{0,1\}.*/\1/p' "$log")
    # A suite that ends before its summary counts as one failure.
    [ -n "$ran" ] || { lost=1; tail -20 "$log"; }
    passed=$((passed + ${ran:-0}))
    failed=$((failed + ${lost:-0}))
    grep '^\[  FAILED  \] [A-Za-z]' "$log" | sort -u || true
    echo "${suite}_tests under Wine: ${ran:-0} passed, ${lost:-0} failed, ${skipped:-0} skipped"
done
check "the suites' controllers are ended with everything they started" \
    [ -z "$(ps -eo stat=,comm= | awk '$1 !~ /^Z/ && $2 == "controller.exe"')" ]

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
