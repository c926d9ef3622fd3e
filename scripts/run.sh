#!/usr/bin/env bash
# Sets up, builds and runs Quorlin on the shipped shaders; any arguments go to
# the program (scripts/run.sh --help lists them).
#
# Without a display it renders a picture instead, with no display server at
# all: QUORLIN_PICTURE names the PNG (default quorlin.png in the project's top
# directory), QUORLIN_FRAMES how many frames to render first (default 90, on a
# fixed clock at 60 per second).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${QUORLIN_BUILD_DIR:-$root/build}
"$root/scripts/setup.sh" --run "$build_dir"

if [ -n "${DISPLAY:-}" ]; then
    exec "$build_dir/quorlin" "$@" "$root/Shaders"
fi

picture=$(realpath -m "${QUORLIN_PICTURE:-$root/quorlin.png}")
echo "No display (DISPLAY is not set): rendering a picture without one instead."
"$build_dir/quorlin" --headless --frames "${QUORLIN_FRAMES:-90}" --time 0 --output "$picture" \
    "$@" "$root/Shaders"
