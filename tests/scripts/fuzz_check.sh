#!/usr/bin/env bash
# Deterministic fuzzing against the sanitizer build (skipped in the Release
# build): mutants of the bundled example in all four layouts, with and
# without an error file, and random dialogue scripts. See fuzz_check.py.
source "$(dirname "$0")/check_lib.sh"
[ "$build_kind" = sanitize ] || skip "the fuzz run needs the sanitizer build"
command -v timeout > /dev/null || skip "timeout is not installed"
ASAN_OPTIONS="abort_on_error=1:detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    "$python" "$source/tests/scripts/fuzz_check.py" "$program" "$source" "$work" "${FUZZ_CASES:-1500}"
