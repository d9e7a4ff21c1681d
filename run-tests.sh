#!/usr/bin/env bash
# Builds and runs every test twice: in a Release build (build/) and in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-sanitize/). Fails on the first failure.
set -euo pipefail
cd "$(dirname "$0")"
jobs="${JOBS:-2}"

run_suite() {
    local folder="$1"
    shift
    cmake -S . -B "$folder" -G Ninja "$@"
    cmake --build "$folder" -j "$jobs"
    ctest --test-dir "$folder" --output-on-failure -j "$jobs"
}

run_suite build -DCMAKE_BUILD_TYPE=Release -DNOISECLUST_SANITIZE=OFF
ASAN_OPTIONS="abort_on_error=1:detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    run_suite build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNOISECLUST_SANITIZE=ON
echo "All tests passed in the Release and the sanitizer build."
