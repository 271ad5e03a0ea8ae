#!/usr/bin/env bash
# Builds Quarn and runs the whole test suite three times: a normal build, then an
# AddressSanitizer+UBSan build (without the Qt windows) and a ThreadSanitizer build with
# the windows (their tests read tests/tsan-qt.supp for what happens inside Qt), then runs
# every libFuzzer target for 20 seconds (scripts/fuzz.sh, clang build in build-fuzz), then
# cross-builds the Windows EndPoint and runs its unit tests under Wine (build-windows).
# Usage: scripts/test.sh [normal|asan|tsan|fuzz|windows ...]   (default: all five)
# Needs root for the network-namespace tests (they skip without it).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
variants=("$@")
[ ${#variants[@]} -gt 0 ] || variants=(normal asan tsan fuzz windows)

failed=()
run_variant() {
    local name=$1 dir=$2
    shift 2
    echo "=== ${name}: configure and build (${dir}) ==="
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    echo "=== ${name}: ctest ==="
    local runner=()
    # ThreadSanitizer needs a fixed address-space layout on kernels with high mmap entropy.
    [ "$name" = tsan ] && runner=(setarch "$(uname -m)" -R)
    if ! "${runner[@]}" ctest --test-dir "$dir" --output-on-failure -j "$jobs"; then
        failed+=("$name")
    fi
}

# Windows programs run under Wine, one prefix in the build folder, its server kept alive.
run_windows() {
    scripts/build-windows.sh build-windows || return 1
    echo "=== windows: ctest under Wine ==="
    export WINEPREFIX=$PWD/build-windows/wine-prefix WINEDEBUG=-all
    /usr/lib/wine/wineserver64 -p60 || true
    ctest --test-dir build-windows --output-on-failure -j "$jobs"
}

for v in "${variants[@]}"; do
    case "$v" in
        normal) run_variant normal build ;;
        asan) run_variant asan build-asan -DQUARN_SANITIZE=address -DQUARN_BUILD_GUI=OFF -DQUARN_BUILD_BENCH=OFF ;;
        tsan) run_variant tsan build-tsan -DQUARN_SANITIZE=thread -DQUARN_BUILD_GUI=ON -DQUARN_BUILD_BENCH=OFF ;;
        fuzz) scripts/fuzz.sh 20 || failed+=(fuzz) ;;
        windows) run_windows || failed+=(windows) ;;
        *) echo "unknown variant: $v" >&2; exit 2 ;;
    esac
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED variants: ${failed[*]}"
    exit 1
fi
echo "All test variants passed: ${variants[*]}"
