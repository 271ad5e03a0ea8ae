#!/usr/bin/env bash
# Screenshots under Xvfb: the Console's intro and idle window (the real program), a
# running and a finished measurement between EndPoints (the finished one also with the
# chart on Latency), the File panel, a log window and the help window, a second run
# compared with the first (dashed reference curves, a pair's tooltip); the HTML report of
# the first run as headless Chromium shows it; then the EndPoint window in normal and
# port-in-use mode. All of it runs in network namespaces that are removed again (needs root).
# Usage: scripts/screenshots.sh [OUTPUT_DIR]   (default: screenshots/)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-screenshots}")
mkdir -p "$out"
# Pictures of what a fresh user sees: no run history (a recovery question) and no kept
# settings of this machine's user.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_STATE_HOME=$scratch/state QUARN_CONFIG_HOME=$scratch/config
mkdir -p "$XDG_STATE_HOME" "$QUARN_CONFIG_HOME"

cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target Quarn_Console Quarn_EndPoint main_window_screenshots

xvfb-run -a -s "-screen 0 1600x1000x24" build/tests/gui/main_window_screenshots "$out"
. scripts/screenshots-report.sh
report_screenshot "$out/report.html" "$out/report.png"
. scripts/screenshots-endpoint.sh
endpoint_screenshots build "$out"
ls -l "$out"/*.png
