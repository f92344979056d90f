#!/usr/bin/env bash
# Unpacks Python packages from a Debian suite that the host's release lacks (Gymnasium from the
# testing suite for the module's tests; Debian 13's scikit-build-core for pip on Debian 12), with
# the pure-Python packages they depend on, into DIR/root, never installed. What they need compiled
# (NumPy) must be the host's own, built for the host's Python. Fetches once; later runs only print
# the folder to put on PYTHONPATH.
# Usage: tools/fetch-python-debs.sh DIR SUITE PACKAGE...
set -euo pipefail
usage="usage: fetch-python-debs.sh DIR SUITE PACKAGE..."
[ $# -gt 2 ] || { echo "$usage" >&2; exit 2; }
dir=$(mkdir -p "$1" && cd "$1" && pwd)
suite=$2
shift 2
site=$dir/root/usr/lib/python3/dist-packages
fail() {
    echo "fetch-python-debs.sh: $*" >&2
    exit 1
}

if [ "$(cat "$dir/packages" 2>/dev/null)" != "$suite $*" ] || [ ! -d "$site" ]; then
    source "$(dirname "$0")/private-apt.sh"
    # Testing's index expires within days, stale on a mirror that keeps a snapshot: its signature
    # is checked, not its age.
    private_apt "$dir/apt" deb "$suite" check-valid-until=no
    private apt-get update -qq || fail "cannot read the index of Debian's $suite suite"
    rm -rf "$dir/debs" "$dir/root" "$dir/root.part" "$dir/packages"
    mkdir -p "$dir/debs"
    queue=("$@")
    seen=" "
    while [ ${#queue[@]} -gt 0 ]; do
        package=${queue[0]}
        queue=("${queue[@]:1}")
        [[ "$seen" != *" $package "* ]] || continue
        seen+="$package "
        fields=$(private apt-cache show --no-all-versions "$package" 2>/dev/null) ||
            fail "Debian's $suite suite has no $package"
        if [ "$(sed -n 's/^Architecture: //p' <<<"$fields")" != all ]; then
            dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q ' installed$' ||
                fail "$package is not installed (tools/install-deps.sh test installs it)"
            continue
        fi
        (cd "$dir/debs" && private apt-get download -qq "$package") || fail "cannot download $package"
        # Alternatives take their first choice, but none where the host's Python is new enough
        # (python3-supported-min: the module needs 3.11 or later); the interpreter is the host's.
        mapfile -t -O "${#queue[@]}" queue < <(sed -n 's/^Depends: //p' <<<"$fields" | tr ',' '\n' |
            grep -v 'python3-supported-min' | sed 's/|.*//; s/(.*)//; s/:any//; s/ //g' |
            grep -vx 'python3')
    done
    for deb in "$dir"/debs/*.deb; do dpkg -x "$deb" "$dir/root.part"; done
    mv "$dir/root.part" "$dir/root"
    echo "$suite $*" >"$dir/packages"
    echo "fetch-python-debs.sh: unpacked $(cd "$dir/debs" && echo *.deb)" >&2
fi
echo "$site"
