#!/usr/bin/env bash
# Sets up, builds and runs every test: display-free unit tests and real-GL
# tests (each starts its own private X server with Mesa's software renderer).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" "$root/build"

cd "$root/build"
ctest --output-on-failure -j2
