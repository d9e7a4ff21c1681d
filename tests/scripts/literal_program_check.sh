#!/usr/bin/env bash
# Differential check of the whole program against noiseclust_literal (the
# same dialogue and report on the literal reference algorithms): random small
# matrices with ties, every preprocessing, notation, error source, distance
# and linkage; the two reports must be byte-identical.
set -euo pipefail
binary="$1"
source_dir="$2"
literal="$(dirname "$binary")/bench/noiseclust_literal"
if [ ! -x "$literal" ]; then
    echo "SKIP: $literal is not built"
    exit 77
fi
exec python3 "$source_dir/tests/scripts/literal_program_check.py" "$binary" "$literal"
