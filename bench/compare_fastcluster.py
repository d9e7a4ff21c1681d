#!/usr/bin/env python3
"""Runs noiseclust and the same job written with scipy and fastcluster side by side.

For every data set, metric and linkage, the two programs run alternately
(so both see the same machine load) on the same matrix file with the same
number of resampled data sets; the table gives the median CPU seconds (user
plus system) per resampled data set (a run with h data sets minus a run
with one, divided by h - 1, so start-up and the first tree drop out), their
ratio, the median wall times and
the peak memory of each. noiseclust runs with --threads (1 unless given), the
peer script on one thread (bench/fastcluster_job.py; needs python3-fastcluster
and python3-scipy).

Data sets: golub-N, the first N rows of the leukemia data set (38 columns);
random-NxQ, normal random values (fixed seed); grown-N, N rows made from the
leukemia rows: row r is leukemia row r mod 3,051 with every value redrawn
from a normal distribution with standard deviation 0.1 times the value
(fixed seed), so the larger data set keeps the structure of the real one.

    bench/compare_fastcluster.py --data golub-1000,golub-3051,random-5000x20 \\
        --metrics correlation,euclidean --linkages average,compact,connected --samples 20
    bench/compare_fastcluster.py --data golub-1000 --samples 500 --threads 2 --no-peer
"""

import argparse
import os
import random
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
GOLUB = os.path.join(SOURCE, "..", "shared", "data", "golub.txt")
PEER = os.path.join(HERE, "fastcluster_job.py")


def golub_lines():
    with open(GOLUB) as f:
        f.readline()
        header = f.readline()
        return header, f.read().splitlines()


def make_matrix(name, folder):
    path = os.path.join(folder, name + ".txt")
    if os.path.exists(path):
        return path
    kind, size = name.split("-", 1)
    if kind == "golub":
        n = int(size)
        header, rows = golub_lines()
        text = f"{n} {len(header.split())}\n{header}" + "\n".join(rows[:n]) + "\n"
    elif kind == "random":
        n, q = (int(t) for t in size.split("x"))
        rng = random.Random(20261207)
        lines = [f"{n} {q}", "\t".join(f"c{j + 1}" for j in range(q))]
        for i in range(n):
            lines.append(f"r{i + 1}\t" + "\t".join(f"{rng.gauss(0.0, 1.0):.10g}" for _ in range(q)))
        text = "\n".join(lines) + "\n"
    elif kind == "grown":
        n = int(size)
        header, rows = golub_lines()
        rng = random.Random(20261208)
        lines = [f"{n} {len(header.split())}", header.rstrip("\n")]
        for i in range(n):
            fields = rows[i % len(rows)].split()
            values = [float(v) for v in fields[1:]]
            lines.append(f"g{i + 1}\t" + "\t".join(f"{rng.gauss(v, 0.1 * abs(v)):.6g}" for v in values))
        text = "\n".join(lines) + "\n"
    else:
        sys.exit(f"unknown data set {name}")
    with open(path, "w") as out:
        out.write(text)
    return path


def timed(command, cwd):
    """Runs a command; returns (CPU seconds, wall seconds, peak MiB) of that process."""
    start = time.monotonic()
    child = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.monotonic() - start
    message = child.stderr.read().decode()
    child.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{command[0]} failed: {message}")
    return usage.ru_utime + usage.ru_stime, wall, usage.ru_maxrss / 1024.0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--data", default="golub-1000,golub-3051,random-5000x20")
    parser.add_argument("--metrics", default="correlation,euclidean")
    parser.add_argument("--linkages", default="average,compact,connected")
    parser.add_argument("--samples", type=int, default=20)
    parser.add_argument("--runs", type=int, default=3, help="runs of each program (median)")
    parser.add_argument("--threads", type=int, default=1, help="noiseclust worker threads")
    parser.add_argument("--no-peer", action="store_true", help="time noiseclust alone")
    args = parser.parse_args()

    program = os.path.join(args.build, "noiseclust")
    if not os.path.exists(program):
        sys.exit(f"no {program}: build first")
    work = tempfile.mkdtemp(prefix="noiseclust-compare-")
    print("| data | metric | linkage | h | threads | noiseclust CPU / data set | fastcluster script CPU / data set |"
          " ratio | noiseclust wall | script wall | noiseclust peak | script peak |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|")
    try:
        for name in args.data.split(","):
            matrix = make_matrix(name, work)
            for metric in args.metrics.split(","):
                for linkage in args.linkages.split(","):
                    ours, peer = [], []
                    for _ in range(args.runs):
                        # Each program once with h data sets and once with one, alternately:
                        # the difference is the cost of h - 1 data sets, start-up excluded.
                        pair = []
                        for h in (args.samples, 1):
                            pair.append(timed([program, "--expression", matrix, "--scale", "0.1",
                                               "--output", os.path.join(work, "report.txt"), "--force",
                                               "--samples", str(h), "--distance", metric,
                                               "--linkage", linkage, "--threads", str(args.threads)], work))
                        ours.append(pair)
                        if not args.no_peer:
                            peer.append([timed(["/usr/bin/python3", PEER, matrix, str(h), metric, linkage], work)
                                         for h in (args.samples, 1)])
                    print_row(name, metric, linkage, args, ours, peer)
                    sys.stdout.flush()
    finally:
        shutil.rmtree(work, ignore_errors=True)


def per_data_set(runs, samples):
    """Median CPU seconds per resampled data set, median wall and peak of the full runs."""
    cpu = statistics.median((full[0] - single[0]) / max(samples - 1, 1) for full, single in runs)
    wall = statistics.median(full[1] for full, _ in runs)
    peak = max(full[2] for full, _ in runs)
    return cpu, wall, peak


def print_row(name, metric, linkage, args, ours, peer):
    cpu, wall, peak = per_data_set(ours, args.samples)
    cells = [name, metric, linkage, str(args.samples), str(args.threads), f"{cpu * 1000:.1f} ms"]
    if peer:
        peer_cpu, peer_wall, peer_peak = per_data_set(peer, args.samples)
        cells += [f"{peer_cpu * 1000:.1f} ms", f"{cpu / peer_cpu:.2f}"]
    else:
        cells += ["-", "-"]
    cells += [f"{wall:.2f} s", f"{peer_wall:.2f} s" if peer else "-", f"{peak:.0f} MiB",
              f"{peer_peak:.0f} MiB" if peer else "-"]
    print("| " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main()
