#!/usr/bin/env bash
# Cross-checks the majority-rule consensus with PHYLIP's consense: the sample
# trees go to consense as rooted trees under the plain majority rule, and the
# sets it keeps, with their counts, must be the report's consensus clusters
# with value times the sample size. An even sample size (clusters in exactly
# half of the trees are left out) and an odd one.
source "$(dirname "$0")/check_lib.sh"
if [ -x /usr/lib/phylip/bin/consense ]; then consense=(/usr/lib/phylip/bin/consense)
elif command -v consense > /dev/null; then consense=("$(command -v consense)")
elif command -v phylip > /dev/null && phylip 2>&1 | grep -qw consense; then consense=(phylip consense)
else skip "PHYLIP's consense is not installed"; fi
inputs  # numbers.txt: leaves are row numbers, which consense gets as o1 .. o40
for run in "0.1 100" "0.2 51"; do
    set -- $run
    run --expression numbers.txt --input-format 4 --scale "$1" --samples "$2" --output "report-$2.txt"
    check consense "$work/report-$2.txt" "${consense[@]}"
done
