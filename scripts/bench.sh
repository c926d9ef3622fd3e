#!/usr/bin/env bash
# Builds Quorlin and the reference loop in Release into build-bench/ and times
# them against each other in a private X server; prints figures, judges nothing.
#   scripts/bench.sh [--readme]        the table (five to six minutes); --readme also
#                                      writes it between README.md's performance markers
#   scripts/bench.sh --soak [MINUTES]  Quorlin's resident memory over a long run (10)
#   scripts/bench.sh --pace            --max-fps: CPU of a paused window, rates reached (a minute)
#   scripts/bench.sh --band            frame cost with the error band shown vs not
#   scripts/bench.sh --images          image inputs: start-up with a 4096 x 4096 PNG,
#                                      per frame with four images, memory (bench/images.py)
#   scripts/bench.sh --recording       recording figures: mp4 and PNG sequence, memory
#   scripts/bench.sh --headless        no display server: start-up and 600 frames against
#                                      Xvfb, --output - into ffmpeg (bench/headless.py)
#   scripts/bench.sh --sound           sound figures: analysis, recording with sound, sound pass
#   scripts/bench.sh --wiring          the wired four-buffer chain against the reference
#   scripts/bench.sh --video           video inputs: a 1080p60 clip per frame against a
#                                      still image and ffmpeg alone, frames skipped in a window
#   scripts/bench.sh --keyboard-cube   the keyboard wired vs not; the cube-map pass vs the reference
#   scripts/bench.sh --params          16 parameters, the panel shown, an OSC burst (bench/params.py)
# bench/README.md says what each figure means; --help lists the rest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-bench
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORLIN_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target quorlin quorlin_reference quorlin_image_reference \
    quorlin_png_encode quorlin_osc_sender quorlin_sound_analysis >"$build/bench-build.log" 2>&1 || { cat "$build/bench-build.log"; exit 1; }
case "${1:-}" in
--pace) shift; exec /usr/bin/python3 "$root/bench/pace.py" --quorlin "$build/quorlin" --shaders "$root/Shaders" "$@" ;;
--band) shift; exec /usr/bin/python3 "$root/bench/band.py" --quorlin "$build/quorlin" --shaders "$root/Shaders" "$@" ;;
--recording)
    shift
    exec /usr/bin/python3 "$root/bench/recording.py" --quorlin "$build/quorlin" \
        --png-encode "$build/bench/quorlin_png_encode" --shaders "$root/Shaders" "$@" ;;
--sound)
    shift
    exec /usr/bin/python3 "$root/bench/sound.py" --quorlin "$build/quorlin" \
        --analysis "$build/bench/quorlin_sound_analysis" --shaders "$root/Shaders" "$@" ;;
--keyboard-cube)
    shift
    exec /usr/bin/python3 "$root/bench/keyboard_cube.py" --quorlin "$build/quorlin" \
        --reference "$build/bench/quorlin_reference" --shaders "$root/Shaders" "$@" ;;
--headless) shift; exec /usr/bin/python3 "$root/bench/headless.py" --quorlin "$build/quorlin" --shaders "$root/Shaders" "$@" ;;
--video) shift; exec /usr/bin/python3 "$root/bench/video.py" --quorlin "$build/quorlin" --shaders "$root/Shaders" "$@" ;;
--params)
    shift
    exec /usr/bin/python3 "$root/bench/params.py" --quorlin "$build/quorlin" \
        --sender "$build/bench/quorlin_osc_sender" --shaders "$root/Shaders" "$@" ;;
--images)
    shift
    exec /usr/bin/python3 "$root/bench/images.py" --quorlin "$build/quorlin" \
        --reference "$build/bench/quorlin_image_reference" --shaders "$root/Shaders" "$@" ;;
esac
exec /usr/bin/python3 "$root/bench/bench.py" --quorlin "$build/quorlin" \
    --reference "$build/bench/quorlin_reference" --shaders "$root/Shaders" "$@"
