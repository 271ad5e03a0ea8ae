#!/usr/bin/env bash
# Builds Quarn and runs the whole test suite three times: a normal build, then an
# AddressSanitizer+UBSan build (without the Qt windows) and a ThreadSanitizer build with
# the windows (their tests read tests/tsan-qt.supp for what happens inside Qt), then runs
# every libFuzzer target for 6 seconds as a smoke check (scripts/fuzz.sh, clang build in
# build-fuzz; scripts/test-long.sh fuzzes for minutes and runs the long e2e cases), then
# cross-builds the Windows EndPoint, runs its unit and role tests under Wine
# (build-windows) and measures it with the Linux Console in network namespaces, and last
# checks the Debian package (scripts/lint-package.sh: lintian, AppStream, desktop entries,
# manual pages, completion; its tools come from scripts/setup-check.sh).
# Usage: scripts/test.sh [normal|asan|tsan|fuzz|windows|package ...]   (default: all six)
# Needs root for the network-namespace tests (they skip without it).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
variants=("$@")
[ ${#variants[@]} -gt 0 ] || variants=(normal asan tsan fuzz windows package)

failed=()
run_variant() {
    local name=$1 dir=$2
    shift 2
    echo "=== ${name}: configure and build (${dir}) ==="
    local start=$SECONDS
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    local built=$SECONDS
    echo "=== ${name}: ctest ==="
    local runner=() select=()
    # ThreadSanitizer needs a fixed address-space layout on kernels with high mmap entropy.
    [ "$name" = tsan ] && runner=(setarch "$(uname -m)" -R)
    # The long measurements are scripts/test-long.sh's. The sanitizer builds also leave
    # out the e2e cases that only wait and measure (the normal build runs them); see
    # quarn_add_test in tests/CMakeLists.txt.
    select=(-LE e2e-long)
    [ "$name" != normal ] && select=(-LE 'unsanitized|e2e-long')
    if ! "${runner[@]}" ctest --test-dir "$dir" --output-on-failure -j "$jobs" "${select[@]}"; then
        failed+=("$name")
    fi
    echo "=== ${name}: build $((built - start)) s, ctest $((SECONDS - built)) s ==="
}

# Windows programs run under Wine, in one session of the build folder's prefix.
# Then the packed Windows EndPoint is measured by the Linux Console in network namespaces
# (the test from the normal build, which skips there without these variables).
run_windows() {
    scripts/build-windows.sh build-windows || return 1
    echo "=== windows: ctest under Wine ==="
    . scripts/windows/wine-session.sh
    wine_session_start "$PWD/build-windows/wine-prefix"
    local status=0
    ctest --test-dir build-windows --output-on-failure -j "$jobs" || status=1
    wine_session_stop
    echo "=== windows: the Windows EndPoint end to end (build) ==="
    cmake -S . -B build -G Ninja >/dev/null
    cmake --build build -j "$jobs" --target windows_endpoint_e2e_test || return 1
    QUARN_WINDOWS_ENDPOINT_DIR=$PWD/build-windows/package QUARN_WINE_PREFIX=$WINEPREFIX \
        ctest --test-dir build -R '^WindowsEndPointTest\.' --output-on-failure || status=1
    return $status
}

for v in "${variants[@]}"; do
    case "$v" in
        normal) run_variant normal build ;;
        asan) run_variant asan build-asan -DQUARN_SANITIZE=address -DQUARN_BUILD_GUI=OFF -DQUARN_BUILD_BENCH=OFF ;;
        tsan) run_variant tsan build-tsan -DQUARN_SANITIZE=thread -DQUARN_BUILD_GUI=ON -DQUARN_BUILD_BENCH=OFF ;;
        fuzz) scripts/fuzz.sh 6 || failed+=(fuzz) ;;
        windows) run_windows || failed+=(windows) ;;
        package) { scripts/setup-check.sh && scripts/lint-package.sh build; } || failed+=(package) ;;
        *) echo "unknown variant: $v" >&2; exit 2 ;;
    esac
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED variants: ${failed[*]}"
    exit 1
fi
echo "All test variants passed: ${variants[*]}"
