#!/usr/bin/env bash
# A screenshot of an HTML report as headless Chromium shows it:
#   scripts/screenshots-report.sh REPORT.html OUT.png
# The browser runs in a network namespace with nothing but loopback (needs root): the
# report must stand on its own, and the browser's own calls home go nowhere.
# Other scripts may source this file and call report_screenshot REPORT OUT.

report_screenshot() (
    set -eu
    local report out ns profile
    report=$(realpath "$1")
    out=$(realpath -m "$2")
    ns="qreport$$"
    profile=$(mktemp -d)
    cleanup_report_shot() {
        ip netns del "$ns" 2>/dev/null || true
        rm -rf "$profile"
    }
    trap cleanup_report_shot EXIT
    ip netns add "$ns"
    ip -n "$ns" link set lo up
    # --no-sandbox: Chromium refuses to run as root otherwise.
    ip netns exec "$ns" chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
        --user-data-dir="$profile" --window-size=1400,1100 --screenshot="$out" \
        "file://$report" 2>/dev/null
    [ -s "$out" ] || { echo "screenshots-report: no screenshot of $report" >&2; return 1; }
    echo "report screenshot: $out"
)

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    [ $# -eq 2 ] || { echo "usage: $0 REPORT.html OUT.png" >&2; exit 2; }
    report_screenshot "$1" "$2"
fi
