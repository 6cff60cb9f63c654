#!/usr/bin/env bash
# Compares the module's exported functions with the list in the linker's version script.
set -euo pipefail
module=$1
map=$2
expected=$(sed -n '/global:/,/local:/p' "$map" | grep -oE '^\s+[A-Za-z_]+;' | tr -d ' ;' | sort)
actual=$(nm -D --defined-only "$module" | awk '$2 ~ /^[TtWwDdBbVvi]$/ {print $3}' | sort)
if [ "$expected" != "$actual" ]; then
    echo "exported symbols differ from the contract:"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi
echo "$(echo "$actual" | wc -l) symbols exported, as listed"
