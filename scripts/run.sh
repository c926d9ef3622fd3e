#!/usr/bin/env bash
# Sets up, builds and runs Quorlin on the shipped shaders. The program looks
# for Shaders/ beside its working directory, so it runs from build/.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" "$root/build" >/dev/null

if [ -z "${DISPLAY:-}" ]; then
    echo "No display to open a window on (DISPLAY is not set)."
    echo "To see the default shader without one, run scripts/snapshot.sh: it renders in a private X server and saves a PNG."
    exit 1
fi

cd "$root/build"
exec ./quorlin
