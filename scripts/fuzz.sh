#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan+UBSan, in build-fuzz) and runs each one for
# SECONDS (default 20) on a copy of its seed corpus in tests/fuzz/corpus/<target>/.
# Fails when any target finds a crash, a leak, a hang (30 s per input, generous for a
# shared machine) or a broken invariant; the input is kept in the run's folder (printed).
# Prints each target's number of executions.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET ...]
# The .config seeds come from build-fuzz/tests/fuzz/fuzz_config_seeds tests/data/iperf2 DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
    targets=(fuzz_request_framer fuzz_probe_reply fuzz_facts_reply fuzz_tick_processor fuzz_config_file fuzz_pair_log
        fuzz_json_reader fuzz_journal_reader fuzz_metrics_request fuzz_headless_options
        fuzz_reference_loading fuzz_auth_messages fuzz_test_plan)

echo "=== fuzz: configure and build (build-fuzz) ==="
# One unit per file, as before batching: the clang build has not been tried in batches.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUARN_SANITIZE=address \
    -DQUARN_UNITY_BUILD=OFF -DQUARN_BUILD_GUI=OFF -DQUARN_BUILD_BENCH=OFF -DQUARN_BUILD_TESTS=OFF \
    -DQUARN_BUILD_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target quarn_fuzz

# Runs write new inputs and scratch files only here (in memory when possible).
base=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
work=$(mktemp -d "$base/quarn-fuzz.XXXXXX")
keep=0
cleanup() { [ "$keep" -eq 1 ] || rm -rf "$work"; }
trap cleanup EXIT

failed=()
for target in "${targets[@]}"; do
    dir="$work/$target"
    mkdir -p "$dir/corpus" "$dir/tmp"
    cp tests/fuzz/corpus/"$target"/* "$dir/corpus/"
    log="$dir/log.txt"
    echo "=== fuzz: $target for ${seconds}s ==="
    status=0
    # Crash inputs go to the run's folder; tmp holds what a target writes.
    (cd "$dir" && TMPDIR="$dir/tmp" \
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
        "$OLDPWD/build-fuzz/tests/fuzz/$target" -max_total_time="$seconds" -timeout=30 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/" corpus \
        >"$log" 2>&1) || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    echo "$target: ${runs:-?} executions, exit status $status"
    if [ "$status" -ne 0 ]; then
        failed+=("$target")
        keep=1
        grep -E "ERROR|invariant failed|SUMMARY|Test unit written|^ +#[0-9]+ " "$log" | head -40 || true
        echo "full log: $log"
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "FUZZ FINDINGS in: ${failed[*]} (inputs and logs kept in $work)"
    exit 1
fi
echo "All fuzz targets ran clean: ${targets[*]}"
