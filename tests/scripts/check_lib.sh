# Shared by the script checks, each run as  bash <name>_check.sh <noiseclust-binary> <source-dir>.
# Gives $program, $source, a fresh $work folder (removed on exit), $python
# (the system's, which carries the distribution's modules) and $checks.
set -u
program=$(realpath "$1")
source=$(realpath "$2")
python=/usr/bin/python3
[ -x "$python" ] || python=$(command -v python3 || echo python3)
checks=$source/tests/scripts/report_checks.py
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
need_python() { "$python" -c "import $1" 2>/dev/null || skip "Python's $1 is not installed"; }
check() { "$python" "$checks" "$@" || exit 1; }
run() { (cd "$work" && "$program" "$@" > /dev/null) || fail "noiseclust $*"; }  # args or answers
# The bundled example's values without names (layout 4) as $work/numbers.txt.
numbers_matrix() {
    awk 'NR == 1 { print; next } NR == 2 { next } { $1 = ""; sub(/^ /, ""); print }' \
        "$source/examples/golub-top40.txt" > "$work/numbers.txt"
}
