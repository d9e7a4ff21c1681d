"""Hierarchical clustering with confidence values under measurement noise.

``resample_cluster`` clusters the rows of a matrix, redraws every value many
times from a normal distribution centred on it, clusters each resampled data
set the same way, gives every cluster of the first tree the fraction of
resampled trees that contain it, and builds the majority-rule consensus tree:
the numbers of the ``noiseclust`` command line for the same data and settings.
"""

import math
import numbers
from collections import namedtuple

import numpy as np

from . import _noiseclust

__all__ = ["resample_cluster", "Result", "Cluster"]

Cluster = namedtuple("Cluster", ["members", "confidence"])
Cluster.__doc__ = "A cluster: its members (names, or 0-based rows) and its confidence value."


class Result:
    """The outcome of resample_cluster.

    linkage         the first tree as a scipy linkage matrix, (n-1) x 4
    confidence      per merge step (row of linkage): the fraction of
                    resampled trees that hold the step's cluster
    standard_error  per merge step: sqrt(p(1-p)/h) for h resampled data sets
    consensus       the majority-rule consensus tree's clusters (Cluster)
    labels          the row names, or None for an array
    leaves          the leaf order of the first tree (0-based rows)
    dropped_rows    rows left out for a missing value (missing="drop-rows")
    warnings        what the run noted about non-finite values, or ""
    """

    def __init__(self, outcome, labels):
        self._outcome = outcome
        self.labels = labels
        self.linkage = outcome.linkage
        self.confidence = np.asarray(outcome.confidence, dtype=float)
        self.standard_error = np.asarray(outcome.standard_error, dtype=float)
        self.leaves = list(outcome.leaf_order)
        self.dropped_rows = list(outcome.dropped_rows)
        self.warnings = outcome.warnings
        self.consensus = [Cluster(self._names(members), confidence)
                          for members, confidence in outcome.consensus]

    def _names(self, rows):
        if self.labels is None:
            return list(rows)
        return [self.labels[r] for r in rows]

    def members(self, step):
        """The members of the cluster formed at merge step ``step`` (0-based)."""
        n = len(self.linkage) + 1
        stack, rows = [n + step], []
        while stack:
            node = stack.pop()
            if node < n:
                rows.append(node)
            else:
                left, right = self.linkage[node - n, :2].astype(int)
                stack += [right, left]
        return self._names(rows)

    def pick(self, threshold=0.95):
        """The outermost clusters whose confidence is at least ``threshold``
        (no picked cluster lies inside another), as pvclust's pvpick."""
        threshold = _number(threshold, "threshold")
        return [Cluster(self.members(step), float(self.confidence[step]))
                for step in self._outcome.pick_steps(threshold)]

    def newick(self):
        """The first tree in Newick, branch lengths from the merge heights,
        inner nodes labelled with their confidence values."""
        return self._outcome.newick()

    def consensus_newick(self):
        """The majority-rule consensus tree in Newick."""
        return self._outcome.consensus_newick()

    def __repr__(self):
        return "<noiseclust.Result: %d objects, %d consensus clusters>" % (
            len(self.linkage) + 1, len(self.consensus))


def _number(value, what):
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise ValueError("%s must be a number, not %r" % (what, value))
    return float(value)


def _whole(value, what, lowest, highest):
    if isinstance(value, bool) or not isinstance(value, numbers.Integral) \
            or not lowest <= value <= highest:
        raise ValueError("%s must be a whole number from %d to %d, not %r"
                         % (what, lowest, highest, value))
    return int(value)


def _matrix(value, what):
    """A float64 matrix and its row and column names (or None)."""
    rows = columns = None
    if hasattr(value, "columns") and hasattr(value, "index") and hasattr(value, "dtypes"):
        for column, dtype in zip(value.columns, value.dtypes):
            if not (np.issubdtype(dtype, np.number) and not np.issubdtype(dtype, np.complexfloating)) \
                    or np.issubdtype(dtype, np.timedelta64):
                raise ValueError("%s: column %r is not numeric (%s)" % (what, column, dtype))
        rows, columns = list(value.index), list(value.columns)
        value = value.to_numpy(dtype=float, na_value=np.nan)
    array = np.asarray(value)
    if array.dtype.kind not in "biuf":
        raise ValueError("%s must hold numbers, not %s values" % (what, array.dtype))
    if array.ndim != 2:
        raise ValueError("%s must be 2-dimensional, not %d-dimensional" % (what, array.ndim))
    return np.ascontiguousarray(array, dtype=np.float64), rows, columns


def _texts(names):
    return [] if names is None else [str(name) for name in names]


def resample_cluster(data, errors=None, scale=None, samples=500, distance="euclidean",
                     linkage="average", preprocess=None, cluster="rows", threads=None,
                     seed=None, missing="refuse"):
    """Clusters the rows (or columns) of ``data`` and gives each cluster a
    confidence value under normal noise.

    data        2-D numpy array or pandas DataFrame (index and columns name
                the rows and columns)
    errors      standard deviation of every value, the shape of data; or
    scale       one relative scale of error > 0 (exactly one of the two)
    samples     number of resampled data sets
    distance    euclidean, correlation, maximum, manhattan or binary
    linkage     average, complete (compact) or single (connected)
    preprocess  None or "DIRECTION:METHOD": row or column; log, normal,
                meancenter, mediancenter or max (e.g. "row:log")
    cluster     "rows" or "columns" (the columns are clustered as rows of
                the transposed data)
    threads     worker threads; None: NOISECLUST_THREADS, else one per processor
    seed        None: the program's fixed start; a whole number: the start --seed N gives
    missing     "refuse" (a NaN is an error) or "drop-rows" (rows holding a
                NaN in data or errors are left out, see Result.dropped_rows)

    Ctrl-C stops a run and raises KeyboardInterrupt.
    """
    if seed is not None and (isinstance(seed, bool) or not isinstance(seed, int)
                             or not 0 <= seed < 2 ** 64):
        raise ValueError("seed must be None or a whole number from 0 to 2**64 - 1, not %r"
                         % (seed,))
    if cluster not in ("rows", "columns"):
        raise ValueError('cluster must be "rows" or "columns", not %r' % (cluster,))
    if missing not in ("refuse", "drop-rows"):
        raise ValueError('missing must be "refuse" or "drop-rows", not %r' % (missing,))
    for name, value in (("distance", distance), ("linkage", linkage)):
        if not isinstance(value, str):
            raise ValueError("%s must be a text, not %r" % (name, value))
    if preprocess is not None and not isinstance(preprocess, str):
        raise ValueError("preprocess must be None or a text such as \"row:log\", not %r"
                         % (preprocess,))
    samples = _whole(samples, "samples", 1, 2**31 - 1)
    if threads is not None:
        threads = _whole(threads, "threads", 0, 256)
    if scale is not None:
        scale = _number(scale, "scale")
        if not (math.isfinite(scale) and scale > 0):
            raise ValueError("the scale of error must be a positive number, not %r" % (scale,))

    values, rows, columns = _matrix(data, "data")
    error_values = None
    if errors is not None:
        error_values, _, _ = _matrix(errors, "errors")
        if error_values.shape != values.shape:
            raise ValueError("errors has shape %s, data %s: give one standard error per value"
                             % (error_values.shape, values.shape))
    outcome = _noiseclust.run(values, error_values, scale, samples, distance, linkage,
                              preprocess, cluster == "columns", threads, _texts(rows),
                              _texts(columns), missing == "drop-rows", seed)
    labels = columns if cluster == "columns" else rows
    if labels is not None and outcome.dropped_rows:
        dropped = set(outcome.dropped_rows)
        labels = [label for i, label in enumerate(labels) if i not in dropped]
    return Result(outcome, labels)
