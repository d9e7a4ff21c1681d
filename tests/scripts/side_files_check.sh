#!/usr/bin/env bash
# The side files of runs on the bundled example, 1,000 Golub rows, rows whose
# names need quoting and escaping, and the same rows without names: the
# --clusters table read back with Python's csv module against the run's S_Plus
# report, its standard errors from its own columns, the --pick list against
# the table's selected rows; the --picture as SVG (well-formed; for the
# example, headless Chromium's screenshot has ink), and for the example as PDF (pdftoppm) and
# PNG (PIL); two seeds give different confidence values.
source "$(dirname "$0")/check_lib.sh"
need_python PIL
browser=$(command -v chromium || command -v chromium-browser) ||
    echo "note: chromium is missing; the SVG pictures are not rendered"
"$python" "$checks" inputs "$work" "$source" > "$work/inputs" || exit 1
while read -r -u 3 matrix objects layout; do
    run --expression "$matrix" --input-format "$layout" --scale 0.1 --samples 20 --notation S_Plus \
        --output "$matrix.report" --clusters "$matrix.tsv" --pick "$matrix.pick" --picture "$matrix.svg"
    check table "$work/$matrix" "$objects" "$layout"
    check svg "$work/$matrix.svg"
    if command -v xmllint > /dev/null; then xmllint --noout "$work/$matrix.svg" || fail "xmllint"; fi
    [ -n "$browser" ] && [ "$matrix" = top40.txt ] || continue  # a browser start takes seconds
    timeout 180 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/profile" --screenshot="$work/$matrix.png" --window-size=1000,1400 \
        "file://$work/$matrix.svg" > "$work/chromium.log" 2>&1
    [ -s "$work/$matrix.png" ] || { tail -5 "$work/chromium.log"; fail "chromium wrote no screenshot"; }
    check png "$work/$matrix.png"
done 3< "$work/inputs"
for seed in 1 2; do
    run --expression top40.txt --scale 0.1 --samples 20 --output "seed$seed.report" --seed $seed \
        --clusters "seed$seed.tsv" --picture "seed$seed.png"
done
check differ "$work/seed1.tsv" "$work/seed2.tsv"
check png "$work/seed1.png"
run --expression top40.txt --scale 0.1 --samples 20 --output pdf.report --picture top40.pdf
if command -v pdftoppm > /dev/null; then
    pdftoppm -r 72 -png -singlefile "$work/top40.pdf" "$work/top40-pdf" || fail "pdftoppm"
    check png "$work/top40-pdf.png"
else
    echo "note: pdftoppm is missing; the PDF picture is not rendered"
fi
echo "PASS: the tables and pick lists read back and the pictures${browser:+ render}"
