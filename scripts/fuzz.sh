#!/usr/bin/env bash
# Runs every libFuzzer target over its seed corpus and prints, per target, executions, executions
# per second, coverage and any finding (its reproducer is kept in fuzz-findings/).
#   FUZZ_SECONDS  each target runs this long (default 60)
#   FUZZ_RUNS     or: each target runs this many executions (e.g. 2000000), however long it takes
#   FUZZ_JOBS     targets run side by side (default: the number of processors)
#   FUZZ_TARGETS  only these targets, in this order (e.g. "fuzz_pak fuzz_writers"; default: all)
#   --smoke       each target runs a few seconds (FUZZ_SMOKE_SECONDS, default 3): the check in `make test`
set -uo pipefail
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
runs=${FUZZ_RUNS:-}
jobs=${FUZZ_JOBS:-$(nproc)}
if [ "${1:-}" = "--smoke" ]; then seconds=${FUZZ_SMOKE_SECONDS:-3}; runs=""; fi

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DVEXA_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null || exit 1
cmake --build "$build" -j "$(nproc)" >/dev/null || { cmake --build "$build" 2>&1 | tail -30; exit 1; }

corpus_root="$build/corpus"
mkdir -p "$corpus_root" fuzz-findings
if [ -x "$build/bin/make_fuzz_seeds" ]; then "$build/bin/make_fuzz_seeds" "$corpus_root" || exit 1; fi

# A small quarantine keeps each process far below the memory limit: with ASan's default (256 MiB)
# the quarantine alone fills it, and the limit's bookkeeping makes every run three times slower.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16}
if [ -n "$runs" ]; then limit=(-runs="$runs"); else limit=(-max_total_time="$seconds"); fi

run_target() {
    local target=$1 name=${1#fuzz_}
    # The inputs that once found a fault (fuzz/regressions/<target>/) are run first, every time.
    local corpora=("$corpus_root/$name")
    [ -d "fuzz/regressions/$name" ] && corpora+=("fuzz/regressions/$name")
    mkdir -p "$corpus_root/$name"
    "$build/bin/$target" "${limit[@]}" -timeout=1 -rss_limit_mb=256 -malloc_limit_mb=256 \
        -print_final_stats=1 -artifact_prefix="fuzz-findings/$name-" "${corpora[@]}" \
        >"$build/$target.log" 2>&1
    echo $? >"$build/$target.rc"
}

targets=${FUZZ_TARGETS:-$(cat "$build/fuzz_targets.txt")}
running=0
for target in $targets; do
    rm -f "$build/$target.rc"
    run_target "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then wait -n; running=$((running - 1)); fi
done
wait

failed=0
printf '%-14s %12s %8s %8s %8s %s\n' target executions exec/s seconds cov finding
for target in $targets; do
    name=${target#fuzz_}
    log="$build/$target.log"
    rc=$(cat "$build/$target.rc" 2>/dev/null || echo "?")
    executed=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
    took=""
    if [ -n "${executed:-}" ] && [ -n "${rate:-}" ] && [ "$rate" -gt 0 ]; then took=$((executed / rate)); fi
    finding="none"
    if [ "$rc" != 0 ]; then
        finding=$(ls -t fuzz-findings/"$name"-* 2>/dev/null | head -1)
        finding="${finding:-exit $rc} (see $log)"
        failed=1
    fi
    printf '%-14s %12s %8s %8s %8s %s\n' "$name" "${executed:-?}" "${rate:-?}" "${took:-?}" "${cov:-?}" "$finding"
done
exit $failed
