#!/usr/bin/env bash
# Installs the build that the program belongs to into a temporary prefix and
# checks that it holds bin/noiseclust (which runs and tells its version) and
# share/man/man1/noiseclust.1, and that man renders the page when man is
# installed.
# Usage: bash install_check.sh <noiseclust-binary> <source-dir>
set -u
program=$(realpath "$1")
build=$(dirname "$program")

if [ ! -f "$build/cmake_install.cmake" ]; then
    echo "SKIP: $build is not a CMake build folder"; exit 77
fi

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" > "$prefix.log" 2>&1 ||
    { echo "FAIL: cmake --install"; cat "$prefix.log"; rm -f "$prefix.log"; exit 1; }
rm -f "$prefix.log"

installed=$prefix/bin/noiseclust
page=$prefix/share/man/man1/noiseclust.1
[ -x "$installed" ] || { echo "FAIL: $installed is missing or not executable"; exit 1; }
[ -s "$page" ] || { echo "FAIL: $page is missing or empty"; exit 1; }

version=$("$installed" --version) || { echo "FAIL: the installed program does not run"; exit 1; }
case $version in
    "noiseclust "[0-9]*) ;;
    *) echo "FAIL: --version printed '$version'"; exit 1 ;;
esac

if command -v man >/dev/null; then
    text=$(MANWIDTH=80 man -l "$page" 2>&1) || { echo "FAIL: man -l $page"; echo "$text"; exit 1; }
    for word in SYNOPSIS OPTIONS --expression --force --svg --clusters "EXIT STATUS"; do
        if ! grep -qF -- "$word" <<<"$text"; then
            echo "FAIL: the rendered page lacks $word"; exit 1
        fi
    done
    # groff's warnings: unknown macros, bad escapes, lines that do not fit.
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null | grep -i warning)
    if [ -n "$warnings" ]; then
        echo "FAIL: man warns about the page:"; echo "$warnings"; exit 1
    fi
else
    echo "note: man is not installed; the page was not rendered"
fi
echo "PASS: $version installs its program and its manual page"
