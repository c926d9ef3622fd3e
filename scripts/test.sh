#!/usr/bin/env bash
# Sets up, builds and runs every test:
#  0. the line count that keeps the tests within a third of the code;
#  1. the fuzz targets over the command line and the image header check
#     (libFuzzer, a short run each);
#  2. unit and end-to-end tests built with AddressSanitizer, UBSan and leak
#     checking;
#  3. the ordinary build's tests, with the GL call golden file, a valgrind run
#     and the display-less scripts/run.sh among them.
# QUORLIN_TEST_BUILD names the build directory (default build/); the sanitizer
# and fuzz builds go beside it with -asan and -fuzz appended. The sound tests
# play and record through a PulseAudio server with a null sink (no sound card
# needed) that this script starts and stops.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUORLIN_TEST_BUILD:-$root/build}
fuzz_seconds=${QUORLIN_FUZZ_SECONDS:-20}
scratch=$(mktemp -d)
sound_server=
stop() {
    if [ -n "$sound_server" ]; then kill "$sound_server" 2>/dev/null || true; wait "$sound_server" 2>/dev/null || true; fi
    rm -rf "$scratch"
}
trap stop EXIT

# A private sound server: its own runtime directory and socket, a null sink at
# the sound's own rate, no session bus.
start_sound_server() {
    mkdir -p "$scratch/pulse"
    HOME="$scratch/pulse" XDG_RUNTIME_DIR="$scratch/pulse" pulseaudio -n --daemonize=no \
        --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
        -L "module-null-sink sink_name=quorlin rate=44100 channels=2" \
        -L "module-native-protocol-unix socket=$scratch/pulse/native auth-anonymous=1" \
        >"$scratch/pulse/log" 2>&1 &
    sound_server=$!
    export PULSE_SERVER="unix:$scratch/pulse/native"
    for _ in $(seq 300); do
        pactl info >/dev/null 2>&1 && return
        sleep 0.1
    done
    cat "$scratch/pulse/log"
    echo "The sound server did not start."
    exit 1
}

echo "== Line count"
"$root/scripts/count-lines.sh"

echo "== Building the fuzz targets"
CC=clang CXX=clang++ "$root/scripts/setup.sh" "$build-fuzz" -DQUORLIN_FUZZ=ON -DQUORLIN_SANITIZE=ON
for target in options:"$root/tests/fuzz/corpus" image:"$root/tests/fuzz/corpus/images"; do
    echo "== Fuzzing the ${target%%:*} fuzz target for ${fuzz_seconds}s"
    # New inputs go to scratch; the corpus in the repository is only read.
    mkdir "$scratch/${target%%:*}"
    if ! "$build-fuzz/tests/fuzz/${target%%:*}_fuzz" -max_total_time="$fuzz_seconds" \
        -artifact_prefix="$scratch/" "$scratch/${target%%:*}" "${target#*:}" >"$scratch/fuzz.log" 2>&1; then
        tail -n 60 "$scratch/fuzz.log"
        echo "The fuzz target failed (the input is printed above, in Base64)."
        exit 1
    fi
    tail -n 1 "$scratch/fuzz.log"
done

start_sound_server

echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
"$root/scripts/setup.sh" "$build-asan" -DQUORLIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
(
    cd "$build-asan"
    # The GL driver and the X libraries are unloaded at exit, and what they
    # still hold would then be reported as leaked from an unknown module; the
    # preload keeps them mapped, so no leak suppression is needed. It sits
    # before the sanitizer runtime on purpose.
    export LD_PRELOAD="$build-asan/tests/libkeep_modules.so"
    # The leak checker's record of dynamic thread-local storage can hold a
    # range that no longer exists once the GL driver's threads have ended,
    # and its tracer then faults at exit ("Tracer caught signal 11"): static
    # thread-local storage and every heap root are still scanned without it.
    export ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1:intercept_tls_get_addr=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest --output-on-failure -j2 -LE plain
)

echo "== Tests"
"$root/scripts/setup.sh" "$build"
cd "$build"
ctest --output-on-failure -j2
