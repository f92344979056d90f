#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need; silent when all are present.
set -euo pipefail

packages=(cmake g++ make pkg-config libsdl1.2-dev libsdl-mixer1.2-dev libsdl-gfx1.2-dev libx11-dev
          libgtest-dev libbenchmark-dev xvfb xdotool imagemagick x11-apps x11-utils clang
          libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
