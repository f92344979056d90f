#!/usr/bin/env bash
# Installs the Debian or Ubuntu packages that one make target needs; silent when all are present.
# Usage: tools/install-deps.sh run|test|compat|bench|fuzz|package|windows|learn|docs
set -euo pipefail

need="${1:-run}"
# What building and running need: the toolchain, the three SDL 1.2 libraries (classic or the
# compatibility layer, whichever the release ships under these names), JSON and PNG for the lab.
packages=(cmake g++ make pkg-config libsdl1.2-dev libsdl-mixer1.2-dev libsdl-gfx1.2-dev libx11-dev
          nlohmann-json3-dev libpng-dev)
# The same needs in words and in pkg-config modules, for systems without apt.
words="CMake, g++, make, pkg-config, SDL 1.2 (or sdl12-compat), SDL_mixer 1.2, SDL_gfx, nlohmann-json, libpng"
modules=(sdl SDL_mixer SDL_gfx nlohmann_json libpng)
commands=(cmake c++ make pkg-config)
# Modules the system's Python 3 must import.
python_modules=""
case "$need" in
    run) ;;
    test | compat)
        # PyTorch for the learned driver's protocol test.
        packages+=(libgtest-dev xvfb xdotool imagemagick x11-apps x11-utils python3 chromium
                   python3-dev python3-pybind11 python3-numpy python3-pytest python3-mypy
                   python3-sphinx python3-torch)
        words+=", GoogleTest, Xvfb, xdotool, ImageMagick, xwd, xdpyinfo, Python 3, Chromium,"
        words+=" the Python module's build and tests: Python 3 headers, pybind11, NumPy, pytest,"
        words+=" mypy, Sphinx, PyTorch"
        modules+=(gtest)
        commands+=(Xvfb xdotool convert xwd xdpyinfo python3 chromium)
        python_modules="numpy, pybind11, pytest, mypy, sphinx, torch"
        # The compatibility layer, unpacked beside the build, runs over the system's SDL2.
        [ "$need" = test ] || packages+=(libsdl2-2.0-0) ;;
    bench)
        # The Python module's steps are measured too, through Gymnasium.
        packages+=(libbenchmark-dev xvfb x11-utils python3-dev python3-pybind11 python3-numpy)
        words+=", Google Benchmark, Xvfb, xdpyinfo, Python 3 headers, pybind11, NumPy"
        modules+=(benchmark)
        commands+=(Xvfb xdpyinfo)
        python_modules="numpy, pybind11" ;;
    fuzz)
        packages+=(clang)
        words+=", clang with its libFuzzer runtime"
        commands+=(clang++) ;;
    windows)
        # The cross toolchain, the tools that fetch and build Debian's sources, GoogleTest's
        # sources for the suites' Windows build, and Wine with the X tools for the checks; the
        # test target's packages come with make test-windows.
        packages+=(g++-mingw-w64-x86-64-posix dpkg-dev python3 googletest wine wine64 xvfb xdotool
                   imagemagick x11-utils unzip)
        words+=", MinGW-w64 (g++-mingw-w64-x86-64-posix), dpkg-dev, Python 3, GoogleTest's sources"
        words+=" (/usr/src/googletest), Wine, Xvfb, xdotool, ImageMagick, xdpyinfo, unzip"
        commands+=(x86_64-w64-mingw32-g++-posix dpkg-source python3 wine Xvfb xdotool convert unzip)
        ;;
    learn)
        # It learns through the Python module.
        packages+=(python3-torch python3-numpy python3-dev python3-pybind11)
        words+=", PyTorch and NumPy for the system's Python 3, Python 3 headers, pybind11"
        python_modules="numpy, torch, pybind11" ;;
    docs)
        # The reference is read from the built module, with Gymnasium for its environments.
        packages+=(python3-dev python3-pybind11 python3-numpy python3-sphinx)
        words+=", Python 3 headers, pybind11, NumPy, Sphinx"
        python_modules="numpy, pybind11, sphinx" ;;
    package)
        # The package carries the Python module too, which is built only where pybind11 is found.
        packages+=(dpkg-dev file python3-dev python3-pybind11)
        words+=", dpkg-dev, file, Python 3 headers, pybind11"
        commands+=(dpkg-shlibdeps file)
        python_modules="pybind11" ;;
    *)
        echo "install-deps.sh: unknown target '$need' (run, test, compat, bench, fuzz, package," \
            "windows, learn or docs)" >&2
        exit 2 ;;
esac

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
updated=""
install() {
    if [ -n "$sudo" ] && ! command -v sudo >/dev/null; then
        echo "install-deps.sh: run as root, or install sudo, to install: $*" >&2
        exit 1
    fi
    echo "installing: $*"
    # sudo resets the environment; env carries the non-interactive mode across.
    [ -n "$updated" ] || $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    updated=1
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" \
        >/dev/null
}

if ! command -v apt-get >/dev/null; then
    missing=""
    for c in "${commands[@]}"; do command -v "$c" >/dev/null || missing=1; done
    command -v pkg-config >/dev/null && pkg-config --exists "${modules[@]}" || missing=1
    [ -z "$python_modules" ] || /usr/bin/python3 -c "import $python_modules" 2>/dev/null || missing=1
    [ -z "$missing" ] && exit 0
    echo "install-deps.sh: no apt-get here; install with your package manager: $words" >&2
    exit 1
fi

# Quick answer by name; a name that only a virtual package carries (the compatibility layer's
# libsdl1.2-dev on some releases) is settled by asking apt whether it would install anything.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
    sed -n 's/ install ok installed$//p' || true)
absent=()
for p in "${packages[@]}"; do grep -qx "$p" <<<"$installed" || absent+=("$p"); done
if [ ${#absent[@]} -gt 0 ] &&
    { ! plan=$(apt-get -s install "${absent[@]}" 2>/dev/null) || grep -q '^Inst ' <<<"$plan"; }; then
    install "${absent[@]}"
fi

# libFuzzer's runtime comes in a package named after clang's major version: ask the installed
# clang whether it can link a fuzzer, and fetch the matching runtime when it cannot.
if [ "$need" = fuzz ]; then
    probe=$(mktemp -d)
    trap 'rm -rf "$probe"' EXIT
    echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
        >"$probe/probe.cpp"
    if ! clang++ -fsanitize=fuzzer "$probe/probe.cpp" -o "$probe/probe" 2>/dev/null; then
        major=$(clang++ -dumpversion | cut -d. -f1)
        install "libclang-rt-$major-dev"
    fi
fi
