#!/usr/bin/env bash
# Cross-checks the majority-rule consensus with PHYLIP's consense: the sample
# trees of a run go to consense as rooted trees under the plain majority rule,
# and the sets it keeps, with their counts, must be the report's consensus
# clusters with value times the sample size. An even sample size (clusters in
# exactly half of the trees are left out) and an odd one.
# Usage: bash consense_check.sh <noiseclust-binary> <source-dir>
set -euo pipefail
program=$(realpath "$1")
source=$(realpath "$2")
python=/usr/bin/python3

if [ -x /usr/lib/phylip/bin/consense ]; then
    consense=(/usr/lib/phylip/bin/consense)
elif command -v consense > /dev/null; then
    consense=("$(command -v consense)")
elif command -v phylip > /dev/null && phylip 2>&1 | grep -qw consense; then
    consense=(phylip consense)
else
    echo "SKIP: PHYLIP's consense is not installed"
    exit 77
fi
if ! [ -x "$python" ]; then echo "SKIP: $python is not installed"; exit 77; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The bundled example's values without names (layout 4): leaves are row
# numbers, which consense gets as o1 .. o40 (its names hold 10 characters).
awk 'NR == 1 { print; next } NR == 2 { next } { $1 = ""; sub(/^ /, ""); print }' \
    "$source/examples/golub-top40.txt" > "$work/numbers.txt"
for run in "0.1 100" "0.2 51"; do
    set -- $run
    report="report-$2.txt"
    (cd "$work" && printf 'numbers.txt\nn\n%s\n%s\n2\n4\n3\n%s\nY\n' "$1" "$report" "$2" |
        "$program" > /dev/null)
    "$python" "$source/tests/scripts/report_trees.py" consense "$work/$report" "${consense[@]}"
done
