#!/usr/bin/env bash
# Runs every libFuzzer target for FUZZ_SECONDS seconds (default 60) over its seed corpus and prints,
# per target, executions, executions per second, coverage and any finding (its reproducer is kept in
# fuzz-findings/). With --smoke, each target only runs a few seconds: the check inside `make test`.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
[ "${1:-}" = "--smoke" ] && seconds=${FUZZ_SMOKE_SECONDS:-3}

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DVEXA_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null || exit 1
cmake --build "$build" -j "$(nproc)" >/dev/null || { cmake --build "$build" 2>&1 | tail -30; exit 1; }

corpus_root="$build/corpus"
mkdir -p "$corpus_root" fuzz-findings
if [ -x "$build/bin/make_fuzz_seeds" ]; then "$build/bin/make_fuzz_seeds" "$corpus_root" || exit 1; fi

failed=0
printf '%-22s %12s %10s %8s %s\n' target executions exec/s cov finding
for target in $(cat "$build/fuzz_targets.txt"); do
    name=${target#fuzz_}
    corpus="$corpus_root/$name"
    mkdir -p "$corpus"
    log="$build/$target.log"
    "$build/bin/$target" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=256 -malloc_limit_mb=256 \
        -print_final_stats=1 -artifact_prefix="fuzz-findings/$name-" "$corpus" >"$log" 2>&1
    rc=$?
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    secs=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
    finding="none"
    if [ $rc -ne 0 ]; then
        finding=$(ls -t fuzz-findings/"$name"-* 2>/dev/null | head -1)
        finding="${finding:-exit $rc} (see $log)"
        failed=1
    fi
    printf '%-22s %12s %10s %8s %s\n' "$name" "${runs:-?}" "${secs:-?}" "${cov:-?}" "$finding"
done
exit $failed
