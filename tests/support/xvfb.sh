# A private Xvfb for the scripts that need one. The server picks a free display number itself
# (-displayfd), so it never meets another server on a guessed one.
# Sourced; `start_xvfb LOG [PREFIX...]` starts it (under PREFIX, such as taskset) and sets
# `display` and `xvfb` (its pid); it fails when the server is not up within ten seconds. The
# screen is 800x600x16 unless xvfb_screen names another.
start_xvfb() {
    local log=$1 ready number=
    shift
    ready=$(mktemp -u) && mkfifo "$ready" || return 1
    # No reset when the last client leaves: a new client would be hung up on while it resets.
    "$@" Xvfb -displayfd 3 -screen 0 "${xvfb_screen:-800x600x16}" -nolisten tcp -noreset 3>"$ready" >"$log" 2>&1 &
    xvfb=$!
    read -r -t 10 number <"$ready" || true
    rm -f "$ready"
    [ -n "$number" ] || return 1
    display=:$number
}
