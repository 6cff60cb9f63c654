#!/usr/bin/env bash
# Runs http_checks.exe under Wine against http_peer.py and a vexa-sandbox (for HTTPS).
#   http_checks.sh x86|x64 http_checks.exe vexa-sandbox
set -euo pipefail
arch=$1
program=$2
sandbox=$3
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d /tmp/vexa-http-checks.XXXXXX)
peer_pid= sandbox_pid=
cleanup() {
    [ -n "$peer_pid" ] && kill "$peer_pid" 2>/dev/null
    [ -n "$sandbox_pid" ] && kill "$sandbox_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
python3 "$here/http_peer.py" >"$scratch/peer-port" &
peer_pid=$!
"$sandbox" --data-dir "$scratch/sandbox" --account check:secret >"$scratch/sandbox.log" 2>&1 &
sandbox_pid=$!
for _ in $(seq 100); do [ -s "$scratch/peer-port" ] && break; sleep 0.1; done
endpoint=$("$sandbox" --data-dir "$scratch/sandbox" --print-env | sed -n 's/^export VEXA_ENDPOINT=//p' | tr -d "'\"")
https_port=${endpoint##*:}
# The checks expect the server date in this zone (no daylight saving time).
TZ=Asia/Seoul "$here/run_under_wine.sh" "$arch" "$program" "$(cat "$scratch/peer-port")" "$https_port" \
    "Z:${scratch//\//\\}\\sandbox\\cert.pem"
