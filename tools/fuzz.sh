#!/usr/bin/env bash
# Runs the libFuzzer targets of fuzz/ (built with clang in build-fuzz/).
#   tools/fuzz.sh short                      every target for a few seconds (about a minute)
#   tools/fuzz.sh long SECONDS [TARGET...]   the targets (default: all) for SECONDS each,
#                                            then new corpus inputs merged into fuzz/corpus
# Two targets run at a time. Each run starts from fuzz/corpus/TARGET and
# fuzz/regressions/TARGET (with fuzz/TARGET.dict when there is one) and stops at its
# first finding. Prints executions, executions per second and coverage (cov: edges,
# ft: features) per target; fails naming every crashing input, which is kept under
# build-fuzz/fuzz-runs/TARGET/. Keep a fixed crash in fuzz/regressions/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=build-fuzz
RUNS=$BUILD/fuzz-runs
JOBS=2

usage() {
    sed -n '2,4p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

mode=${1:-}
case "$mode" in
short) seconds=15; [ $# -eq 1 ] || usage ;;
long) [ $# -ge 2 ] && [[ $2 =~ ^[0-9]+$ ]] || usage; seconds=$2 ;;
*) usage ;;
esac

# Build the fuzz targets only (the rest of the tree is not needed here).
if [ ! -f $BUILD/build.ninja ]; then
    cmake -S . -B $BUILD -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ -DTIVREL_FUZZ=ON >/dev/null
fi
cmake --build $BUILD --target fuzz_targets -- -j$JOBS

targets=()
if [ "$mode" = long ] && [ $# -gt 2 ]; then
    targets=("${@:3}")
else
    for exe in $BUILD/fuzz/fuzz_*; do
        targets+=("${exe##*/fuzz_}")
    done
fi
for t in "${targets[@]}"; do
    [ -x $BUILD/fuzz/fuzz_$t ] || { echo "fuzz.sh: no fuzz target $t in $BUILD/fuzz" >&2; exit 2; }
done

# Longest input libFuzzer makes for each target (default 4096 bytes): the packer's
# window is 8,192 bytes, the command line is short.
max_len() {
    case $1 in
    pack_roundtrip) echo 16384 ;;
    options) echo 512 ;;
    *) echo 4096 ;;
    esac
}

# The ovltool target makes and removes a folder per input: on tmpfs when there is one.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi
export UBSAN_OPTIONS=print_stacktrace=1

run_target() {   # run_target TARGET: one libFuzzer run into $RUNS/TARGET
    local t=$1 dir=$RUNS/$1
    rm -rf "$dir"
    mkdir -p "$dir/new" "$dir/artifacts"
    local args=(-max_total_time="$seconds" -max_len="$(max_len "$t")" -timeout=10 -rss_limit_mb=2048
                -print_final_stats=1 -close_fd_mask=1 -artifact_prefix="$dir/artifacts/")
    [ -f fuzz/$t.dict ] && args+=(-dict=fuzz/$t.dict)
    local seeds=()
    for d in fuzz/corpus/$t fuzz/regressions/$t; do
        [ -d "$d" ] && seeds+=("$d")
    done
    # New inputs go to $dir/new (the first folder); the tree's folders are only read.
    set +e
    $BUILD/fuzz/fuzz_$t "${args[@]}" "$dir/new" "${seeds[@]}" >"$dir/log" 2>&1
    echo $? >"$dir/status"
}

start=$SECONDS
running=0
for t in "${targets[@]}"; do
    if [ $running -ge $JOBS ]; then
        wait -n || true
        running=$((running - 1))
    fi
    run_target "$t" &
    running=$((running + 1))
done
wait

failed=0
passed=0
printf '%-16s %12s %9s %6s %7s  %s\n' target executions exec/s cov ft result
for t in "${targets[@]}"; do
    dir=$RUNS/$t
    execs=$(sed -n 's/^stat::number_of_executed_units: //p' "$dir/log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: //p' "$dir/log" | tail -1)
    last=$(grep -E '^#[0-9]+.*cov: ' "$dir/log" | tail -1 || true)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    found=$(find "$dir/artifacts" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | sort)
    status=$(cat "$dir/status")
    result=ok
    if [ -n "$found" ] || [ "$status" != 0 ]; then
        failed=1
        result="FAILED (status $status): ${found:-no input saved, see $dir/log}"
    else
        passed=$((passed + 1))
    fi
    printf '%-16s %12s %9s %6s %7s  %s\n' "$t" "${execs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "$result"
done
for t in "${targets[@]}"; do
    if [ "$(cat $RUNS/$t/status)" != 0 ]; then
        echo "---- $t: end of $RUNS/$t/log"
        grep -v '^replay\|^ovltool: ' "$RUNS/$t/log" | tail -40
    fi
done

# Keep what the long runs found: only inputs that reach edges the corpus does not
# (edge coverage alone, so the corpus stays small).
if [ "$mode" = long ]; then
    for t in "${targets[@]}"; do
        mkdir -p fuzz/corpus/$t
        before=$(ls fuzz/corpus/$t | wc -l)
        $BUILD/fuzz/fuzz_$t -merge=1 -use_counters=0 -max_len="$(max_len "$t")" -close_fd_mask=1 \
            fuzz/corpus/$t "$RUNS/$t/new" >"$RUNS/$t/merge.log" 2>&1 || {
            echo "fuzz.sh: merging $t failed, see $RUNS/$t/merge.log" >&2
            failed=1
        }
        after=$(ls fuzz/corpus/$t | wc -l)
        echo "corpus $t: $before -> $after inputs, $(du -sk fuzz/corpus/$t | cut -f1) KiB"
    done
fi

echo "fuzz.sh: $mode run of ${#targets[@]} targets in $((SECONDS - start)) s"
echo "fuzz: $passed passed, $((${#targets[@]} - passed)) failed"
if [ $failed -ne 0 ]; then
    echo "fuzz.sh: a target failed; keep each crashing input in fuzz/regressions/TARGET/ once it is fixed" >&2
    exit 1
fi
