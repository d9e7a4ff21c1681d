#!/usr/bin/python3
"""The resampling job of noiseclust written with numpy, scipy and fastcluster.

Reads a layout-1 matrix file (counts, column names, then a name and the
values of every row), clusters it once, then draws SAMPLES resampled data
sets (every value redrawn from a normal distribution with standard deviation
SCALE times the value), clusters each with scipy's pdist and
fastcluster.linkage, and counts how many resampled trees hold each cluster of
the first tree (clusters as frozensets of rows). One thread: the peer of one
noiseclust worker. Prints the confidence of the root as a sanity check.

    fastcluster_job.py MATRIX SAMPLES METRIC LINKAGE [SCALE]

METRIC and LINKAGE take noiseclust's words (correlation, euclidean;
average, compact, connected).
"""

import os
import sys

for variable in ("OMP_NUM_THREADS", "OPENBLAS_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ[variable] = "1"

import fastcluster  # noqa: E402
import numpy  # noqa: E402
from scipy.spatial.distance import pdist  # noqa: E402

METHODS = {"average": "average", "compact": "complete", "connected": "single"}


def read_matrix(path):
    with open(path) as f:
        rows, columns = (int(t) for t in f.readline().split())
        f.readline()
        values = numpy.empty((rows, columns))
        for r in range(rows):
            values[r] = [float(t) for t in f.readline().split()[1:columns + 1]]
    return values


def clusters_of(merges, n):
    members = [frozenset([i]) for i in range(n)]
    found = []
    for a, b, _, _ in merges:
        joined = members[int(a)] | members[int(b)]
        members.append(joined)
        found.append(joined)
    return found


def main():
    path, samples, metric, linkage = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    scale = float(sys.argv[5]) if len(sys.argv) > 5 else 0.1
    data = read_matrix(path)
    n = data.shape[0]
    method = METHODS[linkage]
    first = clusters_of(fastcluster.linkage(pdist(data, metric), method=method), n)
    support = dict.fromkeys(first, 0)
    generator = numpy.random.default_rng(20261207)
    for _ in range(samples):
        resampled = data + generator.standard_normal(data.shape) * (scale * data)
        for cluster in clusters_of(fastcluster.linkage(pdist(resampled, metric), method=method), n):
            if cluster in support:
                support[cluster] += 1
    print(f"root confidence {support[first[-1]] / samples}")


if __name__ == "__main__":
    main()
