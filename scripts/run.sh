#!/usr/bin/env bash
# Sets up, builds and runs Quorlin on the shipped shaders; any arguments go to
# the program (scripts/run.sh --help lists them).
#
# Without a display it renders a picture instead, in a private X server with
# Mesa's software renderer: QUORLIN_PICTURE names the PNG (default
# quorlin.png in the project's top directory), QUORLIN_FRAMES how many frames
# to render first (default 90, on a fixed clock at 60 per second).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${QUORLIN_BUILD_DIR:-$root/build}
"$root/scripts/setup.sh" --run "$build_dir"

if [ -n "${DISPLAY:-}" ]; then
    exec "$build_dir/quorlin" "$@" "$root/Shaders"
fi

picture=$(realpath -m "${QUORLIN_PICTURE:-$root/quorlin.png}")
work=$(mktemp -d)
server=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The server writes its display number to the pipe once it takes connections.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
if ! read -r -t 60 display <"$work/display"; then
    echo "No display, and the private X server did not start:"
    cat "$work/xvfb.log"
    exit 1
fi

echo "No display (DISPLAY is not set): rendering a picture in a private X server instead."
DISPLAY=":$display" LIBGL_ALWAYS_SOFTWARE=1 "$build_dir/quorlin" --frames "${QUORLIN_FRAMES:-90}" \
    --time 0 --output "$picture" "$@" "$root/Shaders"
