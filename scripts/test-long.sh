#!/usr/bin/env bash
# The tests scripts/test.sh leaves out because they need their seconds: the e2e cases
# labelled "e2e-long" (measurements through shaped links, whose figures are only stable
# over a long enough run) in the normal build, then every libFuzzer target for SECONDS
# each (default 120; scripts/fuzz.sh, clang build in build-fuzz).
# Usage: scripts/test-long.sh [SECONDS]
# Needs root for the network namespaces (the cases skip without it).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
jobs=$(nproc)

failed=()
echo "=== long: configure and build (build) ==="
start=$SECONDS
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$jobs"
built=$SECONDS
echo "=== long: ctest -L e2e-long ==="
# No case found is a failure too: the label must not quietly select nothing.
ctest --test-dir build --output-on-failure --no-tests=error -L e2e-long || failed+=(e2e-long)
echo "=== long: build $((built - start)) s, ctest $((SECONDS - built)) s ==="
scripts/fuzz.sh "$seconds" || failed+=(fuzz)

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "All long tests passed: e2e-long, fuzz ${seconds}s per target"
