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
# and fuzz builds go beside it with -asan and -fuzz appended.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUORLIN_TEST_BUILD:-$root/build}
fuzz_seconds=${QUORLIN_FUZZ_SECONDS:-20}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

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

echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
"$root/scripts/setup.sh" "$build-asan" -DQUORLIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
(
    cd "$build-asan"
    # The GL driver and the X libraries are unloaded at exit, and what they
    # still hold would then be reported as leaked from an unknown module; the
    # preload keeps them mapped, so no leak suppression is needed. It sits
    # before the sanitizer runtime on purpose.
    export LD_PRELOAD="$build-asan/tests/libkeep_modules.so"
    export ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest --output-on-failure -j2 -LE plain
)

echo "== Tests"
"$root/scripts/setup.sh" "$build"
cd "$build"
ctest --output-on-failure -j2
