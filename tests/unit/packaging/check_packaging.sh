#!/usr/bin/env bash
# Checks one group of the installed data files with the desktop's own validators.
#   check_packaging.sh desktop SOURCE_DIR
#   check_packaging.sh systemd SOURCE_DIR ENDPOINT_PROGRAM MAN_DIR|-
#   check_packaging.sh mime    SOURCE_DIR
#   check_packaging.sh metainfo SOURCE_DIR
#   check_packaging.sh man     SOURCE_DIR MAN_DIR
# Exit 0 passed, 1 failed, 77 skipped (the validator is not installed).
set -uo pipefail
mode=$1
packaging="$2/packaging"

need() {  # tool package
    if ! command -v "$1" >/dev/null 2>&1; then
        echo "SKIPPED: $1 is not installed (Debian package $2)"
        exit 77
    fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case "$mode" in
desktop)
    need desktop-file-validate desktop-file-utils
    # Warnings count as failures too.
    out=$(desktop-file-validate "$packaging"/quarn-console.desktop \
        "$packaging"/quarn-endpoint.desktop 2>&1)
    status=$?
    [ -n "$out" ] && echo "$out"
    [ $status -eq 0 ] && [ -z "$out" ] || exit 1
    grep -qx 'Exec=Quarn_Console %f' "$packaging"/quarn-console.desktop || {
        echo "the Console's entry does not take a file"; exit 1; }
    grep -qx 'MimeType=application/x-quarn-config;' "$packaging"/quarn-console.desktop || {
        echo "the Console's entry does not claim its configuration files"; exit 1; }
    echo "desktop entries valid"
    ;;
systemd)
    need systemd-analyze systemd
    program=$3
    [ -x "$program" ] || { echo "FAILED: $program is not built"; exit 1; }
    sed "s|@QUARN_BINDIR@|$(dirname "$program")|" "$packaging"/quarn-endpoint.service.in \
        >"$work/quarn-endpoint.service"
    # systemd-analyze only warns about many mistakes; any output is a failure here. It
    # also opens the manual the unit names: the one just built ("-": none was built).
    man=(--man=yes)
    [ "$4" != - ] || man=(--man=no)
    out=$(MANPATH="$4" systemd-analyze verify "${man[@]}" "$work/quarn-endpoint.service" 2>&1)
    status=$?
    [ -n "$out" ] && echo "$out"
    [ $status -eq 0 ] && [ -z "$out" ] || exit 1
    unit="$work/quarn-endpoint.service"
    grep -q '^ExecStart=.*/Quarn_EndPoint --headless$' "$unit" || {
        echo "the unit does not run the headless EndPoint"; exit 1; }
    # Readiness after binding, restarts after any exit, and the hardening that keeps
    # everything working.
    for line in Type=notify Restart=always ProtectProc=invisible PrivateUsers=yes \
        DevicePolicy=closed 'SystemCallFilter=~@privileged @resources'; do
        grep -qxF "$line" "$unit" || { echo "the unit lacks $line"; exit 1; }
    done
    # The agent reads /proc/net, and the unit documents Quarn, not iperf.
    for line in ProcSubset=pid 'Documentation=man:iperf(1)'; do
        ! grep -qxF "$line" "$unit" || { echo "the unit must not have $line"; exit 1; }
    done
    echo "systemd unit valid"
    ;;
mime)
    need update-mime-database shared-mime-info
    need gio libglib2.0-bin
    mkdir -p "$work/mime/packages"
    cp "$packaging"/quarn-config.xml "$work/mime/packages/"
    out=$(XDG_DATA_DIRS="$work:/usr/share" update-mime-database "$work/mime" 2>&1)
    [ -z "$out" ] || { echo "$out"; exit 1; }
    # A saved configuration: byte-order mark, identifier, then UTF-16LE text.
    printf '\xff\xfe{2E01FA3A-1C1D-4df1-BB63-3DB505F897BD}[\x00]\x00\n\x00' >"$work/run.config"
    # Other files named .config: XML, and an identifier one byte off.
    printf '<?xml version="1.0"?>\n<configuration/>\n' >"$work/web.config"
    printf '\xff\xfe{2E01FA3A-1C1D-4df1-BB63-3DB505F897BE}[\x00]\x00' >"$work/near.config"
    type_of() {
        XDG_DATA_DIRS="$work:/usr/share" XDG_DATA_HOME="$work/none" \
            gio info -a standard::content-type "$1" | sed -n 's/.*content-type: //p'
    }
    failed=0
    for expect in run:application/x-quarn-config web:!application/x-quarn-config \
        near:!application/x-quarn-config; do
        file=${expect%%:*}
        want=${expect#*:}
        got=$(type_of "$work/$file.config")
        if [ "${want#!}" != "$want" ]; then
            [ "$got" != "${want#!}" ] || { echo "$file.config taken for ${want#!}"; failed=1; }
        else
            [ "$got" = "$want" ] || { echo "$file.config is '$got', not $want"; failed=1; }
        fi
    done
    [ $failed -eq 0 ] || exit 1
    echo "configuration files recognised by their identifier"
    ;;
metainfo)
    need appstreamcli appstream
    # Pedantic hints count too; --no-net: the screenshot's address is not fetched.
    out=$(appstreamcli validate --no-net --pedantic --no-color \
        "$packaging"/org.example.quarn.console.metainfo.xml 2>&1)
    status=$?
    echo "$out"
    [ $status -eq 0 ] && ! grep -qE '^[EWIP]: ' <<<"$out" || exit 1
    grep -q '<launchable type="desktop-id">quarn-console.desktop</launchable>' \
        "$packaging"/org.example.quarn.console.metainfo.xml || {
        echo "the metainfo does not launch the Console's desktop entry"; exit 1; }
    ;;
man)
    need lexgrog man-db
    failed=0
    for page in Quarn_Console Quarn_EndPoint; do
        file="$3/man1/$page.1"
        [ -f "$file" ] || { echo "FAILED: $file was not built"; failed=1; continue; }
        # groff's warnings (bad requests, lines it cannot fill) on stderr.
        out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
        [ -z "$out" ] || { echo "$page: $out"; failed=1; }
        whatis=$(lexgrog "$file") || { echo "lexgrog cannot read $page's NAME"; failed=1; }
        grep -qF "\"$page - " <<<"$whatis" || { echo "unexpected NAME: $whatis"; failed=1; }
        echo "$whatis"
    done
    [ $failed -eq 0 ] || exit 1
    ;;
*)
    echo "unknown check $mode"
    exit 1
    ;;
esac
