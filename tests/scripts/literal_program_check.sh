#!/usr/bin/env bash
# Differential check of the whole program against noiseclust_literal (the
# same dialogue and report on the literal reference algorithms): random small
# matrices with ties, every preprocessing, notation, error source, distance
# and linkage; the two reports must be byte-identical.
source "$(dirname "$0")/check_lib.sh"
literal="$(dirname "$program")/bench/noiseclust_literal"
[ -x "$literal" ] || skip "$literal is not built"
"$python" "$source/tests/scripts/literal_program_check.py" "$program" "$literal"
