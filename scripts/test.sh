#!/usr/bin/env bash
# Sets up, builds and runs every test:
#  1. the fuzz target over the shader loader (libFuzzer, a short run);
#  2. unit and end-to-end tests built with AddressSanitizer, UBSan and leak
#     checking;
#  3. the ordinary build's unit tests (no display needed) and real-GL tests
#     (each starts its own private X server with Mesa's software renderer),
#     with a valgrind session among them.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fuzz_seconds=${QUORLIN_FUZZ_SECONDS:-20}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "== Fuzzing the shader loader for ${fuzz_seconds}s"
CC=clang CXX=clang++ "$root/scripts/setup.sh" "$root/build-fuzz" \
    -DQUORLIN_FUZZ=ON -DQUORLIN_SANITIZE=ON >/dev/null
# New inputs go to scratch; the corpus in the repository is only read.
mkdir "$scratch/corpus"
if ! "$root/build-fuzz/tests/fuzz/shader_fuzz" -max_total_time="$fuzz_seconds" \
    -artifact_prefix="$scratch/" "$scratch/corpus" "$root/tests/fuzz/corpus" >"$scratch/fuzz.log" 2>&1; then
    tail -n 60 "$scratch/fuzz.log"
    echo "The fuzz target failed (the input is printed above, in Base64)."
    exit 1
fi
tail -n 1 "$scratch/fuzz.log"

echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
"$root/scripts/setup.sh" "$root/build-asan" -DQUORLIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
(
    cd "$root/build-asan"
    export LD_PRELOAD="$root/build-asan/tests/memory/libkeep_modules.so"
    # The preload sits before the sanitizer runtime on purpose; see keep_modules.c.
    export ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1
    export LSAN_OPTIONS=suppressions=$root/tests/memory/lsan.supp
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest --output-on-failure -j2 -LE memcheck
)

echo "== Tests"
"$root/scripts/setup.sh" "$root/build"
cd "$root/build"
ctest --output-on-failure -j2
