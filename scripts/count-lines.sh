#!/usr/bin/env bash
# Keeps the tests lean: the non-blank lines under tests/ (the fuzz corpus and
# pictures aside) may be at most a third of the non-blank lines of the rest of
# the code. Counts tracked files plus new ones that git does not ignore, as
# they stand in the working tree.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
limit=0.33

files() {
    git ls-files --cached --others --exclude-standard -- "$@" | sort -u |
        while IFS= read -r file; do
            # Deleted but still in the index: not code any more.
            if [ -f "$file" ]; then printf '%s\n' "$file"; fi
        done
}

count() {
    local total=0 file
    while IFS= read -r file; do
        total=$((total + $(grep -c -v '^[[:space:]]*$' "$file" || true)))
    done
    echo "$total"
}

tests=$(files tests | grep -v -e '^tests/fuzz/corpus/' -e '\.png$' | count)
code=$( (files src scripts bench cmake .ci; files '*CMakeLists.txt' | grep -v '^tests/') |
    sort -u | count)

ratio=$(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.3f", c ? t / c : 1 }')
echo "tests: $tests lines; other code: $code lines; ratio $ratio (limit $limit)"
if awk -v t="$tests" -v c="$code" -v l="$limit" 'BEGIN { exit !(t > c * l) }'; then
    echo "The tests are more than a third of the code: trim them."
    exit 1
fi
