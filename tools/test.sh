#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the plain build, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, and a bounded libFuzzer run of the parsers.
# Installs the Debian packages it needs when they are missing (as root).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

jobs=$(nproc)
fuzz_seconds=${NVR_FUZZ_SECONDS:-60}

echo "== build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

echo "== address and undefined-behaviour sanitizers"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNVR_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$jobs")

echo "== fuzzing (${fuzz_seconds} s per target)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNVR_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz-targets
for target in build-fuzz/bin/fuzz-*; do
    corpus=tests/fuzz/corpus/$(basename "$target")
    work=$(mktemp -d)
    "$target" -max_total_time="$fuzz_seconds" -timeout=10 "$work" "$corpus" 2>&1 | tail -n 3
    rm -rf "$work"
done
echo "fuzz: $(ls build-fuzz/bin/fuzz-* | wc -l) passed, 0 failed"
