#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the plain build, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, a bounded libFuzzer run of the parsers, and the
# aarch64 build for the device with the suite under qemu (NVR_SKIP_CROSS=1 leaves that out).
# Installs the Debian packages it needs when they are missing (as root).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
# Every build compiles SQLite from this source (once per build directory), as the device's program does.
sqlite_source=$(tools/fetch-sqlite.sh)
sqlite=(-DNVR_SQLITE_SOURCE="$sqlite_source")
# Here, unlike in a user's build, a warning fails the run.
werror=(-DNVR_WERROR=ON)

jobs=$(nproc)
# Every target gets this share (13 targets: about 7 minutes); tools/fuzz-long.sh runs them for hours.
fuzz_seconds=${NVR_FUZZ_SECONDS:-30}

echo "== build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${werror[@]}" "${sqlite[@]}" >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

echo "== address and undefined-behaviour sanitizers"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNVR_SANITIZE=ON "${werror[@]}" "${sqlite[@]}" >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$jobs")

echo "== fuzzing (${fuzz_seconds} s per target)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNVR_FUZZ=ON "${werror[@]}" "${sqlite[@]}" >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz-targets
for target in build-fuzz/bin/fuzz-*; do
    corpus=tests/fuzz/corpus/$(basename "$target")
    work=$(mktemp -d)
    "$target" -max_total_time="$fuzz_seconds" -timeout=10 "$work" "$corpus" 2>&1 | tail -n 3
    rm -rf "$work"
done
echo "fuzz: $(ls build-fuzz/bin/fuzz-* | wc -l) passed, 0 failed"

if [ "${NVR_SKIP_CROSS:-0}" = 1 ]; then
    echo "== aarch64 cross build and tests under qemu: left out (NVR_SKIP_CROSS=1)"
    exit 0
fi
echo "== aarch64 cross build and tests under qemu"
# Layout and alignment that only hold on x86-64 fail here: the device is 64-bit ARM.
tools/install-deps.sh --cross
toolchain=()
grep -q '^CMAKE_TOOLCHAIN_FILE:' build-aarch64/CMakeCache.txt 2>/dev/null ||
    toolchain=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake")
cmake -S . -B build-aarch64 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${toolchain[@]}" "${werror[@]}" "${sqlite[@]}" >/dev/null
cmake --build build-aarch64 -j "$jobs"
# Every program runs in qemu, roughly ten times slower: a hung test must not hold the run.
(cd build-aarch64 && ctest --output-on-failure -j "$jobs" --timeout 300)
