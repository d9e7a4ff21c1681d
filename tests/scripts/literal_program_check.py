"""Runs noiseclust and noiseclust_literal on the same answers and compares."""

import itertools
import os
import random
import subprocess
import sys
import tempfile

product, literal = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
rng = random.Random(7)

PREPROCESSING = [None] + [(d, m) for d in "12" for m in "12345"]


def matrix_text(rows, columns, values):
    lines = [f"{rows} {columns}", "\t".join(f"c{j}" for j in range(columns))]
    for i in range(rows):
        lines.append(f"r{i + 1}\t" + "\t".join(values[i]))
    return "\n".join(lines) + "\n"


def random_matrix(rows, columns):
    values = []
    for i in range(rows):
        if values and rng.random() < 0.25:
            values.append(list(rng.choice(values)))  # a duplicate row: ties
        elif rng.random() < 0.5:
            values.append([str(rng.randint(0, 4)) for _ in range(columns)])
        else:
            values.append([f"{rng.uniform(0.1, 5):.3f}" for _ in range(columns)])
    return values


def answers(with_error_file, preprocessing, distance, linkage, notation, samples):
    text = "expr.txt\n"
    text += "y\nerr.txt\n" if with_error_file else "n\n0.2\n"
    text += "report.txt\n"
    text += f"3\n{samples}\n"
    if preprocessing:
        direction, method = preprocessing
        text += f"4\ny\n{direction}\n{method}\n"
    text += f"6\n{distance}\n7\n{linkage}\n9\n{notation}\nY\n"
    return text


def run(program, folder, text):
    report = os.path.join(folder, "report.txt")
    if os.path.exists(report):
        os.remove(report)
    done = subprocess.run([program], input=text.encode(), cwd=folder,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    if done.returncode != 0:
        sys.exit(f"{program} exited with {done.returncode}")
    with open(report, "rb") as f:
        return f.read()


compared = 0
failures = 0
with tempfile.TemporaryDirectory() as work:
    a, b = os.path.join(work, "product"), os.path.join(work, "literal")
    os.makedirs(a)
    os.makedirs(b)
    for combination in itertools.product([False, True], PREPROCESSING, "12345", "123", "12"):
        with_error_file, preprocessing, distance, linkage, notation = combination
        rows, columns = rng.randint(2, 9), rng.randint(1, 4)
        values = random_matrix(rows, columns)
        errors = [[f"{rng.choice([0, 0.1, 0.3, 1]):g}" for _ in range(columns)] for _ in range(rows)]
        for folder in (a, b):
            with open(os.path.join(folder, "expr.txt"), "w") as f:
                f.write(matrix_text(rows, columns, values))
            with open(os.path.join(folder, "err.txt"), "w") as f:
                f.write(matrix_text(rows, columns, errors))
        text = answers(with_error_file, preprocessing, distance, linkage, notation,
                       rng.randint(1, 7))
        compared += 1
        if run(product, a, text) != run(literal, b, text):
            failures += 1
            print(f"reports differ: {combination}, {rows} x {columns}", file=sys.stderr)

print(f"literal program check: {compared - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
