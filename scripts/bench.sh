#!/usr/bin/env bash
# Builds Quorlin and the reference loop in Release into build-bench/ and times
# them against each other in a private X server; prints figures, judges nothing.
#   scripts/bench.sh [--readme]        the table (five to six minutes); --readme also
#                                      writes it between README.md's performance markers
#   scripts/bench.sh --soak [MINUTES]  Quorlin's resident memory over a long run (10)
#   scripts/bench.sh --recording       recording figures: mp4 and PNG sequence, memory
# bench/README.md says what each figure means; --help lists the rest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-bench
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORLIN_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target quorlin quorlin_reference quorlin_png_encode \
    >"$build/bench-build.log" 2>&1 || { cat "$build/bench-build.log"; exit 1; }
if [ "${1:-}" = --recording ]; then
    shift
    exec /usr/bin/python3 "$root/bench/recording.py" --quorlin "$build/quorlin" \
        --png-encode "$build/bench/quorlin_png_encode" --shaders "$root/Shaders" "$@"
fi
exec /usr/bin/python3 "$root/bench/bench.py" --quorlin "$build/quorlin" \
    --reference "$build/bench/quorlin_reference" --shaders "$root/Shaders" "$@"
