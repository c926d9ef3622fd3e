#!/usr/bin/env bash
# Builds Quorlin and the reference loop in Release and prints how Quorlin's
# frame rate, start-up time and peak memory compare, in a private X server
# with Mesa's software renderer. Figures only: nothing here passes or fails.
#
#   scripts/bench.sh [options]            the comparison (a few minutes)
#   scripts/bench.sh --attribute          where a frame-rate gap comes from
#   scripts/bench.sh --soak [minutes]     memory over a long run (default 10)
#
# Other options (--rounds, --warmup, --seconds, --lp-threads) go to
# bench/bench.py; see its --help. The build goes to build-bench/, or to
# QUORLIN_BENCH_BUILD_DIR when set.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${QUORLIN_BENCH_BUILD_DIR:-$root/build-bench}

args=()
while (($#)); do
    if [ "$1" = --soak ]; then
        args+=(--soak)
        if [[ ${2:-} =~ ^[0-9]+([.][0-9]+)?$ ]]; then
            args+=("$2")
            shift
        else
            args+=(10)
        fi
    else
        args+=("$1")
    fi
    shift
done

# Timings mean little without optimisation; the tests are not needed here.
cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DQUORLIN_TESTS=OFF >/dev/null
if ! cmake --build "$build_dir" -j"$(nproc)" --target quorlin quorlin_reference >"$build_dir/bench-build.log" 2>&1; then
    cat "$build_dir/bench-build.log"
    grep -q "add_subdirectory(bench)" "$root/CMakeLists.txt" ||
        echo "bench/ is not part of the build: the top-level CMakeLists.txt needs add_subdirectory(bench)."
    exit 1
fi

exec /usr/bin/python3 "$root/bench/bench.py" \
    --quorlin "$build_dir/quorlin" \
    --reference "$build_dir/bench/quorlin_reference" \
    --shaders "$root/Shaders" \
    "${args[@]}"
