#!/usr/bin/env bash
# Runs a Windows program of the given architecture (x86 or x64) under Wine in a fresh prefix and
# passes only when it printed its final sentinel line and exited 0 (Wine's programs can end
# silently).
#   run_under_wine.sh ARCH PROGRAM [ARGS...]
set -euo pipefail
arch=$1
program=$2
shift 2
export WINEPREFIX=$(mktemp -d /tmp/vexa-wine.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
if [ "$arch" = x86 ]; then loader=wine; else loader=/usr/lib/wine/wine64; fi
"$loader" wineboot -i >/dev/null 2>&1
set +e
output=$("$loader" "$program" "$@" 2>&1)
status=$?
set -e
echo "$output"
grep -q '^DONE' <<<"$output" || { echo "FAIL: no final line: the program stopped early" >&2; exit 1; }
exit $status
