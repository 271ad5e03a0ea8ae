#!/usr/bin/env bash
# The main job: builds both programs, starts a headless EndPoint on this machine and runs
# a 10-second headless measurement of the pair 127.0.0.1 -> 127.0.0.1. Everything,
# discovery and "restart" included, stays on the loopback interface.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target Quarn_EndPoint Quarn_Console

bin=build/bin
state=$(mktemp -d)
endpoint_pid=
cleanup() {
    if [ -n "$endpoint_pid" ]; then
        kill -TERM "$endpoint_pid" 2>/dev/null || true
        wait "$endpoint_pid" 2>/dev/null || true
    fi
    rm -rf "$state"
}
trap cleanup EXIT

# Keep the demo's EndPoint name out of the user's own settings.
QUARN_CONFIG_HOME="$state" "$bin/Quarn_EndPoint" --set-name "Quarn demo EndPoint" >/dev/null
QUARN_CONFIG_HOME="$state" "$bin/Quarn_EndPoint" --headless > >(sed -u 's/^/[EndPoint] /') &
endpoint_pid=$!
for _ in $(seq 50); do
    if ss -Hltn 'sport = :45000' | grep -q .; then break; fi
    if ! kill -0 "$endpoint_pid" 2>/dev/null; then
        echo "demo: the EndPoint did not start" >&2
        exit 1
    fi
    sleep 0.1
done

"$bin/Quarn_Console" --headless --interface lo --search \
    --pair 127.0.0.1,127.0.0.1 --duration 10 --csv "$state/demo.csv"
echo
echo "Per-second figures (tick, Pair1, All):"
cat "$state/demo.csv"
