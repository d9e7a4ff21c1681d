#!/usr/bin/env bash
# Differential check of the whole program against noiseclust_literal (the
# same dialogue and report on the literal reference algorithms): random small
# matrices with ties, every preprocessing, notation, error source, distance
# and linkage; the two reports must be byte-identical.
source "$(dirname "$0")/check_lib.sh"
literal="$(dirname "$program")/bench/noiseclust_literal"
[ -x "$literal" ] || skip "$literal is not built"
"$python" - "$program" "$literal" "$work" <<'PYTHON'
import itertools, os, random, subprocess, sys
rng, failures = random.Random(7), 0

def matrix_text(values):
    lines = [f"{len(values)} {len(values[0])}", "\t".join(f"c{j}" for j in range(len(values[0])))]
    return "\n".join(lines + [f"r{i + 1}\t" + "\t".join(row) for i, row in enumerate(values)]) + "\n"

def random_row(values, columns):
    if values and rng.random() < 0.25:
        return list(rng.choice(values))  # a duplicate row: ties
    if rng.random() < 0.5:
        return [str(rng.randint(0, 4)) for _ in range(columns)]
    return [f"{rng.uniform(0.1, 5):.3f}" for _ in range(columns)]

def report(program, folder, answers):
    done = subprocess.run([program], input=answers.encode(), cwd=folder, capture_output=True, timeout=120)
    if done.returncode != 0:
        sys.exit(f"{program} exited with {done.returncode}")
    return open(os.path.join(folder, "report.txt"), "rb").read()

folders = [os.path.join(sys.argv[3], name) for name in ("product", "literal")]
preprocessing = [""] + [f"4\ny\n{d}\n{m}\n" for d in "12" for m in "12345"]
for combination in itertools.product([False, True], preprocessing, "12345", "123", "12"):
    errors_file, preprocess, distance, linkage, notation = combination
    rows, columns, values = rng.randint(2, 9), rng.randint(1, 4), []
    for _ in range(rows):
        values.append(random_row(values, columns))
    errors = [[f"{rng.choice([0, 0.1, 0.3, 1]):g}" for _ in range(columns)] for _ in range(rows)]
    for folder in folders:
        os.makedirs(folder, exist_ok=True)
        open(os.path.join(folder, "expr.txt"), "w").write(matrix_text(values))
        open(os.path.join(folder, "err.txt"), "w").write(matrix_text(errors))
    answers = ("expr.txt\n" + ("y\nerr.txt\n" if errors_file else "n\n0.2\n") + "report.txt\n" +
               f"3\n{rng.randint(1, 7)}\n{preprocess}6\n{distance}\n7\n{linkage}\n9\n{notation}\nY\n")
    if report(sys.argv[1], folders[0], answers) != report(sys.argv[2], folders[1], answers):
        failures += 1
        print(f"FAIL: reports differ: {combination!r}, {rows} x {columns}")
    for folder in folders:
        os.remove(os.path.join(folder, "report.txt"))
print(f"literal program check: {failures} of the reports differ")
sys.exit(1 if failures else 0)
PYTHON
