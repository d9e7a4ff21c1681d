#!/usr/bin/env bash
# Users' own data: the example as R, pandas, GEO and GCT write it gives the
# same first tree as the matrix file, with and without --missing drop-rows
# and --cluster columns; --newick files read back in ape and Bio.Phylo with
# the confidence values, merge heights and names; bad tables are refused.
source "$(dirname "$0")/check_lib.sh"
scripts=$source/tests/scripts
have_r=; command -v Rscript > /dev/null && Rscript -e 'library(ape)' > /dev/null 2>&1 && have_r=1
have_py=; "$python" -c "import pandas, Bio.Phylo" 2>/dev/null && have_py=1
[ -n "$have_r$have_py" ] || skip "neither R with ape nor Python with pandas and Biopython"
cd "$work" || exit 1
cp "$source/examples/golub-top40.txt" native.txt
# the native file without its third row, for the runs that drop it
awk 'NR == 1 { print $1 - 1, $2; next } NR != 5' native.txt > native-dropped.txt
first_tree() { sed -n '/^The original tree with distance is:/{n;p;q}' "$1"; }
tree_of() {  # FILE OPTIONS...: the first tree of a run
    local file=$1; shift
    "$program" --expression "$file" --scale 0.1 --samples 5 --output "$file.report" --force "$@" \
        > /dev/null 2> "$file.err" || fail "noiseclust on $file $*: $(cat "$file.err")"
    first_tree "$file.report"
}
same_tree() {  # NATIVE TABLE OPTIONS...
    local native=$1 table=$2; shift 2
    local plain=("$@"); [ "${1:-}" = --missing ] && plain=("${@:3}")  # the matrix file has no NA
    [ "$(tree_of "$native" "${plain[@]}")" = "$(tree_of "$table" --input-format table "$@")" ] ||
        fail "$table $* gives another first tree than $native"
}
tables=()
[ -n "$have_r" ] && { Rscript "$scripts/own_data.R" write native.txt || fail "R write"; tables+=(r-table.txt); }
[ -n "$have_py" ] && { "$python" "$scripts/own_data.py" write native.txt || fail "pandas"; tables+=(pandas.csv geo.txt data.gct); }
for table in "${tables[@]}"; do
    same_tree native.txt "$table"
    same_tree native.txt "$table" --cluster columns
done
for table in $([ -n "$have_r" ] && echo r-na.csv) $([ -n "$have_py" ] && echo pandas-na.tsv); do
    "$program" --expression "$table" --input-format table --scale 0.1 --output refused.txt --force \
        > /dev/null 2> err.txt && fail "$table with NA was accepted"
    grep -q -- "--missing drop-rows" err.txt || fail "no advice for $table: $(cat err.txt)"
    same_tree native-dropped.txt "$table" --missing drop-rows
    same_tree native-dropped.txt "$table" --missing drop-rows --cluster columns --linkage single
done
# Names that need quoting, and the trees read back.
printf 'id\ta\tb\n"a b"\t1\t2\n"x:y"\t1.5\t2\n"p(q"\t4\t1\n"c,d"\t7\t3\n"q;t"\t8\t8\nplain\t0\t5\n' > names.tsv
printf '%s\n' "a b" "x:y" "p(q" "c,d" "q;t" plain > names.txt
for input in "native.txt --input-format 1" "names.tsv --input-format table"; do
    set -- $input
    "$program" --expression "$1" $2 $3 --scale 0.1 --samples 20 --output "$1.r" --force \
        --newick "$1.nwk" --consensus-newick "$1.cnwk" --clusters "$1.tsv" > /dev/null || fail "run $1"
    labels=$([ "$1" = names.tsv ] && echo names.txt)
    if [ -n "$have_r" ]; then Rscript "$scripts/own_data.R" trees "$1.nwk" "$1.tsv" $labels || fail "ape on $1"; fi
    if [ -n "$have_py" ]; then "$python" "$scripts/own_data.py" trees "$1.nwk" "$1.tsv" $labels || fail "Bio.Phylo on $1"; fi
done
# Bad tables: refused, and no side file is written.
bad() {  # CONTENT MESSAGE
    printf "$1" > bad.tsv
    "$program" --expression bad.tsv --input-format table --scale 0.1 --output bad.r --force --newick bad.nwk \
        > /dev/null 2> err.txt
    [ $? = 1 ] || fail "bad table $1: exit status"
    grep -qF -- "$2" err.txt || fail "bad table $1: $(cat err.txt)"
    [ ! -e bad.nwk ] || fail "bad table $1 wrote bad.nwk"
}
bad 'a\tb\nr\t1\t2\ns\t1\n' "line 3 has 2 fields"
bad 'a\nr\t1\nr\t2\n' "also the name on line 2"
bad 'a\nr\tx\n' "line 2, field 2"
bad 'a\tb\n' "followed by no row"
printf 'a\tb\nr\t1\t2\ns\t2\t2\n' > x.tsv; printf 'a\tb\nr\t1\t2\nt\t2\t2\n' > e.tsv
"$program" --expression x.tsv --error e.tsv --input-format table --output e.r --force > /dev/null 2> err.txt
[ $? = 1 ] && grep -qF 'row 2 is "t" (line 3) in the error file but "s" (line 3)' err.txt ||
    fail "mismatched error file: $(cat err.txt)"
echo "PASS: own tables give the matrix file's trees; Newick reads back${have_r:+ in ape}${have_py:+ in Bio.Phylo}"
