#!/usr/bin/env bash
# Hostile but realistic uses of the command line, one case a line: input
# through a FIFO (as /dev/stdin and process substitution give it), endless or binary
# inputs in bounded memory, exhausted memory, the memory guard, and signals
# mid-run. After each, the report r.txt must hold
# what is expected ("old" when it must be untouched) and no temporary file
# may be left beside it.
source "$(dirname "$0")/check_lib.sh"
cd "$work"
cp "$example" expr.txt
printf '2 2\na b\nr1 1 2\nr2 3 4\n' > two.txt
run_args="--scale 0.1 --samples 2 --output r.txt --force --quiet"
long_run="--expression expr.txt --scale 0.1 --samples 100000 --output r.txt --force --quiet"

expect() {  # name, wanted status, wanted report ("old" or "report"), stderr pattern, command
    local name=$1 status=$2 report=$3 pattern=$4
    shift 4
    echo old > r.txt
    timeout 60 bash -c "$*" > out.txt 2> err.txt
    local got=$?
    [ "$got" = "$status" ] || fail "$name: exit status $got, not $status: $(head -c 300 err.txt)"
    if [ "$pattern" = none ]; then [ ! -s err.txt ] || fail "$name: $(head -c 300 err.txt)"
    else grep -q -- "$pattern" err.txt || fail "$name: standard error lacks '$pattern': $(head -c 300 err.txt)"; fi
    [ "$(wc -l < err.txt)" -le 2 ] || fail "$name: more than two lines on standard error"
    if [ "$report" = old ]; then [ "$(cat r.txt)" = old ] || fail "$name: the report was changed"
    else grep -q "^The consensus tree is:" r.txt || fail "$name: the report is not complete"; fi
    [ -z "$(ls -A | grep '^\.r\.txt\.')" ] || fail "$name: a temporary file was left"
}

P="$program"
# AddressSanitizer cannot start under a limit of virtual memory.
limit="ulimit -v 1000000;"
[ "$build_kind" = release ] || limit=""
mkfifo fifo
expect fifo 0 report none "cat expr.txt > fifo & '$P' --expression fifo $run_args"
expect dev-zero 1 old 'byte offset 0 holds the byte \\x00' "$limit '$P' --expression /dev/zero $run_args"
expect endless-word 1 old 'is longer than 4096 bytes' "$limit '$P' --expression <(printf '2 2 '; tr '\\0' x < /dev/zero) $run_args"
expect memory-guard 1 old 'needs more memory than this machine has' "'$P' --expression two.txt --scale 0.1 --samples 2000000000 --output r.txt --force"
[ -z "$limit" ] || expect exhausted-memory 1 old 'not enough memory' "ulimit -v 400000; '$P' --expression two.txt --scale 0.1 --samples 40000000 --output r.txt --force"
expect sigterm 143 old 'stopped by SIGTERM' "'$P' $long_run & sleep 2; kill -TERM \$!; wait \$!"
expect sigint 130 old 'stopped by SIGINT' "'$P' $long_run & sleep 2; kill -INT \$!; wait \$!"
echo "PASS: every input read once and bounded, every failure left the files as they were"
