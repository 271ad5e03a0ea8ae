#!/usr/bin/env bash
# Traces the Windows EndPoint's Wine server requests during a short UDP run and prints, per
# thread name, server requests a second and the selects that slept (answered PENDING and
# woken later) a second. Needs root: it makes and removes its own network namespaces.
set -euo pipefail

usage() {
    cat <<'EOF'
Usage: scripts/windows/trace-wakeups.sh [--seconds N] [--keep DIR] [BUILD BUILD_WINDOWS]
  Runs the Windows EndPoint (BUILD_WINDOWS/package, under Wine, its wineserver tracing) and a
  Linux EndPoint (BUILD/bin) in namespaces of their own, with one UDP pair each way at
  1 Mbit/s for N seconds (default 10, at least 7) from a headless Console, then prints per
  named thread, over the run but its first 4 s and last 1 s: wineserver requests/s, selects
  that slept (answered PENDING) /s, wake-ups/s and the requests by name.
  --keep DIR  keeps the raw trace as DIR/server.trace.
  Defaults: BUILD=build, BUILD_WINDOWS=build-windows; QUARN_WINDOWS_ENDPOINT_DIR and
  QUARN_WINE_PREFIX, when set, name the package and the prefix instead. Ends with the real
  sleeps per pair role beside the goal of 3. Not for CI.
EOF
}

seconds=10
keep=
while [ $# -gt 0 ]; do
    case $1 in
        --help | -h) usage; exit 0 ;;
        --seconds) seconds=$2; shift 2 ;;
        --keep) keep=$2; shift 2 ;;
        *) break ;;
    esac
done
[ "$seconds" -ge 7 ] || { usage >&2; exit 2; }
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build}")
winbuild=$(realpath "${2:-build-windows}")
# Named as for the Windows end-to-end tests and the bench, when they are.
package=$(realpath "${QUARN_WINDOWS_ENDPOINT_DIR:-$winbuild/package}")
winprefix=$(realpath "${QUARN_WINE_PREFIX:-$winbuild/wine-prefix}")
here=$(dirname "$(realpath "$0")")

tag=qtw$$
work=$(mktemp -d)
prefix=$work/prefix
wine=/usr/lib/wine/wine64
pids=()

cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    WINEPREFIX=$prefix /usr/lib/wine/wineserver64 -k 2>/dev/null || true
    wait 2>/dev/null || true
    for ns in sw h1 h2 h3; do ip netns del "$tag-$ns" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

ip netns add "$tag-sw"
ip -n "$tag-sw" link add br0 type bridge
ip -n "$tag-sw" link set br0 up
for h in 1 2 3; do
    ip netns add "$tag-h$h"
    ip -n "$tag-h$h" link set lo up
    ip -n "$tag-sw" link add "h$h" type veth peer name eth0 netns "$tag-h$h"
    ip -n "$tag-sw" link set "h$h" master br0 up
    ip -n "$tag-h$h" addr add "198.18.0.1$h/24" brd + dev eth0
    ip -n "$tag-h$h" link set eth0 up
    ip -n "$tag-h$h" route add default dev eth0
done
# Wine's rendezvous with its server, named after the prefix's device and inode, below the
# /tmp folder that Debian's Wine names in the prefix's "wineserver" file.
server_socket() {
    local base
    base=/tmp/.wine-$(id -u)
    [ -s "$prefix/wineserver" ] && base=/tmp/$(cat "$prefix/wineserver")
    printf '%s/server-%x-%x/socket' "$base" "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")"
}
in_ns() { local h=$1; shift; ip netns exec "$tag-h$h" "$@"; }
# In the background with the program's own pid in $!, so that the clean-up ends it.
spawn_in_ns() { local h=$1; shift; exec ip netns exec "$tag-h$h" "$@"; }

# A prefix of our own, so that its server runs in the Windows host's namespace.
cp -al "$winprefix" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
# The server prints the trace: every request of every Wine process, by thread id.
spawn_in_ns 1 /usr/lib/wine/wineserver64 -f -p -d1 2>"$work/server.trace" &
pids+=($!)
for _ in $(seq 100); do [ -S "$(server_socket)" ] && break; sleep 0.1; done
in_ns 1 "$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true

mkdir -p "$work/config"
spawn_in_ns 1 "$wine" "$package/Quarn_EndPoint.exe" --headless \
    >"$work/windows.out" 2>&1 &
pids+=($!)
QUARN_CONFIG_HOME=$work/config spawn_in_ns 2 "$build/bin/Quarn_EndPoint" --headless \
    >"$work/linux.out" 2>&1 &
pids+=($!)
for _ in $(seq 120); do
    grep -q Started: "$work/windows.out" 2>/dev/null && grep -q Started: "$work/linux.out" && break
    sleep 1
done
grep -q Started: "$work/windows.out" || { echo "the Windows EndPoint did not start" >&2; exit 1; }

HOME=$work QUARN_CONFIG_HOME=$work/config spawn_in_ns 3 "$build/bin/Quarn_Console" --headless --udp \
    --throughput 1 --duration "$seconds" --pair 198.18.0.11,198.18.0.12 \
    --pair 198.18.0.12,198.18.0.11 >"$work/console.out" 2>&1 &
console=$!
# The counted window leaves out the pairs' start and end.
sleep 4
start=$(wc -l <"$work/server.trace") from=$(date +%s.%N)
sleep $((seconds - 5))
end=$(wc -l <"$work/server.trace") to=$(date +%s.%N)
wait $console || { echo "the run failed:" >&2; cat "$work/console.out" >&2; exit 1; }
[ -z "$keep" ] || { mkdir -p "$keep"; cp "$work/server.trace" "$keep/"; }
# Names come from the whole trace; the counts from the run's lines only.
# One pair each way: the Windows EndPoint runs two pair roles; the goal is 3 a second each.
python3 "$here/trace_wakeups.py" "$work/server.trace" "$start" "$end" \
    "$(awk "BEGIN { print $to - $from }")" 2 3
