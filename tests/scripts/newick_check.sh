#!/usr/bin/env bash
# Peer tree readers on three runs (the example, its values without names, a
# table whose names need quoting): Biopython reads every tree line of the
# reports as a rooted tree holding each object once, binary but for the
# consensus; Biopython and ape's read.tree read the --newick files with the
# --clusters table's confidence values and merge heights.
source "$(dirname "$0")/check_lib.sh"
has_python Bio.Phylo && have_py=1 || have_py=
has_ape && have_r=1 || have_r=
[ -n "$have_py$have_r" ] || skip "neither Biopython nor R with ape is installed"
inputs
for input in "example.txt 1" "numbers.txt 4" "awkward.tsv table"; do
    set -- $input
    names=$work/${1%.*}.names
    run --expression "$1" --input-format "$2" --scale 0.1 --samples 20 --output "$1.report" \
        --newick "$1.nwk" --clusters "$1.tsv"
    if [ -n "$have_py" ]; then
        [ "$2" = table ] || check trees "$work/$1.report" "$names"
        check newick "$work/$1.nwk" "$work/$1.tsv" "$names"
    fi
    [ -z "$have_r" ] || Rscript "$source/tests/scripts/report_checks.R" newick "$work/$1.nwk" "$work/$1.tsv" \
        "$names" || fail "ape on $1"
done
echo "PASS: the trees read back${have_py:+ in Bio.Phylo}${have_r:+ in ape}"
