#!/bin/bash
# Fails when a C++ source differs from what clang-format makes of it (.clang-format at the root).
set -euo pipefail
root=${1:?source folder}
cd "$root"
log=$(mktemp)
command -v clang-format >/dev/null || { echo "clang-format is not installed"; exit 1; }
find . \( -name 'build*' -o -name '.git' \) -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 -P3 -n40 clang-format --dry-run --Werror 2>&1 | head -n 60 > "$log" || true
if [ -s "$log" ]; then
    cat "$log"
    rm -f "$log"
    echo "Run clang-format -i on the files above."
    exit 1
fi
rm -f "$log"
