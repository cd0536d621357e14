#!/usr/bin/env bash
# Runs the libFuzzer harnesses of fuzz/ under ASan and UBSan, building them first when needed
# (clang, in build-fuzz; RETRACER_FUZZ_BUILD names another folder).
#
#   scripts/fuzz.sh [seconds] [harness...]   fuzz each harness for `seconds` (default 60), all
#                                            harnesses when none is named
#   scripts/fuzz.sh --replay [harness...]    run each harness once over its whole corpus
#
# Seeds and regression inputs come from tests/fuzz/corpus/<harness> and are never changed; what
# the fuzzer finds goes to build-fuzz/fuzz-corpus/<harness>, crashes to
# build-fuzz/fuzz-artifacts/<harness>. FUZZ_PARALLEL=n runs n harnesses at a time (default 1);
# FUZZ_FRESH=1 leaves the collected inputs aside and starts from the seeds.
# Prints executions per second and total executions of each harness; exits non-zero when any
# harness fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${RETRACER_FUZZ_BUILD:-$root/build-fuzz}
all=(expression field_splitter genesis_ev_job genesis_job csv_import worklist_file settings_file
     tool_par dxf_reader display_dxf_reader)

replay=0
seconds=60
if [ "${1:-}" = "--replay" ]; then
    replay=1
    shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
    seconds=$1
    shift
fi
harnesses=("$@")
[ ${#harnesses[@]} -eq 0 ] && harnesses=("${all[@]}")
for h in "${harnesses[@]}"; do
    if [ ! -f "$root/fuzz/$h.cpp" ]; then
        echo "fuzz.sh: no harness named $h (have: ${all[*]})" >&2
        exit 2
    fi
done

if [ ! -f "$build/build.ninja" ]; then
    CXX=${CXX:-clang++} cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DRETRACER_FUZZ=ON -DRETRACER_WERROR=ON >/dev/null
fi
if ! ninja -C "$build" -j"$(nproc 2>/dev/null || echo 2)" "${harnesses[@]/#/fuzz_}" \
    >"$build/fuzz-build.log" 2>&1; then
    tail -n 40 "$build/fuzz-build.log" >&2
    exit 1
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
logs=$build/fuzz-logs
mkdir -p "$logs"

dict_of() {
    case $1 in
        genesis_ev_job) echo genesis_ev ;;
        genesis_job) echo genesis ;;
        dxf_reader | display_dxf_reader) echo dxf ;;
        expression) echo expression ;;
    esac
}

# One harness; its log goes to fuzz-logs/<harness>.log.
run_one() {
    local h=$1
    local seeds=$root/tests/fuzz/corpus/$h
    local found=$build/fuzz-corpus/$h
    # A short run starts from the seeds alone: the inputs collected by long runs include jobs
    # that take seconds each under ASan, and loading them would outlast the run.
    [ "${FUZZ_FRESH:-0}" = 1 ] && found=$build/fuzz-fresh/$h && rm -rf "$found"
    local artifacts=$build/fuzz-artifacts/$h
    mkdir -p "$found" "$artifacts"
    local args=(-timeout=30 -rss_limit_mb=2048 -malloc_limit_mb=2048 -print_final_stats=1
                -artifact_prefix="$artifacts/")
    # A job may draw a hundred thousand holes from one line, and subprograms calling each other
    # a hundred entities per input byte: under ASan such inputs take their time and memory.
    case $h in
        genesis_ev_job | genesis_job) args+=(-timeout=120 -rss_limit_mb=4096 -malloc_limit_mb=4096
                                             -max_len=2048) ;;
    esac
    local dict
    dict=$(dict_of "$h")
    [ -n "$dict" ] && args+=(-dict="$root/tests/fuzz/dict/$dict.dict")
    if [ $replay -eq 1 ]; then
        # Regression inputs may be the largest a job is allowed to grow: more time per input.
        "$build/fuzz/fuzz_$h" "${args[@]}" -timeout=120 -runs=0 "$seeds" >"$logs/$h.log" 2>&1
    else
        "$build/fuzz/fuzz_$h" "${args[@]}" -max_total_time="$seconds" "$found" "$seeds" \
            >"$logs/$h.log" 2>&1
    fi
}

# "harness  exec/s  executions" from a finished log.
report() {
    local h=$1 status=$2 log=$logs/$1.log
    local runs secs
    runs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -1)
    secs=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
    runs=${runs:-0}
    local rate=-
    [ -n "$secs" ] && [ "$secs" -gt 0 ] && rate=$(awk -v r="$runs" -v s="$secs" 'BEGIN { printf "%.1f", r / s }')
    if [ "$status" -eq 0 ]; then
        printf '%-20s %10s exec/s %12s executions  ok\n' "$h" "$rate" "$runs"
    else
        printf '%-20s %10s exec/s %12s executions  FAILED (log: %s)\n' "$h" "$rate" "$runs" "$log"
        grep -E 'ERROR: |Property broken|runtime error|SUMMARY|Test unit written|Parse' "$log" |
            head -8 | sed 's/^/    /' || true
    fi
}

parallel=${FUZZ_PARALLEL:-1}
failed=0
# Harnesses running, oldest first, and their process ids: all run for the same time, so the
# oldest finishes first and the report keeps the order they were named in.
running=()
pids=()
finish_oldest() {
    local status=0
    wait "${pids[0]}" || status=$?
    report "${running[0]}" "$status"
    [ "$status" -eq 0 ] || failed=1
    running=("${running[@]:1}")
    pids=("${pids[@]:1}")
}
for h in "${harnesses[@]}"; do
    while [ ${#running[@]} -ge "$parallel" ]; do finish_oldest; done
    run_one "$h" &
    running+=("$h")
    pids+=($!)
done
while [ ${#running[@]} -gt 0 ]; do finish_oldest; done
exit $failed
