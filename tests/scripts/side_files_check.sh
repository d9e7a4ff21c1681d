#!/usr/bin/env bash
# The side files of runs on the bundled example, 1,000 Golub rows, rows whose
# names need quoting and escaping, and the same rows without names: the
# --clusters table read back with Python's csv module against the run's S_Plus
# report; the --svg picture well-formed (xmllint too), with every row label,
# and its headless Chromium screenshot with ink on it (with Chromium and PIL).
source "$(dirname "$0")/check_lib.sh"
browser=$(command -v chromium || command -v chromium-browser) && "$python" -c "import PIL" 2>/dev/null ||
    { browser=; echo "note: chromium or PIL is missing; the pictures are not rendered"; }
"$python" "$checks" inputs "$work" "$source" > "$work/inputs" || exit 1
while read -r -u 3 matrix objects layout; do
    run --expression "$matrix" --input-format "$layout" --scale 0.1 --samples 20 --notation S_Plus \
        --output "$matrix.report" --clusters "$matrix.tsv" --svg "$matrix.svg"
    check table "$work/$matrix" "$objects" "$layout"
    check svg "$work/$matrix" "$objects" "$layout"
    if command -v xmllint > /dev/null; then xmllint --noout "$work/$matrix.svg" || fail "xmllint"; fi
    [ -n "$browser" ] || continue
    timeout 180 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/profile" --screenshot="$work/$matrix.png" --window-size=1200,2000 \
        "file://$work/$matrix.svg" > "$work/chromium.log" 2>&1
    [ -s "$work/$matrix.png" ] || { tail -5 "$work/chromium.log"; fail "chromium wrote no screenshot"; }
    check png "$work/$matrix.png"
done 3< "$work/inputs"
echo "PASS: the cluster tables read back and the pictures are well-formed${browser:+ and render}"
