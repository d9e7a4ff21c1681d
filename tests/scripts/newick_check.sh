#!/usr/bin/env bash
# Reads every tree line of two reports with Biopython's Newick reader as a
# rooted tree: the bundled example as run-example.sh runs it (row names as
# leaves) and the same values without names (row numbers). Each tree must
# hold every object once, and every merge tree must be binary.
source "$(dirname "$0")/check_lib.sh"
need_python Bio.Phylo
mkdir -p "$work/examples" "$work/out"
cp "$source/examples/golub-top40.txt" "$work/examples/"
run < "$source/examples/answers.txt"
check newick "$work/out/golub-top40-report.txt" "$work/examples/golub-top40.txt" 1
numbers_matrix
run < <(printf 'numbers.txt\nn\n0.1\nnumbers-report.txt\n2\n4\n3\n50\nY\n')
check newick "$work/numbers-report.txt" "$work/numbers.txt" 4
