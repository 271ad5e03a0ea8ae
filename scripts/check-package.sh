#!/usr/bin/env bash
# Builds the .deb, installs it with apt-get into a fresh Debian 12 root made by
# debootstrap, and starts both programs there: --version, a headless EndPoint and the
# windowed one (offscreen) answering a discovery probe on loopback. The EndPoints run in a
# network namespace of their own, so nothing is bound or sent on this machine's network.
#   scripts/check-package.sh [build-dir] [--keep]
# Needs root and the Debian mirror; takes several minutes (debootstrap). Not part of the
# default test run.
set -euo pipefail

build=build
keep=0
for arg in "$@"; do
    case "$arg" in
    --keep) keep=1 ;;
    *) build=$arg ;;
    esac
done
[ "$(id -u)" -eq 0 ] || { echo "check-package: run as root" >&2; exit 2; }
repo=$(cd "$(dirname "$0")/.." && pwd)
mirror=${QUARN_DEBIAN_MIRROR:-http://deb.debian.org/debian}

step() { echo "== $*"; }
fail() { echo "check-package: FAILED: $*" >&2; exit 1; }

if ! command -v debootstrap >/dev/null; then
    step "installing debootstrap"
    apt-get install -y -qq debootstrap >/dev/null
fi

step "building the package in $build"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$repo" -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2 --target Quarn_EndPoint Quarn_Console >/dev/null
rm -f "$build"/quarn_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quarn_*.deb)
dpkg-deb -f "$deb" Package Version Depends

root=$(mktemp -d /var/tmp/quarn-root.XXXXXX)
ns="qpkg$$-ep"
gw="qpkg$$-gw"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    sleep 0.3
    umount "$root/proc" 2>/dev/null || true
    umount "$root/dev/pts" 2>/dev/null || true
    ip netns del "$ns" 2>/dev/null || true
    ip netns del "$gw" 2>/dev/null || true
    if [ $keep -eq 0 ]; then rm -rf "$root"; else echo "root kept in $root"; fi
}
trap cleanup EXIT

step "debootstrap bookworm into $root"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.log" 2>&1 ||
    { tail -20 "$root.log"; fail "debootstrap"; }
rm -f "$root.log"
mount -t proc proc "$root/proc"
cp /etc/resolv.conf "$root/etc/resolv.conf"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }

step "apt-get install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "/tmp/$(basename "$deb")" >"$root/tmp/install.log" 2>&1 ||
    { tail -30 "$root/tmp/install.log"; fail "apt-get install"; }
in_root dpkg -s quarn | grep -E '^(Status|Version):'
in_root dpkg -L quarn | grep -E 'bin/|\.service|\.desktop|mime/packages' | sort

step "both programs start"
in_root Quarn_EndPoint --version || fail "Quarn_EndPoint --version"
if ! in_root Quarn_Console --version 2>/dev/null; then
    # Older Consoles know only --help; it still proves the program loads.
    in_root Quarn_Console --help >/dev/null || fail "Quarn_Console"
    echo "Quarn_Console --help: ok (no --version)"
fi
in_root iperf -v 2>&1 | head -1 || true  # iperf 2 -v exits 1

# A host with one adapter (the probe's reply carries the adapter address) and loopback.
ip netns add "$ns"
ip netns add "$gw"
ip link add qp0 netns "$ns" type veth peer name qp1 netns "$gw"
ip -n "$ns" link set lo up
ip -n "$ns" addr add 198.18.0.11/24 brd + dev qp0
ip -n "$ns" link set qp0 up
ip -n "$gw" addr add 198.18.0.1/24 dev qp1
ip -n "$gw" link set qp1 up
ip -n "$ns" route add default via 198.18.0.1
ns_cmd=(ip netns exec "$ns" chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/root
    QUARN_CONFIG_HOME=/var/lib/quarn)
in_ns() { "${ns_cmd[@]}" "$@"; }

in_ns Quarn_EndPoint --set-name "check root"

# Sends "hello" to the EndPoint on loopback from inside the root and prints the reply.
probe() {
    in_ns timeout 3 bash -c 'exec 3<>/dev/udp/127.0.0.1/54321; printf hello >&3
                             dd bs=1500 count=1 <&3 2>/dev/null' || true
}
expect_reply() {  # what
    local reply=""
    for _ in $(seq 20); do
        reply=$(probe)
        [ -n "$reply" ] && break
        sleep 0.3
    done
    echo "probe reply ($1): $reply"
    [ "$reply" = "198.18.0.11 5001 45000 check root" ] || fail "$1 did not answer the probe"
}
stop() {  # pid what
    kill -TERM "$1"
    local code=0
    wait "$1" || code=$?
    echo "$2 ended with exit code $code"
    [ $code -eq 0 ] || fail "$2 exit code $code"
}

step "headless EndPoint in the root"
"${ns_cmd[@]}" Quarn_EndPoint --headless >"$root/tmp/headless.log" 2>&1 &
pids+=($!)
expect_reply "headless EndPoint"
in_ns bash -c 'exec 3<>/dev/tcp/127.0.0.1/45000' || fail "TCP 45000 not served"
stop "${pids[-1]}" "headless EndPoint"
sed 's/^/  | /' "$root/tmp/headless.log"

step "windowed EndPoint in the root (offscreen)"
"${ns_cmd[@]}" QT_QPA_PLATFORM=offscreen Quarn_EndPoint >"$root/tmp/window.log" 2>&1 &
pids+=($!)
expect_reply "windowed EndPoint"
stop "${pids[-1]}" "windowed EndPoint"
sed 's/^/  | /' "$root/tmp/window.log"

echo "check-package: passed"
