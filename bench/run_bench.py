#!/usr/bin/env python3
"""Times whole runs of noiseclust at growing sizes and prints a table.

For every size: the median wall time of several runs, the peak memory, the
wall time of each stage (as the program reports it with NOISECLUST_TIMINGS),
and, where it finishes within the time limit, the same for noiseclust_literal
(the program on the literal reference algorithms) with the ratio of the two
and whether the two reports are byte-identical. Runs of the two programs
alternate, so both see the same machine load.

Inputs: the first n rows of the leukemia data set (38 columns) for n up to
its 3,051 rows, and normal random values (20 columns, fixed seed) beyond.
Settings: scale of error 0.1, "correlation" + "average", "New_Hampshire".
"""

import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
DATA = os.path.join(SOURCE, "..", "shared", "data", "golub.txt")


def golub_rows(n, folder):
    with open(DATA) as f:
        f.readline()
        header = f.readline()
        rows = [f.readline() for _ in range(n)]
    path = os.path.join(folder, f"golub-{n}.txt")
    columns = len(header.split())
    with open(path, "w") as out:
        out.write(f"{n} {columns}\n{header}{''.join(rows)}")
    return path


def random_rows(n, columns, folder):
    rng = random.Random(20261207)
    path = os.path.join(folder, f"random-{n}x{columns}.txt")
    with open(path, "w") as out:
        out.write(f"{n} {columns}\n")
        out.write("\t".join(f"c{j + 1}" for j in range(columns)) + "\n")
        for i in range(n):
            values = "\t".join(f"{rng.gauss(0.0, 1.0):.10g}" for _ in range(columns))
            out.write(f"r{i + 1}\t{values}\n")
    return path


def answers(matrix, samples):
    # expression file, no error file, scale 0.1, report.txt, then the
    # review screen: (3) sample size, (6) correlation, accept.
    return f"{matrix}\nn\n0.1\nreport.txt\n3\n{samples}\n6\n1\nY\n"


def run_once(program, matrix, samples, folder, timeout, threads):
    os.makedirs(folder, exist_ok=True)
    report = os.path.join(folder, "report.txt")
    if os.path.exists(report):
        os.remove(report)
    env = dict(os.environ, NOISECLUST_TIMINGS="1")
    if threads:
        env["NOISECLUST_THREADS"] = str(threads)
    memory_file = os.path.join(folder, "memory.txt")
    start = time.monotonic()
    try:
        done = subprocess.run(
            ["/usr/bin/time", "-f", "%M", "-o", memory_file, program],
            input=answers(matrix, samples).encode(), cwd=folder, env=env,
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None
    wall = time.monotonic() - start
    if done.returncode != 0:
        sys.exit(f"{program} failed on {matrix}: {done.stderr.decode()}")
    with open(memory_file) as f:
        peak_mib = int(f.read().split()[-1]) / 1024.0
    stages = {}
    for line in done.stderr.decode().splitlines():
        if line.startswith("noiseclust: timing: "):
            name, seconds, _ = line[len("noiseclust: timing: "):].split()
            stages[name] = float(seconds)
    return {"wall": wall, "peak": peak_mib, "stages": stages, "report": report}


def median_of(runs, key):
    return statistics.median(r[key] for r in runs)


def stage_median(runs, name):
    values = [r["stages"].get(name) for r in runs if name in r["stages"]]
    return statistics.median(values) if values else float("nan")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--sizes", default="100,300,1000,3000,5000")
    parser.add_argument("--samples", type=int, default=500)
    parser.add_argument("--runs", type=int, default=3, help="runs per size (median)")
    parser.add_argument("--big-runs", type=int, default=1, help="runs per size from 3,000 rows on")
    parser.add_argument("--literal-timeout", type=float, default=300.0)
    parser.add_argument("--literal-max", type=int, default=1000,
                        help="largest size the literal program is tried at")
    parser.add_argument("--threads", type=int, default=0, help="worker threads (0: the hardware's)")
    args = parser.parse_args()

    product = os.path.join(args.build, "noiseclust")
    literal = os.path.join(args.build, "bench", "noiseclust_literal")
    if not os.path.exists(product):
        sys.exit(f"no {product}: build first")
    have_literal = os.path.exists(literal)
    work = tempfile.mkdtemp(prefix="noiseclust-bench-")
    rows = []
    try:
        for n in (int(s) for s in args.sizes.split(",")):
            if n <= 3051 and os.path.exists(DATA):
                matrix, what = golub_rows(n, work), f"golub {n} x 38"
            else:
                matrix, what = random_rows(n, 20, work), f"random {n} x 20"
            runs_wanted = args.runs if n < 3000 else args.big_runs
            fast_runs, literal_runs = [], []
            literal_alive = have_literal and n <= args.literal_max
            same = "-"
            for r in range(runs_wanted):
                fast_runs.append(run_once(product, matrix, args.samples,
                                          os.path.join(work, "fast"), None, args.threads))
                if literal_alive:
                    result = run_once(literal, matrix, args.samples,
                                      os.path.join(work, "literal"), args.literal_timeout, 0)
                    if result is None:
                        literal_alive = False
                        literal_runs = []
                    else:
                        literal_runs.append(result)
                        with open(result["report"], "rb") as a, \
                                open(fast_runs[-1]["report"], "rb") as b:
                            same = "yes" if a.read() == b.read() else "NO"
                        if same == "NO":
                            print(f"reports differ at n = {n}", file=sys.stderr)
            row = {
                "what": what, "n": n,
                "wall": median_of(fast_runs, "wall"), "peak": max(r["peak"] for r in fast_runs),
                "first": stage_median(fast_runs, "first-tree"),
                "resampling": stage_median(fast_runs, "resampling"),
                "consensus": stage_median(fast_runs, "consensus"),
                "literal": median_of(literal_runs, "wall") if literal_runs else None,
                "same": same, "runs": runs_wanted,
            }
            rows.append(row)
            print_row(row, header=len(rows) == 1)
            sys.stdout.flush()
    finally:
        shutil.rmtree(work, ignore_errors=True)


def print_row(row, header):
    if header:
        print("| data | runs | wall (median) | peak memory | first tree | resampling | consensus |"
              " literal wall | literal / fast | same report |")
        print("|---|---|---|---|---|---|---|---|---|---|")
    literal = f"{row['literal']:.3f} s" if row["literal"] is not None else "did not finish / not run"
    ratio = f"{row['literal'] / row['wall']:.1f}x" if row["literal"] is not None else "-"
    print(f"| {row['what']} | {row['runs']} | {row['wall']:.3f} s | {row['peak']:.0f} MiB |"
          f" {row['first']:.3f} s | {row['resampling']:.2f} s | {row['consensus']:.3f} s |"
          f" {literal} | {ratio} | {row['same']} |")


if __name__ == "__main__":
    main()
