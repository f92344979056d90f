#!/usr/bin/env bash
# Fresh-machine check: in a minimal Debian root with only git and make added, clones the commit
# under test and does what the README tells a new user: `make run` must show the control screen,
# then `make test` must pass. Then `make package` there, and the Python module installed by pip into
# a virtual environment, and from a wheel into another, must drive; the .deb installed by apt into a
# second bare root must show the control screen too, with nothing but its declared dependencies,
# and its Python module must drive.
#   fresh-machine.sh SUITE          (bookworm, trixie, ...; needs root for debootstrap and chroot)
# The bare base of each suite is cached in ROADSIM_FRESH_CACHE (default ~/.cache/roadsim-fresh),
# with the downloaded packages; ROADSIM_FRESH_KEEP=1 keeps the roots for a look afterwards.
set -uo pipefail

suite=${1:?usage: fresh-machine.sh SUITE}
repo=$(cd "$(dirname "$0")/../.." && pwd)
source "$repo/tests/support/xvfb.sh"
cache=${ROADSIM_FRESH_CACHE:-$HOME/.cache/roadsim-fresh}
arch=$(dpkg --print-architecture)
work=""
root=""
xvfb=""
step_pid=""
started=$(date +%s)
phase_start=$started
timings=()

fail() {
    echo "fresh-machine $suite: FAIL: $*"
    exit 1
}

phase() {
    echo "=== fresh-machine $suite: $1"
    phase_start=$(date +%s)
    phase_name=$1
}

phase_done() {
    local took=$(($(date +%s) - phase_start))
    timings+=("$(printf '%5d s  %s' "$took" "$phase_name")")
    echo "=== fresh-machine $suite: $phase_name took $took s"
}

# Every process inside one of the roots: all of them were started by this script.
root_processes() {
    local p
    for p in /proc/[0-9]*; do
        case $(readlink "$p/root" 2>/dev/null) in "$work"/*) echo "${p#/proc/}" ;; esac
    done
}

# Mount points below the work directory, deepest first.
mounts_below_work() {
    findmnt -rn -o TARGET | awk -v w="$work/" 'index($0, w) == 1' | sort -r
}

cleanup() {
    local status=$?
    trap - EXIT INT TERM
    [ -n "$step_pid" ] && kill "$step_pid" 2>/dev/null && wait "$step_pid" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    if [ -n "$work" ]; then
        local pids target
        pids=$(root_processes)
        if [ -n "$pids" ]; then
            kill -TERM $pids 2>/dev/null
            sleep 2
            pids=$(root_processes)
            [ -n "$pids" ] && kill -KILL $pids 2>/dev/null && sleep 1
        fi
        for target in $(mounts_below_work); do
            umount "$target" 2>/dev/null || umount -l "$target" ||
                echo "fresh-machine $suite: cannot unmount $target"
        done
        if [ -n "$(mounts_below_work)" ]; then
            echo "fresh-machine $suite: FAIL: still mounted below $work, left it in place"
            status=1
        elif [ "${ROADSIM_FRESH_KEEP:-}" = 1 ]; then
            echo "fresh-machine $suite: kept $work"
        else
            rm -rf --one-file-system "$work"
        fi
    fi
    exit "$status"
}

# Runs a long command with its output in a log, in the background so that a signal reaches the
# traps at once rather than when the command ends; with `show`, the log is also printed as it grows.
#   step LOG [show] COMMAND...
step() {
    local log=$1 show=""
    shift
    [ "$1" = show ] && show=1 && shift
    "$@" >"$log" 2>&1 &
    step_pid=$!
    local status=0 follower=""
    if [ -n "$show" ]; then
        tail -n +1 -f --pid="$step_pid" "$log" &
        follower=$!
    fi
    wait "$step_pid" || status=$?
    step_pid=""
    [ -z "$follower" ] || wait "$follower"
    return "$status"
}

# A command inside the current root, as root with a login's plain environment.
in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash TERM=dumb \
        LANG=C.UTF-8 PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

# The mirrors the host's apt uses: "URI SUITE" for every suite of every deb source.
host_sources() {
    cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '
        BEGIN { RS = ""; FS = "\n" }
        {
            types = uris = suites = ""
            for (i = 1; i <= NF; i++) {
                if ($i ~ /^Types:/) types = $i
                if ($i ~ /^URIs:/) { uris = $i; sub(/^URIs:[ \t]*/, "", uris) }
                if ($i ~ /^Suites:/) { suites = $i; sub(/^Suites:[ \t]*/, "", suites) }
            }
            if (types !~ /[ \t]deb([ \t]|$)/) next
            split(uris, u, /[ \t]+/)
            n = split(suites, s, /[ \t]+/)
            for (j = 1; j <= n; j++) print u[1], s[j]
        }'
    awk '$1 == "deb" { sub(/\[[^]]*\][ \t]*/, ""); print $2, $3 }' /etc/apt/sources.list 2>/dev/null
}

# Makes the current root a bare system of the suite from the cached base (debootstrap the first
# time), with the host's mirrors, and mounts what programs inside expect.
bare_root() {
    local base=$cache/$suite-$arch-base.tar
    mkdir -p "$root"
    if [ -f "$base" ]; then
        tar -C "$root" --numeric-owner -xpf "$base" || fail "cannot unpack $base"
    else
        step "$logs/debootstrap.log" \
            debootstrap --variant=minbase --arch="$arch" "$suite" "$root" "$mirror" ||
            fail "debootstrap $suite failed: $(tail -n 1 "$logs/debootstrap.log")"
        { tar -C "$root" --numeric-owner --one-file-system -cpf "$base.part" . &&
            mv "$base.part" "$base"; } || fail "cannot cache the base in $base"
    fi
    {
        echo "deb $mirror $suite main"
        echo "deb $mirror $suite-updates main"
        [ -n "$security" ] && echo "deb $security $suite-security main"
    } >"$root/etc/apt/sources.list"
    cp -L /etc/resolv.conf "$root/etc/resolv.conf"
    # No service starts inside the root: it would outlive the check and hold the mounts.
    printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
    chmod 755 "$root/usr/sbin/policy-rc.d"
    mount -t proc proc "$root/proc" &&
        mount -t sysfs sysfs "$root/sys" &&
        mount --bind /dev "$root/dev" &&
        mount --make-private "$root/dev" &&
        mount --bind /dev/pts "$root/dev/pts" &&
        mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm" &&
        mount -t tmpfs -o mode=1777 tmpfs "$root/tmp" &&
        mount --bind "$cache/$suite-$arch-archives" "$root/var/cache/apt/archives" ||
        fail "cannot mount the root's file systems"
}

# Runs the shell command in the current root on a display of the host until the program's window
# shows the control screen of the data set in DATA (a directory in the root), then closes the
# program with SIGTERM, which must end the command with status 0.
#   control_screen NAME DATA COMMAND
control_screen() {
    local name=$1 data=$root$2 command=$3
    local display
    start_xvfb "$logs/$name-xvfb.log" || fail "Xvfb did not start"
    # The roots share the host's network namespace, so the program reaches the host's Xvfb
    # through its abstract socket; nothing of the display is installed or mounted in the root.
    in_root DISPLAY="$display" bash -c "$command" >"$logs/$name.log" 2>&1 &
    local run=$!
    # Installing and building may come first: allow them half an hour.
    local deadline=$(($(date +%s) + 1800))
    until xwininfo -display "$display" -root -children 2>/dev/null | grep -q '800x600+'; do
        kill -0 "$run" 2>/dev/null ||
            { cat "$logs/$name.log"; fail "$name ended before its window opened"; }
        [ "$(date +%s)" -lt "$deadline" ] ||
            { cat "$logs/$name.log"; fail "$name opened no window in 30 min"; }
        sleep 1
    done
    # A few redraws, so that the screen is the control screen and not a first partial frame.
    sleep 2
    import -display "$display" -window root "$logs/$name.png" || fail "cannot take a screenshot"
    local banner panel
    banner=$(compare -fuzz 4% -metric AE -extract 800x100+0+0 "$logs/$name.png" \
        "$data/logo.bmp" null: 2>&1 >/dev/null | cut -d' ' -f1)
    panel=$(compare -fuzz 4% -metric AE -extract 800x500+0+100 "$logs/$name.png" \
        "$data/control.bmp" null: 2>&1 >/dev/null | cut -d' ' -f1)
    # The five slider pointers cover less than 2% of the panel.
    [ "$banner" = 0 ] && [ "${panel:-400000}" -lt 8000 ] ||
        fail "$name shows no control screen: $banner banner, $panel panel pixels differ from $2"
    local pid program=""
    for pid in $(root_processes); do
        [ "$(readlink "/proc/$pid/root")" = "$root" ] &&
            [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = roadsim ] && program=$pid
    done
    [ -n "$program" ] || fail "the window is up but no roadsim process runs in the root"
    kill -TERM "$program"
    local status=0
    wait "$run" || status=$?
    [ "$status" -eq 0 ] ||
        { cat "$logs/$name.log"; fail "$name ended with status $status after SIGTERM"; }
    kill "$xvfb" && wait "$xvfb" 2>/dev/null
    xvfb=""
    echo "control screen seen: banner identical, $panel of 400000 panel pixels under the pointers"
}

# pip's way, as the README gives it, in the root where make test passed, without an index: the
# build tools are Debian 13's (its own package there, unpacked on Debian 12), NumPy the system's
# through --system-site-packages, Gymnasium the one the tests unpacked. Prints "version V" for the
# package in each environment and the wheel's name.
pip_install() {
    in_root bash -euc '
        export DEBIAN_FRONTEND=noninteractive
        apt-get install -y -qq python3-venv python3-pip >/dev/null
        cd /root/roadsim
        tools=""
        if apt-cache show python3-scikit-build-core >/dev/null 2>&1; then
            apt-get install -y -qq python3-scikit-build-core >/dev/null
        else
            tools=$(tools/fetch-python-debs.sh /root/pip-tools trixie python3-scikit-build-core)
        fi
        gym=$PWD/build/python-deps/root/usr/lib/python3/dist-packages
        drive="import os, roadsim
d = roadsim.Drive(os.path.join(roadsim.DATA, \"courses.txt\"), images=roadsim.DATA,
                  frame_size=(80, 60))
d.reset(1)
d.step(d.expert())
assert d.frame().shape == (60, 80, 3) and d.frame().any(), \"a black frame\"
assert roadsim.__file__.startswith(os.environ[\"VIRTUAL_ENV\"]), roadsim.__file__
print(\"version\", roadsim.__version__)"
        python3 -m venv --system-site-packages /root/rl
        PYTHONPATH=$tools /root/rl/bin/pip install -q --no-build-isolation .
        cd /tmp
        VIRTUAL_ENV=/root/rl /root/rl/bin/python -c "$drive"
        PYTHONPATH=$gym /root/rl/bin/python /root/roadsim/examples/gym/autopilot.py trefoil --seed 2
        /root/rl/bin/pip uninstall -q -y roadsim
        left=$(find /root/rl -iname "*roadsim*")
        [ -z "$left" ] || { echo "pip uninstall left $left"; exit 1; }
        cd /root/roadsim
        PYTHONPATH=$tools /root/rl/bin/pip wheel -q --no-build-isolation --no-deps -w /root/wheels .
        echo "wheel" /root/wheels/roadsim-*.whl
        python3 -m venv --system-site-packages /root/rl2
        /root/rl2/bin/pip install -q /root/wheels/roadsim-*.whl
        cd /tmp
        VIRTUAL_ENV=/root/rl2 /root/rl2/bin/python -c "$drive"'
}

# The whole check in one function, which bash reads in full before it runs: editing the file
# during a run cannot derail it.
main() {
    [ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, mount, chroot)"
    commit=$(git -C "$repo" rev-parse HEAD) || fail "$repo is not a git checkout"

    # The host's own tools for building the roots and looking at their windows.
    local host_tools=(debootstrap xvfb x11-utils imagemagick) missing=() p
    for p in "${host_tools[@]}"; do
        dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "installing on the host: ${missing[*]}"
        { apt-get update -qq &&
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"; } >/dev/null ||
            fail "cannot install ${missing[*]} on the host"
    fi

    mirror=$(host_sources | awk '$2 !~ /-security$/ { print $1; exit }')
    security=$(host_sources | awk '$2 ~ /-security$/ { print $1; exit }')
    [ -n "$mirror" ] || fail "no Debian mirror in the host's apt sources"

    mkdir -p "$cache/$suite-$arch-archives" || fail "cannot make $cache"
    work=$(mktemp -d "${TMPDIR:-/var/tmp}/roadsim-fresh.XXXXXX") ||
        fail "cannot make a work directory"
    logs=$work/logs
    mkdir -p "$logs"

    phase "bare $suite root"
    root=$work/root
    bare_root
    phase_done

    phase "git and make"
    step "$logs/apt.log" in_root bash -c 'apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq git make ca-certificates' ||
        fail "cannot install git and make: $(tail -n 1 "$logs/apt.log")"
    phase_done

    phase "clone of $commit"
    # Pushed by hash: a detached checkout, as CI may have, gives exactly its commit too.
    git init -q --bare "$root/srv/roadsim.git" &&
        git -C "$repo" push -q "$root/srv/roadsim.git" "$commit:refs/heads/under-test" &&
        git -C "$root/srv/roadsim.git" symbolic-ref HEAD refs/heads/under-test &&
        in_root git clone -q /srv/roadsim.git /root/roadsim ||
        fail "cannot clone the commit under test"
    phase_done

    phase "make run"
    control_screen make-run /root/roadsim/data 'cd /root/roadsim && exec make run'
    phase_done

    phase "make test"
    local status=0
    step "$logs/test.log" show in_root bash -c 'cd /root/roadsim && make test' || status=$?
    [ "$status" -eq 0 ] ||
        fail "make test ended with status $status: $(grep -m1 'tests failed' "$logs/test.log")"
    phase_done

    phase "make package"
    step "$logs/package.log" in_root bash -c 'cd /root/roadsim && make package' ||
        { cat "$logs/package.log"; fail "make package failed"; }
    local debs=("$root"/root/roadsim/build/roadsim_*.deb)
    [ -f "${debs[0]}" ] || fail "make package made no .deb"
    echo "$(basename "${debs[0]}"): Depends: $(dpkg-deb -f "${debs[0]}" Depends)"
    phase_done

    phase "pip install ."
    step "$logs/pip.log" show pip_install ||
        fail "pip's install failed: $(grep -v '^lap' "$logs/pip.log" | tail -n 1)"
    # One version: the package's in both environments, the wheel's, the .deb's and the lab's.
    local versions
    versions=$(
        sed -n 's/^version //p' "$logs/pip.log"
        sed -n 's/^wheel .*roadsim-\([^-]*\)-.*/\1/p' "$logs/pip.log"
        dpkg-deb -f "${debs[0]}" Version
        in_root /root/roadsim/build/roadsim-lab --version | cut -d' ' -f2
    )
    [ "$(sort -u <<<"$versions" | wc -l)" = 1 ] && [ "$(wc -l <<<"$versions")" = 5 ] ||
        fail "the versions differ: $(echo $versions)"
    echo "one version everywhere: $(head -n 1 <<<"$versions")"
    phase_done

    phase "the .deb in a bare root"
    root=$work/installed
    bare_root
    cp "${debs[0]}" "$root/tmp/roadsim.deb"
    step "$logs/install.log" in_root bash -c 'apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/roadsim.deb' ||
        fail "apt cannot install the .deb: $(tail -n 1 "$logs/install.log")"
    control_screen installed /usr/share/roadsim 'cd / && exec roadsim'
    # The Python module too, on what the .deb brought along (NumPy by recommendation).
    step "$logs/module.log" in_root python3 -c 'import os, roadsim
drive = roadsim.Drive(os.path.join(roadsim.DATA, "courses.txt"))
drive.reset(1)
drive.step(drive.expert())
print("the module drives", drive.course_name, "from", os.path.dirname(roadsim.__file__))' ||
        { cat "$logs/module.log"; fail "the installed Python module cannot drive"; }
    cat "$logs/module.log"
    phase_done

    echo "=== fresh-machine $suite: passed for $commit in $(($(date +%s) - started)) s"
    printf '%s\n' "${timings[@]}"
}

trap cleanup EXIT
trap 'echo "fresh-machine $suite: FAIL: interrupted"; exit 130' INT
trap 'echo "fresh-machine $suite: FAIL: terminated"; exit 143' TERM
main
