#!/usr/bin/env bash
# Installs the build into a temporary prefix: bin/noiseclust tells its
# version, and the manual page renders with man (when installed) without
# warnings and with its sections and options.
source "$(dirname "$0")/check_lib.sh"
build=$(dirname "$program")
[ -f "$build/cmake_install.cmake" ] || skip "$build is not a CMake build folder"
cmake --install "$build" --prefix "$work" > "$work/log" 2>&1 || fail "cmake --install: $(cat "$work/log")"
page=$work/share/man/man1/noiseclust.1
version=$("$work/bin/noiseclust" --version) && [[ $version == "noiseclust "[0-9]* ]] && [ -s "$page" ] ||
    fail "the installed program printed '$version', or $page is missing"
if command -v man > /dev/null; then
    text=$(MANWIDTH=80 man -l "$page" 2>&1) || fail "man -l $page: $text"
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 > /dev/null | grep -i warning)
    [ -z "$warnings" ] || fail "man warns about the page: $warnings"
    for word in SYNOPSIS OPTIONS --expression --force --svg --clusters "EXIT STATUS"; do
        grep -qF -- "$word" <<< "$text" || fail "the rendered page lacks $word"
    done
fi
echo "PASS: $version installs its program${text:+ and its manual page}"
