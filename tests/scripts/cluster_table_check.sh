#!/usr/bin/env bash
# Reads the table that --clusters writes back with Python's csv module
# (tab-delimited, the member list split as CSV) and compares every row with
# the first tree of the same run's S_Plus report: the step's size and members
# (in the tree's leaf order), its merge height and its confidence value (the
# report writes both with six decimals). Runs the program on the bundled
# example, on 1,000 rows of the Golub data, on rows with names that need
# quoting and on the same rows without names.
# Usage: bash cluster_table_check.sh <noiseclust-binary> <source-dir>
set -u
program=$(realpath "$1")
source=$(realpath "$2")

if ! command -v python3 >/dev/null; then echo "SKIP: python3 is not installed"; exit 77; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$source/tests/scripts/picture_inputs.py" "$work" "$source" > "$work/inputs" || exit 1
while read -r -u 3 matrix objects layout; do
    (cd "$work" && "$program" --expression "$matrix" --input-format "$layout" --scale 0.1 \
        --samples 20 --notation S_Plus --output "$matrix.report" --clusters "$matrix.tsv" > /dev/null) ||
        { echo "FAIL: noiseclust on $matrix"; exit 1; }

    python3 - "$work/$matrix" "$objects" "$layout" <<'PY' || exit 1
import csv, io, sys
matrix, objects, layout = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])

tokens = open(matrix, encoding="utf-8").read().split()
columns = int(tokens[1])
if layout == 1:
    labels = [tokens[2 + columns + r * (columns + 1)] for r in range(objects)]
else:
    labels = [str(r) for r in range(1, objects + 1)]

def merge_tree(lines, caption):
    """Merge pairs, heights and leaf order of the S_Plus tree after caption."""
    at = lines.index(caption) + 3
    pairs = [tuple(int(v) for v in lines[at + s].split()[1:]) for s in range(objects - 1)]
    at += objects - 1 + 1
    heights = [float(lines[at + s]) for s in range(objects - 1)]
    at += objects - 1 + 1
    order = [int(lines[at + k]) for k in range(objects)]
    return pairs, heights, order

report = open(matrix + ".report", encoding="utf-8").read().split("\n")
pairs, heights, order = merge_tree(report, "The original tree with distance is:")
confidence_pairs, confidences, _ = merge_tree(report, "The original tree with confidence values is:")
if confidence_pairs != pairs:
    sys.exit("FAIL: the two first trees of the report differ")
position = {o: k for k, o in enumerate(order)}
members = []
for a, b in pairs:
    joined = [m for code in (a, b) for m in ([-code] if code < 0 else members[code - 1])]
    members.append(sorted(joined, key=position.get))

with open(matrix + ".tsv", newline="", encoding="utf-8") as f:
    rows = list(csv.reader(f, delimiter="\t"))
if rows[0] != ["step", "size", "height", "confidence", "members"]:
    sys.exit(f"FAIL: header {rows[0]}")
rows = rows[1:]
if len(rows) != objects - 1:
    sys.exit(f"FAIL: {len(rows)} rows for {objects - 1} merge steps")
for s, row in enumerate(rows):
    if len(row) != 5:
        sys.exit(f"FAIL: row {row[:1]} has {len(row)} fields")
    read_members = next(csv.reader(io.StringIO(row[4]), delimiter=","))
    expected = [labels[o - 1] for o in members[s]]
    if (int(row[0]) != s + 1 or int(row[1]) != len(expected) or read_members != expected or
            abs(float(row[2]) - heights[s]) > 5.1e-7 or abs(float(row[3]) - confidences[s]) > 5.1e-7):
        sys.exit(f"FAIL: {matrix} step {s + 1}: read {row[:4]} {read_members[:4]}, the report has "
                 f"{len(expected)} {heights[s]} {confidences[s]} {expected[:4]}")
print(f"{matrix}: {len(rows)} rows read back")
PY
done 3< "$work/inputs"
echo "PASS: the cluster table reads back and matches the report's first tree"
