#!/usr/bin/env bash
# Builds the .deb and lints it (scripts/lint-package.sh), installs it with apt-get into a
# fresh Debian 12 root made by debootstrap (the package enables its service there), and
# starts both programs there: --version, a headless EndPoint and the windowed one (offscreen) answering a discovery probe on loopback. Then it boots the root
# with systemd (systemd-nspawn -b) and checks the quarn-endpoint service for real: enable,
# readiness only once the ports are bound, a probe, a rename seen within 10 s, stop and
# restart in the middle of a measurement with no iperf left, restart after a clean exit,
# and the `systemd-analyze security` exposure. The EndPoints run in a network namespace of
# their own, so nothing is bound or sent on this machine's network.
#   scripts/check-package.sh [build-dir] [--keep] [--root=DIR]
# --keep leaves the root in /var/tmp; --root=DIR uses such a root again (no debootstrap).
# Needs root and the Debian mirror; takes several minutes (debootstrap). Not part of the
# default test run.
set -euo pipefail

build=build
keep=0
reuse=""
for arg in "$@"; do
    case "$arg" in
    --keep) keep=1 ;;
    --root=*) reuse=${arg#--root=} ;;
    *) build=$arg ;;
    esac
done
[ "$(id -u)" -eq 0 ] || { echo "check-package: run as root" >&2; exit 2; }
repo=$(cd "$(dirname "$0")/.." && pwd)
mirror=${QUARN_DEBIAN_MIRROR:-http://deb.debian.org/debian}

step() { echo "== $*"; }
fail() { echo "check-package: FAILED: $*" >&2; exit 1; }

for tool in debootstrap:debootstrap systemd-nspawn:systemd-container nsenter:util-linux; do
    if ! command -v "${tool%%:*}" >/dev/null; then
        step "installing ${tool#*:}"
        apt-get install -y -qq "${tool#*:}" >/dev/null
    fi
done

# Builds the package and checks it with lintian and the desktop's validators first.
"$repo/scripts/setup-check.sh"
"$repo/scripts/lint-package.sh" "$build" || fail "lint-package"
deb=$(ls "$build"/quarn_*.deb)
dpkg-deb -f "$deb" Package Version Depends

if [ -n "$reuse" ]; then
    root=$reuse
    keep=1
else
    root=$(mktemp -d /var/tmp/quarn-root.XXXXXX)
fi
# mktemp made it 0700: the service's unprivileged user could not even enter "/".
chmod 0755 "$root"
ns="qpkg$$-ep"
gw="qpkg$$-gw"
pids=()
booted=""
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    if [ -n "$booted" ]; then
        kill -TERM "$booted" 2>/dev/null || true  # nspawn: a clean shutdown of the root
        for _ in $(seq 50); do kill -0 "$booted" 2>/dev/null || break; sleep 0.2; done
        kill -KILL "$booted" 2>/dev/null || true
    fi
    sleep 0.3
    umount "$root/proc" 2>/dev/null || true
    umount "$root/dev/pts" 2>/dev/null || true
    ip netns del "$ns" 2>/dev/null || true
    ip netns del "$gw" 2>/dev/null || true
    if [ $keep -eq 0 ]; then rm -rf "$root" "$root.boot.log"; else echo "root kept in $root"; fi
}
trap cleanup EXIT

if [ -z "$reuse" ]; then
    step "debootstrap bookworm into $root"
    # systemd to boot the root; procps to look for iperf processes inside it.
    debootstrap --variant=minbase --include=systemd,systemd-sysv,dbus,procps bookworm "$root" \
        "$mirror" >"$root.log" 2>&1 ||
        { tail -20 "$root.log"; fail "debootstrap"; }
    rm -f "$root.log"
fi
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
in_root dpkg -L quarn | grep -E 'bin/|\.service|\.desktop|mime/packages|man1|completions' | sort
# Without a running systemd the package only enables the unit, as deb-systemd-helper does.
wants=etc/systemd/system/multi-user.target.wants/quarn-endpoint.service
[ -L "$root/$wants" ] || fail "the package did not enable quarn-endpoint.service"
echo "enabled by the package: /$wants"

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
expect_reply() {  # what [name]
    local want="198.18.0.11 5001 45000 ${2:-check root}" reply=""
    for _ in $(seq 20); do
        reply=$(probe)
        [ "$reply" = "$want" ] && break
        sleep 0.5
    done
    echo "probe reply ($1): $reply"
    [ "$reply" = "$want" ] || fail "$1 did not answer the probe as \"$want\""
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

step "booting the root with systemd (systemd-nspawn -b --keep-unit)"
umount "$root/proc"
# --keep-unit: this machine's PID 1 need not be systemd. The root gets the test namespace
# as its network, so the service sees only the test network.
systemd-nspawn -q -b -D "$root" --keep-unit --register=no -M "qpkg$$" \
    --network-namespace-path="/run/netns/$ns" >"$root.boot.log" 2>&1 &
booted=$!
# The root's PID 1: the child of nspawn that is PID 1 in a namespace of its own.
leader=""
for _ in $(seq 100); do
    for pid in $(pgrep -P "$booted" || true); do
        if awk '/^NSpid:/ { exit !(NF > 2 && $NF == 1) }' "/proc/$pid/status" 2>/dev/null; then
            leader=$pid
        fi
    done
    [ -n "$leader" ] && break
    sleep 0.2
done
[ -n "$leader" ] || { cat "$root.boot.log"; fail "the root did not boot"; }
in_boot() {
    nsenter -t "$leader" -m -u -i -n -p -r -w /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root "$@"
}
# systemctl answers once PID 1 has set up its socket.
for _ in $(seq 150); do
    in_boot test -S /run/systemd/private && break
    sleep 0.2
done
state=$(in_boot timeout 90 systemctl is-system-running --wait 2>/dev/null || true)
echo "booted root: $state"
unit=quarn-endpoint.service
show() { in_boot systemctl show -P "$1" "$unit"; }
iperfs() { { in_boot pgrep -x iperf || true; } | wc -l; }  # pgrep fails when none is left
# Asks the EndPoint for an iperf server, as a Console does, and keeps the connection open.
start_measurement() {
    "${ns_cmd[@]}" bash -c 'exec 3<>/dev/tcp/127.0.0.1/45000
                   printf "server_config -s -f m -i 1\r\n" >&3
                   head -c 9 <&3; exec sleep 60' >"$root/tmp/request.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ "$(iperfs)" -ge 1 ] && return 0; sleep 0.2; done
    fail "no iperf server started for the request"
}
expect_no_iperf() {  # what
    local left=1
    for _ in $(seq 25); do left=$(iperfs); [ "$left" -eq 0 ] && break; sleep 0.2; done
    echo "iperf processes after $1: $left"
    [ "$left" -eq 0 ] || fail "iperf left after $1"
}

step "started at boot, as the package enabled it"
for _ in $(seq 50); do [ "$(show ActiveState)" = active ] && break; sleep 0.2; done
echo "is-enabled: $(in_boot systemctl is-enabled "$unit"), ActiveState=$(show ActiveState)"
[ "$(show ActiveState)" = active ] || fail "the enabled service did not start at boot"

step "enable --now"
in_boot systemctl enable --now "$unit" || fail "systemctl enable --now"
[ "$(show Type)" = notify ] || fail "the unit is not Type=notify"
[ "$(show ActiveState)" = active ] || fail "the service is not active"
echo "Type=$(show Type) Restart=$(show Restart) ActiveState=$(show ActiveState)"
expect_reply "service"

step "rename while the service runs"
renamed_at=$SECONDS
in_boot env QUARN_CONFIG_HOME=/var/lib/quarn Quarn_EndPoint --set-name "renamed root"
expect_reply "renamed service" "renamed root"
echo "the new name was announced after $((SECONDS - renamed_at)) s"
[ $((SECONDS - renamed_at)) -le 11 ] || fail "the rename took longer than 10 s"

step "restart and stop in the middle of a measurement"
start_measurement
echo "iperf processes while measuring: $(iperfs)"
old=$(show MainPID)
in_boot systemctl restart "$unit" || fail "systemctl restart"
expect_no_iperf "restart"
[ "$(show ActiveState)" = active ] && [ "$(show MainPID)" != "$old" ] ||
    fail "the service did not come back after the restart"
start_measurement
in_boot systemctl stop "$unit"
expect_no_iperf "stop"
[ "$(show ActiveState)" = inactive ] || fail "the service did not stop"

step "readiness: a start with TCP 45000 taken fails"
# Not through in_ns: a function in the background would be a subshell of its own, and
# the pid below would not be iperf's.
"${ns_cmd[@]}" iperf -s -p 45000 >/dev/null 2>&1 &
pids+=($!)
sleep 1
if in_boot timeout 60 systemctl start "$unit"; then
    fail "systemctl start reported success although the port was taken"
fi
echo "systemctl start failed as it should: $(show Result)"
kill -KILL "${pids[-1]}" 2>/dev/null || true  # iperf 2 lingers after a first SIGTERM
wait "${pids[-1]}" 2>/dev/null || true
sleep 1
in_boot systemctl reset-failed "$unit" || true
in_boot systemctl start "$unit" || fail "systemctl start once the port is free"

step "a clean exit is restarted"
restarts=$(show NRestarts)
in_boot systemctl kill -s TERM --kill-whom=main "$unit"
for _ in $(seq 50); do
    [ "$(show NRestarts)" -gt "$restarts" ] && [ "$(show ActiveState)" = active ] && break
    sleep 0.2
done
echo "NRestarts $restarts -> $(show NRestarts), $(show ActiveState)"
[ "$(show NRestarts)" -gt "$restarts" ] || fail "no restart after a clean exit"
expect_reply "restarted service" "renamed root"
[ "$(show ActiveState)" = active ] || fail "the service is not active after the restart"

step "systemd-analyze security"
in_boot systemd-analyze security --no-pager "$unit" | tail -1

# The maintainer scripts with systemd running: an upgrade keeps the administrator's
# choice and restarts a running agent, removal stops it, purge forgets the unit.
cp "$deb" "$root/var/cache/quarn.deb"
reinstall() { in_boot env DEBIAN_FRONTEND=noninteractive dpkg -i /var/cache/quarn.deb >/dev/null; }
step "an upgrade keeps a disabled service disabled"
in_boot systemctl disable --now "$unit" 2>/dev/null
reinstall || fail "dpkg -i over the installed package"
echo "is-enabled: $(in_boot systemctl is-enabled "$unit" || true), $(show ActiveState)"
[ "$(show ActiveState)" = inactive ] || fail "the upgrade started a disabled service"
[ "$(in_boot systemctl is-enabled "$unit" || true)" = disabled ] || fail "the upgrade enabled it"

step "an upgrade restarts a running service"
in_boot systemctl enable --now "$unit" 2>/dev/null
old=$(show MainPID)
reinstall || fail "dpkg -i over the installed package"
echo "MainPID $old -> $(show MainPID), $(show ActiveState)"
[ "$(show ActiveState)" = active ] && [ "$(show MainPID)" != "$old" ] ||
    fail "the upgrade did not restart the service"
expect_reply "upgraded service" "renamed root"

step "removal stops the service, purge forgets it"
start_measurement
in_boot dpkg -r quarn >/dev/null || fail "dpkg -r"
expect_no_iperf "removal"
[ "$(show ActiveState)" != active ] || fail "the service still runs after removal"
# The unit file is gone, so its leftover enablement is masked (a link to /dev/null).
[ "$(in_boot readlink /etc/systemd/system/quarn-endpoint.service)" = /dev/null ] ||
    fail "removal did not mask the unit"
in_boot dpkg -P quarn >/dev/null || fail "dpkg -P"
left=$(in_boot sh -c 'ls -d /etc/systemd/system/quarn-endpoint.service \
    /etc/systemd/system/*/quarn-endpoint.service \
    /var/lib/systemd/deb-systemd-helper-*/*quarn* 2>/dev/null' || true)
[ -z "$left" ] || fail "purge left $left"
echo "after purge: no unit links, no mask, no enablement state"

echo "check-package: passed"
