#!/usr/bin/env bash
# Reads the cluster table back with Python's csv module (tab-delimited) and
# compares every field, the member list split as CSV, with the rows the
# picture tool reports it wrote.
# Usage: bash cluster_table_check.sh <noiseclust-binary> <source-dir>
set -u
program=$1

tool=$(dirname "$program")/nc_picture_tool
if [ ! -x "$tool" ]; then echo "SKIP: nc_picture_tool is not built"; exit 77; fi
if ! command -v python3 >/dev/null; then echo "SKIP: python3 is not installed"; exit 77; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for objects in 2 40 1000; do
    "$tool" "$work/t.svg" "$work/t.tsv" "$objects" "$work/expected.jsonl" ||
        { echo "FAIL: picture tool ($objects objects)"; exit 1; }
    python3 - "$work/t.tsv" "$work/expected.jsonl" "$objects" <<'PY' || exit 1
import csv, io, json, sys
table, expected_path, objects = sys.argv[1], sys.argv[2], int(sys.argv[3])
expected = [json.loads(line) for line in open(expected_path, encoding="utf-8")]
with open(table, newline="", encoding="utf-8") as f:
    rows = list(csv.reader(f, delimiter="\t"))
if rows[0] != ["step", "size", "height", "confidence", "members"]:
    sys.exit(f"FAIL: header {rows[0]}")
rows = rows[1:]
if len(rows) != objects - 1 or len(expected) != objects - 1:
    sys.exit(f"FAIL: {len(rows)} rows, {len(expected)} expected, {objects - 1} merge steps")
for row, (step, size, height, confidence, members) in zip(rows, expected):
    if len(row) != 5:
        sys.exit(f"FAIL: row {row[:1]} has {len(row)} fields")
    read_members = next(csv.reader(io.StringIO(row[4]), delimiter=","))
    got = (int(row[0]), int(row[1]), float(row[2]), float(row[3]), read_members)
    if got != (step, size, height, confidence, members) or len(members) != size:
        sys.exit(f"FAIL: step {step}: read {got}, wrote {(step, size, height, confidence, members)}")
print(f"{objects} objects: {len(rows)} rows read back")
PY
done
echo "PASS: the cluster table reads back field by field"
