#!/usr/bin/env bash
# Screenshots of the EndPoint window under Xvfb: normal mode and port-in-use mode.
#   scripts/screenshots-endpoint.sh [build-dir] [out-dir]
# Needs root (the window's agent runs in a network namespace of its own, so nothing is
# bound on the machine's interfaces), xvfb-run, ImageMagick's import and python3.
# Other scripts may source this file and call endpoint_screenshots BUILD OUT.

# Runs in a subshell of its own, so its clean-up trap and options stay there.
endpoint_screenshots() (
    set -eu
    local build out bin ns peer home holder
    build=$(cd "${1:-build}" && pwd)
    out=$(mkdir -p "${2:-screenshots}" && cd "${2:-screenshots}" && pwd)
    bin="$build/bin/Quarn_EndPoint"
    [ -x "$bin" ] || { echo "screenshots-endpoint: $bin is missing" >&2; return 1; }
    ns="qshot$$-ep"
    peer="qshot$$-gw"
    home=$(mktemp -d)
    holder=""
    cleanup_endpoint_shots() {
        [ -n "$holder" ] && kill "$holder" 2>/dev/null || true
        ip netns del "$ns" 2>/dev/null || true
        ip netns del "$peer" 2>/dev/null || true
        rm -rf "$home"
    }
    trap cleanup_endpoint_shots EXIT

    # One host with a test address and a default route, so the window has an address.
    ip netns add "$ns"
    ip netns add "$peer"
    ip link add qs0 netns "$ns" type veth peer name qs1 netns "$peer"
    ip -n "$ns" link set lo up
    ip -n "$ns" addr add 198.18.0.11/24 brd + dev qs0
    ip -n "$ns" link set qs0 up
    ip -n "$peer" addr add 198.18.0.1/24 dev qs1
    ip -n "$peer" link set qs1 up
    ip -n "$ns" route add default via 198.18.0.1

    QUARN_CONFIG_HOME="$home" "$bin" --set-name "Lab-PC 측정실"

    shoot() {  # file
        xvfb-run -a -s "-screen 0 320x200x24" bash -c '
            ip netns exec "$1" env QUARN_CONFIG_HOME="$2" QUARN_IPERF=/bin/false "$3" &
            pid=$!
            for _ in $(seq 50); do
                /usr/bin/import -window root -crop 302x176+0+0 "$4" 2>/dev/null && \
                    [ "$(/usr/bin/convert "$4" -format "%[fx:mean]" info: 2>/dev/null)" != "0" ] && break
                sleep 0.2
            done
            sleep 1
            /usr/bin/import -window root -crop 302x176+0+0 +repage "$4"
            kill "$pid"; wait "$pid" || true' _ "$ns" "$home" "$bin" "$1"
    }

    shoot "$out/endpoint-normal.png"
    # Something else holds TCP 45000: the window shows the notice.
    ip netns exec "$ns" python3 -c '
import socket, time
s = socket.socket()
s.bind(("0.0.0.0", 45000))
s.listen()
time.sleep(60)' &
    holder=$!
    sleep 0.5
    shoot "$out/endpoint-port-in-use.png"
    echo "screenshots-endpoint: wrote $out/endpoint-normal.png and $out/endpoint-port-in-use.png"
)

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    endpoint_screenshots "${1:-build}" "${2:-screenshots}"
fi
