#!/usr/bin/env bash
# Installs the Debian packages the project needs (as root or through sudo),
# then configures and builds into the given directory (default: build/).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${1:-$root/build}
shift || true

packages=(
    cmake g++ make pkg-config
    libglfw3-dev python3-glad libglm-dev libstb-dev libgtest-dev
    libgl1-mesa-dri libglx-mesa0 xvfb xauth
    libcli11-dev xdotool python3 python3-xlib python3-pil apitrace hyperfine time
    valgrind clang libclang-rt-14-dev help2man man-db ffmpeg
    libtomlplusplus-dev liblo-dev liblo-tools libimgui-dev
    nlohmann-json3-dev
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done

if ((${#missing[@]})); then
    if [ "$(id -u)" -eq 0 ]; then
        sudo=()
    elif command -v sudo >/dev/null; then
        sudo=(sudo)
    else
        echo "Missing packages: ${missing[*]}. Install them as root and run this again."
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
