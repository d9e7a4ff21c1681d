#!/usr/bin/env bash
# Reads every tree line of two reports with Biopython's Newick reader as a
# rooted tree: the bundled example (row names as leaves) and the same data
# without names (row numbers as leaves). Each tree must hold every object once.
# Usage: bash newick_check.sh <noiseclust-binary> <source-dir>
set -euo pipefail
program=$(realpath "$1")
source=$(realpath "$2")
python=/usr/bin/python3

if ! "$python" -c "import Bio.Phylo" 2>/dev/null; then
    echo "SKIP: Biopython (Bio.Phylo) is not installed"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/examples" "$work/out"
cp "$source/examples/golub-top40.txt" "$work/examples/"

# The bundled example as run-example.sh runs it.
(cd "$work" && "$program" < "$source/examples/answers.txt" > /dev/null)
"$python" "$source/tests/scripts/report_trees.py" newick \
    "$work/out/golub-top40-report.txt" "$work/examples/golub-top40.txt" 1

# The same values without row and column names (layout 4), 50 samples.
awk 'NR == 1 { print; next } NR == 2 { next } { $1 = ""; sub(/^ /, ""); print }' \
    "$work/examples/golub-top40.txt" > "$work/numbers.txt"
(cd "$work" && printf 'numbers.txt\nn\n0.1\nnumbers-report.txt\n2\n4\n3\n50\nY\n' |
    "$program" > /dev/null)
"$python" "$source/tests/scripts/report_trees.py" newick \
    "$work/numbers-report.txt" "$work/numbers.txt" 4
