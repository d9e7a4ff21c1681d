#!/usr/bin/env bash
# Users' own data: the example as R (write.table, write.csv) and pandas write
# it, and as GEO and GCT files, gives the matrix file's first tree; a table
# with a missing value is refused with advice, and with --missing drop-rows
# gives the tree of the matrix without that row; an error table whose row
# names differ is refused.
source "$(dirname "$0")/check_lib.sh"
has_python pandas && have_py=1 || have_py=
has_ape && have_r=1 || have_r=
[ -n "$have_py$have_r" ] || skip "neither R with ape nor Python with pandas"
cd "$work" || exit 1
cp "$example" native.txt
awk 'NR == 1 { print $1 - 1, $2; next } NR != 5' native.txt > native-dropped.txt  # without row 3
tree_of() {  # FILE OPTIONS...: the first tree of a run
    local file=$1; shift
    "$program" --expression "$file" --scale 0.1 --samples 5 --output "$file.report" --force "$@" \
        > /dev/null 2> "$file.err" || fail "noiseclust on $file $*: $(cat "$file.err")"
    sed -n '/^The original tree with distance is:/{n;p;q}' "$file.report"
}
same_tree() {  # NATIVE TABLE OPTIONS...
    [ "$(tree_of "$1")" = "$(tree_of "$2" --input-format table "${@:3}")" ] ||
        fail "$2 ${*:3} gives another first tree than $1"
}
tables=() holey=()
[ -n "$have_r" ] && { Rscript "$source/tests/scripts/report_checks.R" write native.txt || fail "R write"
                      tables+=(r-table.txt) holey+=(r-na.csv); }
[ -n "$have_py" ] && { check write native.txt; tables+=(pandas.csv geo.txt data.gct) holey+=(pandas-na.tsv); }
for table in "${tables[@]}"; do same_tree native.txt "$table"; done
for table in "${holey[@]}"; do
    "$program" --expression "$table" --input-format table --scale 0.1 --output refused.txt --force \
        > /dev/null 2> err.txt && fail "$table with NA was accepted"
    grep -q -- "--missing drop-rows" err.txt || fail "no advice for $table: $(cat err.txt)"
    same_tree native-dropped.txt "$table" --missing drop-rows
done
printf 'a\tb\nr\t1\t2\ns\t2\t2\n' > x.tsv; printf 'a\tb\nr\t1\t2\nt\t2\t2\n' > e.tsv
"$program" --expression x.tsv --error e.tsv --input-format table --output e.r --force > /dev/null 2> err.txt
[ $? = 1 ] && grep -qF 'row 2 is "t" (line 3) in the error file but "s" (line 3)' err.txt ||
    fail "mismatched error file: $(cat err.txt)"
echo "PASS: tables${have_r:+ from R}${have_py:+ from pandas, GEO and GCT} give the matrix file's trees"
