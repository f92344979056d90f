#!/usr/bin/env bash
# Unpacks Gymnasium for the Python module's tests from Debian's testing suite, which packages it
# where the releases do not: python3-gymnasium and the pure-Python packages it depends on, unpacked
# into DIR/root, never installed. What it needs compiled (NumPy) must be the host's own, built for
# the host's Python. Fetches once; later runs only print the folder to put on PYTHONPATH.
# Usage: tools/fetch-gymnasium.sh DIR
set -euo pipefail
dir=$(mkdir -p "${1:?usage: fetch-gymnasium.sh DIR}" && cd "$1" && pwd)
site=$dir/root/usr/lib/python3/dist-packages
fail() {
    echo "fetch-gymnasium.sh: $*" >&2
    exit 1
}

if [ ! -d "$site/gymnasium" ]; then
    source "$(dirname "$0")/private-apt.sh"
    # Testing's index expires within days, stale on a mirror that keeps a snapshot: its signature
    # is checked, not its age.
    private_apt "$dir/apt" deb testing check-valid-until=no
    private apt-get update -qq || fail "cannot read the index of Debian's testing suite"
    rm -rf "$dir/debs" "$dir/root" "$dir/root.part"
    mkdir -p "$dir/debs"
    queue=(python3-gymnasium)
    seen=" "
    while [ ${#queue[@]} -gt 0 ]; do
        package=${queue[0]}
        queue=("${queue[@]:1}")
        [[ "$seen" != *" $package "* ]] || continue
        seen+="$package "
        fields=$(private apt-cache show --no-all-versions "$package" 2>/dev/null) ||
            fail "Debian's testing suite has no $package"
        if [ "$(sed -n 's/^Architecture: //p' <<<"$fields")" != all ]; then
            dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q ' installed$' ||
                fail "$package is not installed (tools/install-deps.sh test installs it)"
            continue
        fi
        (cd "$dir/debs" && private apt-get download -qq "$package") || fail "cannot download $package"
        # Alternatives take their first choice; the interpreter itself is the host's.
        mapfile -t -O "${#queue[@]}" queue < <(sed -n 's/^Depends: //p' <<<"$fields" | tr ',' '\n' |
            sed 's/|.*//; s/(.*)//; s/:any//; s/ //g' | grep -vx 'python3')
    done
    for deb in "$dir"/debs/*.deb; do dpkg -x "$deb" "$dir/root.part"; done
    mv "$dir/root.part" "$dir/root"
    echo "fetch-gymnasium.sh: unpacked $(cd "$dir/debs" && echo *.deb)" >&2
fi
echo "$site"
