# Shared by the script checks, each run as  bash <name>_check.sh <noiseclust-binary> <source-dir> <build>.
# Gives $program, $source, a fresh $work folder (removed on exit), $python
# (the system's, which carries the distribution's modules) and $checks.
set -u
program=$(realpath "$1")
source=$(realpath "$2")
build_kind=${3:-release}
python=/usr/bin/python3
[ -x "$python" ] || python=$(command -v python3 || echo python3)
checks=$source/tests/scripts/report_checks.py
example=$source/examples/golub-top40.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
has_python() { "$python" -c "import $1" 2>/dev/null; }
need_python() { has_python "$1" || skip "Python's $1 is not installed"; }
has_ape() { command -v Rscript > /dev/null && Rscript -e 'library(ape)' > /dev/null 2>&1; }
check() { "$python" "$checks" "$@" || exit 1; }
run() { (cd "$work" && "$program" "$@" > /dev/null) || fail "noiseclust $*"; }  # args or answers
# In $work, each with a NAME.names file of its objects' labels: example.txt (the
# bundled example), numbers.txt (its values without names, layout 4) and
# awkward.tsv (a table of its rows under names to quote in Newick and CSV and
# to escape in XML).
inputs() {
    cp "$example" "$work/example.txt"
    awk 'NR > 2 { print $1 }' "$example" > "$work/example.names"
    awk 'NR == 1 { print; next } NR == 2 { next } { $1 = ""; sub(/^ /, ""); print }' "$example" > "$work/numbers.txt"
    seq 40 > "$work/numbers.names"
    printf '%s\n' 'a b' 'x:y' 'p(q' 'c,d' 'q;t' 'AFFX&H<b>' 'géne_α' 'a[1]' 'back\slash' plain > "$work/awkward.names"
    { sed -n 2p "$example" | sed 's/^/id\t/'
      paste "$work/awkward.names" <(sed -n 3,12p "$example" | cut -f2-); } > "$work/awkward.tsv"
}
