#!/usr/bin/env bash
# Runs the built suite a second time with the SDL 1.2 compatibility layer over SDL2 in front of
# the system's SDL 1.2. The layer is unpacked into the build tree, not installed: installing it
# would replace the system's SDL.
# Usage: tests/compat/run-suite.sh BUILD_DIR
set -euo pipefail
build="$(cd "${1:?usage: run-suite.sh BUILD_DIR}" && pwd)"
layer="$build/sdl12-compat"

if [ ! -d "$layer/root" ]; then
    mkdir -p "$layer"
    # apt-get download leaves the file in the current directory, as whoever runs it.
    (cd "$layer" && apt-get download -q libsdl1.2-compat >/dev/null 2>&1) ||
        { echo "run-suite.sh: cannot download libsdl1.2-compat" >&2; exit 1; }
    dpkg -x "$layer"/libsdl1.2-compat_*.deb "$layer/root"
fi
library=$(find "$layer/root" -name 'libSDL-1.2.so.0' -print -quit)
[ -n "$library" ] || { echo "run-suite.sh: no libSDL-1.2.so.0 in the package" >&2; exit 1; }
echo "suite on $(basename "$(readlink -f "$library")") from $(basename "$layer"/libsdl1.2-compat_*.deb)"

export LD_LIBRARY_PATH="$(dirname "$library")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
# The program must really have the layer in front, or the run proves nothing.
ldd "$build/roadsim" | grep -q "$(dirname "$library")/libSDL-1.2.so.0" ||
    { echo "run-suite.sh: the program does not load the layer" >&2; exit 1; }
cd "$build" && ctest --no-tests=error --output-on-failure -j "$(nproc)"
