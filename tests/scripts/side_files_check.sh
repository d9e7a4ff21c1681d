#!/usr/bin/env bash
# The side files of runs on the example, its values without names and a table
# whose names need quoting and escaping, read back by other programs: the
# --clusters table with Python's csv module against the run's S_Plus report,
# the --pick list against its selected rows, the --newick file with Biopython
# and ape's read.tree (leaves, confidence values, merge heights), the
# --picture as well-formed SVG. For the example, the SVG in headless Chromium, a PNG
# (PIL) and a PDF (pdftoppm) have ink on them, and two seeds give different
# confidence values.
source "$(dirname "$0")/check_lib.sh"
need_python PIL
has_python Bio.Phylo && bio=1 || { bio=; echo "note: Biopython is missing; no Newick is read with it"; }
has_ape && ape=1 || { ape=; echo "note: R's ape is missing; no Newick is read with it"; }
browser=$(command -v chromium || command -v chromium-browser) ||
    echo "note: chromium is missing; the SVG picture is not rendered"
inputs
for input in "example.txt 1" "numbers.txt 4" "awkward.tsv table"; do
    set -- $input
    names=$work/${1%.*}.names
    run --expression "$1" --input-format "$2" --scale 0.1 --samples 20 --notation S_Plus --output "$1.report" \
        --clusters "$1.tsv" --pick "$1.pick" --picture "$1.svg" --newick "$1.nwk"
    check table "$work/$1.report" "$work/$1.tsv" "$work/$1.pick" "$names"
    check svg "$work/$1.svg"
    [ -z "$bio" ] || check newick "$work/$1.nwk" "$work/$1.tsv" "$names"
    [ -z "$ape" ] || Rscript "$source/tests/scripts/report_checks.R" newick "$work/$1.nwk" "$work/$1.tsv" \
        "$names" || fail "ape on $1.nwk"
done
if [ -n "$browser" ]; then
    timeout 180 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/profile" --screenshot="$work/svg.png" --window-size=1000,1400 \
        "file://$work/example.txt.svg" > "$work/chromium.log" 2>&1
    [ -s "$work/svg.png" ] || { tail -5 "$work/chromium.log"; fail "chromium wrote no screenshot"; }
    check png "$work/svg.png"
fi
for seed in 1 2; do
    run --expression example.txt --scale 0.1 --samples 20 --output "seed$seed.report" --seed $seed \
        --clusters "seed$seed.tsv" --picture "seed$seed.png"
done
check differ "$work/seed1.tsv" "$work/seed2.tsv"
check png "$work/seed1.png"
if command -v pdftoppm > /dev/null; then
    run --expression example.txt --scale 0.1 --samples 20 --output pdf.report --picture pdf.pdf
    pdftoppm -r 72 -png -singlefile "$work/pdf.pdf" "$work/pdf" || fail "pdftoppm"
    check png "$work/pdf.png"
fi
echo "PASS: the side files read back${bio:+; Newick in Biopython}${ape:+; Newick in ape}${browser:+; the SVG renders}"
