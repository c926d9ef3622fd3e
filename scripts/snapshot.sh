#!/usr/bin/env bash
# Renders the shipped shaders without a display server and saves a PNG,
# whether or not there is a display: scripts/snapshot.sh [out.png] [frames, default 90].
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QUORLIN_PICTURE=${1:-$root/snapshot.png} QUORLIN_FRAMES=${2:-90} \
    exec env -u DISPLAY "$root/scripts/run.sh"
