#!/usr/bin/env bash
# The memory guard's estimate (printed with NOISECLUST_TIMINGS) against the
# peak resident memory that /usr/bin/time -v measures, on a few shapes: many
# samples of two rows, and a few hundred rows on one and two threads. The
# estimate must stay within a factor of 2 of the measurement.
source "$(dirname "$0")/check_lib.sh"
[ -x /usr/bin/time ] || skip "/usr/bin/time is not installed"
[ "$build_kind" = release ] || skip "sanitizers change the memory a run takes"
cd "$work"
printf '2 2\na b\nr1 1 2\nr2 3 4\n' > two.txt
awk 'BEGIN { srand(1); printf "300 10\n"; for (j = 0; j < 10; j++) printf "c%d ", j; print ""
    for (i = 0; i < 300; i++) { printf "g%d", i; for (j = 0; j < 10; j++) printf " %.4f", rand() - 0.5; print "" } }' > rows.txt
for shape in "two.txt 200000 1" "rows.txt 300 1" "rows.txt 100 2"; do
    set -- $shape
    NOISECLUST_TIMINGS=1 /usr/bin/time -v "$program" --expression "$1" --scale 0.1 --samples "$2" \
        --threads "$3" --output /dev/null --force --quiet 2> err.txt || fail "run $shape"
    plan=$(sed -n 's/^memory plan: \([0-9]*\) bytes.*/\1/p' err.txt | head -1)
    peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' err.txt)
    [ -n "$plan" ] && [ -n "$peak" ] || fail "no plan or peak for $shape"
    echo "$shape: planned $plan bytes, peak $((peak * 1024)) bytes"
    [ $((plan * 2)) -ge $((peak * 1024)) ] && [ "$plan" -le $((peak * 2048)) ] || fail "$shape: the plan is off by more than 2"
done
echo "PASS: the memory plan is within a factor of 2 of the measured peak"
