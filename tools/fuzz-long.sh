#!/usr/bin/env bash
# Runs every fuzz target (or those named) for a long time each and prints, per target, the
# executions, the coverage libFuzzer reached (cov: code edges, ft: features) and the findings.
#
#     tools/fuzz-long.sh [seconds per target, default 3600] [target ...]
#
# Each target starts from its seed corpus (tests/fuzz/corpus/<target>) and from what earlier long runs
# found (build-fuzz/long/<target>/corpus, kept between runs); a crash, leak, time-out or memory
# blow-up stops that target and its input is left in build-fuzz/long/<target>/findings. NVR_FUZZ_JOBS
# targets run at once (default: half the processors, at least 1); NVR_FUZZ_NO_BUILD=1 uses the
# build-fuzz directory as it is. Exits 1 when anything was found.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-3600}
shift || true
jobs=${NVR_FUZZ_JOBS:-$(( $(nproc) / 2 > 0 ? $(nproc) / 2 : 1 ))}

if [ "${NVR_FUZZ_NO_BUILD:-0}" != 1 ]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNVR_FUZZ=ON \
        -DNVR_SQLITE_SOURCE="$(tools/fetch-sqlite.sh)" >/dev/null
    cmake --build build-fuzz --target fuzz-targets >/dev/null
fi

if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for path in build-fuzz/bin/fuzz-*; do
        targets+=("$(basename "$path")")
    done
fi

run_one() {
    local target=$1 dir=build-fuzz/long/$1
    mkdir -p "$dir/corpus" "$dir/findings"
    build-fuzz/bin/"$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$dir/findings/" "$dir/corpus" "tests/fuzz/corpus/$target" >"$dir/log" 2>&1 || true
}

echo "fuzzing ${#targets[@]} targets for $seconds s each, $jobs at once (logs in build-fuzz/long/<target>/log)"
running=0
for target in "${targets[@]}"; do
    run_one "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n
        running=$((running - 1))
    fi
done
wait

found=0
printf '%-18s %12s %8s %8s %8s  %s\n' target executions cov ft corpus findings
for target in "${targets[@]}"; do
    dir=build-fuzz/long/$target
    # The last status line ("#N DONE cov: C ft: F corp: K/...") and the final statistics.
    status=$(grep -E '^#[0-9]+' "$dir/log" | tail -n 1 || true)
    runs=$(grep -oE '^stat::number_of_executed_units: [0-9]+' "$dir/log" | grep -oE '[0-9]+$' || true)
    cov=$(grep -oE 'cov: [0-9]+' <<<"$status" | grep -oE '[0-9]+' || true)
    ft=$(grep -oE 'ft: [0-9]+' <<<"$status" | grep -oE '[0-9]+' || true)
    corp=$(grep -oE 'corp: [0-9]+' <<<"$status" | grep -oE '[0-9]+' || true)
    findings=$(find "$dir/findings" -type f | wc -l)
    if [ "$findings" -gt 0 ]; then
        found=1
        what=$(find "$dir/findings" -type f -printf '%f ' | head -c 200)
    else
        what=none
    fi
    printf '%-18s %12s %8s %8s %8s  %s\n' "$target" "${runs:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}" "$what"
done
exit "$found"
