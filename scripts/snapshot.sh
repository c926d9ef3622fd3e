#!/usr/bin/env bash
# Renders the shipped shaders in a private X server and saves a picture of the
# window: scripts/snapshot.sh [out.png] [seconds to render, default 2].
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(realpath -m "${1:-$root/snapshot.png}")
seconds=${2:-2}
"$root/scripts/setup.sh" "$root/build" >/dev/null

work=$(mktemp -d)
cleanup() {
    [ -n "${program:-}" ] && kill "$program" 2>/dev/null || true
    [ -n "${server:-}" ] && kill "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1280x720x24 -nolisten tcp 2>"$work/xvfb.log" &
server=$!
exec 5>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$(cat "$work/display")"

cd "$root/build"
./quorlin >"$work/quorlin.log" &
program=$!
window=""
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Quorlin' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "The window did not appear"; cat "$work/quorlin.log"; exit 1; }

# The pointer steers the image; put it a little off centre, then start.
xdotool mousemove --window "$window" 520 220
xdotool keydown space
sleep 0.2
xdotool keyup space
sleep "$seconds"
import -window "$window" "$out"
xdotool key Escape
wait "$program" || true
program=""
echo "Saved $out"
