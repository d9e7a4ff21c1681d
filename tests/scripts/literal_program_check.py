"""Runs noiseclust and noiseclust_literal on the same answers and compares their reports."""
import itertools, os, random, subprocess, sys, tempfile

product, literal = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
rng = random.Random(7)


def matrix_text(values):
    lines = [f"{len(values)} {len(values[0])}", "\t".join(f"c{j}" for j in range(len(values[0])))]
    return "\n".join(lines + [f"r{i + 1}\t" + "\t".join(row) for i, row in enumerate(values)]) + "\n"


def random_matrix(rows, columns):
    values = []
    for _ in range(rows):
        if values and rng.random() < 0.25:
            values.append(list(rng.choice(values)))  # a duplicate row: ties
        elif rng.random() < 0.5:
            values.append([str(rng.randint(0, 4)) for _ in range(columns)])
        else:
            values.append([f"{rng.uniform(0.1, 5):.3f}" for _ in range(columns)])
    return values


def report(program, folder, answers):
    path = os.path.join(folder, "report.txt")
    if os.path.exists(path):
        os.remove(path)
    done = subprocess.run([program], input=answers.encode(), cwd=folder, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=120)
    if done.returncode != 0:
        sys.exit(f"{program} exited with {done.returncode}")
    return open(path, "rb").read()


failures = compared = 0
with tempfile.TemporaryDirectory() as work:
    folders = [os.path.join(work, "product"), os.path.join(work, "literal")]
    for folder in folders:
        os.makedirs(folder)
    preprocessing = [""] + [f"4\ny\n{d}\n{m}\n" for d in "12" for m in "12345"]
    for combination in itertools.product([False, True], preprocessing, "12345", "123", "12"):
        errors_file, preprocess, distance, linkage, notation = combination
        rows, columns = rng.randint(2, 9), rng.randint(1, 4)
        values = random_matrix(rows, columns)
        errors = [[f"{rng.choice([0, 0.1, 0.3, 1]):g}" for _ in range(columns)] for _ in range(rows)]
        for folder in folders:
            open(os.path.join(folder, "expr.txt"), "w").write(matrix_text(values))
            open(os.path.join(folder, "err.txt"), "w").write(matrix_text(errors))
        answers = ("expr.txt\n" + ("y\nerr.txt\n" if errors_file else "n\n0.2\n") + "report.txt\n" +
                   f"3\n{rng.randint(1, 7)}\n{preprocess}6\n{distance}\n7\n{linkage}\n9\n{notation}\nY\n")
        compared += 1
        if report(product, folders[0], answers) != report(literal, folders[1], answers):
            failures += 1
            print(f"reports differ: {combination!r}, {rows} x {columns}", file=sys.stderr)

print(f"literal program check: {compared - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
