#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang in build/fuzz and runs each for SECONDS
# (default 60), two at a time (SCALE_JOBS), on a working corpus in build/fuzz/corpus seeded from
# fuzz/corpus. Prints "TARGET: N runs, M crashes" for each and a total, and exits non-zero when
# any target crashed. Crashing inputs stay in build/fuzz/artifacts, the output in build/fuzz/logs.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
source scripts/deps.sh
install_dependencies

werror=OFF
if [ "${CI:-}" = "true" ]; then
    werror=ON
fi
build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSCALE_BUILD_FUZZ=ON -DSCALE_BUILD_TESTS=OFF -DSCALE_WERROR="$werror" >/dev/null
if ! output=$(ninja -C "$build" -j2 fuzz 2>&1); then
    echo "$output" >&2
    exit 1
fi

artifacts="$build/artifacts"
logs="$build/logs"
mkdir -p "$artifacts" "$logs"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# fuzz_one TARGET: runs it and writes "RUNS CRASHES STATUS" to its summary file.
fuzz_one() {
    local target=$1
    local corpus="$build/corpus/$target" log="$logs/$target.log" started="$logs/$target.started"
    mkdir -p "$corpus"
    touch "$started"
    # New inputs go to the first folder only, so the committed seeds stay as they are.
    local status=0
    "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target-" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 ||
        status=$?
    local runs crashes
    runs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -n 1)
    crashes=$(find "$artifacts" -name "$target-*" -newer "$started" | wc -l)
    if [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ]; then
        crashes=1
    fi
    echo "${runs:-0} $crashes $status" >"$logs/$target.summary"
}

# Each target runs on one core: as many at once as there are jobs (SCALE_JOBS, default 2).
targets=()
for source in fuzz/targets/*_fuzz.cpp; do
    targets+=("$(basename "$source" .cpp)")
done
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "${SCALE_JOBS:-2}" ]; do
        wait -n || true
    done
    fuzz_one "$target" &
done
wait

total_runs=0
total_crashes=0
for target in "${targets[@]}"; do
    read -r runs crashes status <"$logs/$target.summary"
    echo "$target: $runs runs, $crashes crashes"
    if [ "$crashes" -ne 0 ]; then
        echo "$target failed (exit $status): see $logs/$target.log" >&2
    fi
    total_runs=$((total_runs + runs))
    total_crashes=$((total_crashes + crashes))
done
echo "total: $total_runs runs, $total_crashes crashes"
[ "$total_crashes" -eq 0 ]
