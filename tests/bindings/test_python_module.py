"""The Python module against the command line on the bundled example, scipy's
view of its linkage matrix, refused inputs and Ctrl-C during a run.
Run by tests/scripts/python_module_check.sh (NOISECLUST_BINARY, NOISECLUST_SOURCE)."""

import _thread
import csv
import os
import subprocess
import threading

import numpy as np
import pandas as pd
import pytest
import scipy.cluster.hierarchy as hierarchy

import noiseclust

BINARY = os.environ["NOISECLUST_BINARY"]
EXAMPLE = os.path.join(os.environ["NOISECLUST_SOURCE"], "examples", "golub-top40.txt")


@pytest.fixture(scope="module")
def example():
    return pd.read_csv(EXAMPLE, sep=r"\s+", skiprows=1)


@pytest.fixture(scope="module")
def fit(example):
    return noiseclust.resample_cluster(example, scale=0.1, threads=2)


def command_line(tmp_path, *options):
    """The cluster table of the command line's run, as (heights, confidences, members)."""
    table = tmp_path / "clusters.tsv"
    subprocess.run([BINARY, "--expression", EXAMPLE, "--output", str(tmp_path / "report.txt"),
                    "--clusters", str(table), *options], check=True, stdout=subprocess.DEVNULL)
    with open(table, newline="") as f:
        rows = list(csv.DictReader((l for l in f if not l.startswith("#")), delimiter="\t"))
    members = [next(csv.reader([row["members"]])) for row in rows]
    return ([float(r["height"]) for r in rows], [float(r["confidence"]) for r in rows], members)


def test_seed_equals_the_command_line(tmp_path, example):
    result = noiseclust.resample_cluster(example, scale=0.1, samples=50, seed=7)
    _, confidences, _ = command_line(tmp_path, "--scale", "0.1", "--samples", "50", "--seed", "7")
    assert result.confidence.tolist() == confidences


@pytest.mark.parametrize("errors", [False, True])
def test_equals_the_command_line(tmp_path, example, fit, errors):
    if errors:
        sd = 0.1 * example.abs()
        path = tmp_path / "errors.txt"
        with open(path, "w") as f:
            f.write("%d %d\n%s\n" % (*sd.shape, "\t".join(sd.columns)))
            for name, row in sd.iterrows():
                f.write(name + "\t" + "\t".join(repr(v) for v in row) + "\n")
        result = noiseclust.resample_cluster(example, errors=sd.to_numpy(), samples=100)
        heights, confidences, members = command_line(tmp_path, "--error", str(path),
                                                      "--samples", "100")
    else:
        result = fit
        heights, confidences, members = command_line(tmp_path, "--scale", "0.1")
    assert result.linkage[:, 2].tolist() == heights
    assert result.confidence.tolist() == confidences
    assert [sorted(result.members(s)) for s in range(len(heights))] == \
        [sorted(m) for m in members]
    p = result.confidence
    assert np.array_equal(result.standard_error, np.sqrt(p * (1 - p) / (100 if errors else 500)))


def test_scipy_reads_the_linkage(fit):
    z = fit.linkage
    assert hierarchy.is_valid_linkage(z, throw=True) and z.shape == (39, 4)
    assert hierarchy.dendrogram(z, no_plot=True, labels=fit.labels)["leaves"] == fit.leaves
    assert hierarchy.to_tree(z).get_count() == 40
    assert len(set(hierarchy.fcluster(z, 4, criterion="maxclust"))) == 4


def test_layouts_give_the_same_tree(example, fit):
    cases = [noiseclust.resample_cluster(example.to_numpy(), scale=0.1, threads=1),
             noiseclust.resample_cluster(example.T, scale=0.1, cluster="columns")]
    for other in cases:
        assert np.array_equal(other.linkage, fit.linkage)
        assert np.array_equal(other.confidence, fit.confidence)
    assert cases[0].labels is None and cases[1].labels == fit.labels
    assert [c.members for c in cases[0].consensus] == \
        [[fit.labels.index(m) for m in c.members] for c in fit.consensus]


def test_picks_the_outermost_confident_clusters(fit):
    for threshold in (0.5, 0.95, 1.0):
        picked = fit.pick(threshold)
        members = [set(c.members) for c in picked]
        assert all(c.confidence >= threshold for c in picked)
        assert all(a.isdisjoint(b) for i, a in enumerate(members) for b in members[i + 1:])
    root = fit.consensus[-1]
    assert len(root.members) == 40 and root.confidence == 1


def test_newick_equals_the_command_line(tmp_path, fit):
    # The command line's Newick export writes the first tree and the consensus tree.
    first, consensus = tmp_path / "first.nwk", tmp_path / "consensus.nwk"
    subprocess.run([BINARY, "--expression", EXAMPLE, "--scale", "0.1", "--output",
                    str(tmp_path / "report.txt"), "--newick", str(first),
                    "--consensus-newick", str(consensus)], check=True, stdout=subprocess.DEVNULL)
    assert fit.newick() and fit.newick() in first.read_text()
    assert fit.consensus_newick() and fit.consensus_newick() in consensus.read_text()


def test_drops_rows_with_missing_values_when_asked(example):
    data = example.copy()
    data.iloc[[3, 7], [0, 5]] = np.nan
    result = noiseclust.resample_cluster(data, scale=0.1, samples=20, missing="drop-rows")
    assert result.dropped_rows == [3, 7] and len(result.linkage) == 37
    assert example.index[3] not in result.labels


REFUSED = [
    (dict(data=np.array([[1.0, np.nan], [2.0, 3.0]]), scale=0.1), ValueError, "missing value"),
    (dict(data=pd.DataFrame({"a": [1.0, 2.0], "b": ["x", "y"]}), scale=0.1), ValueError,
     "column 'b' is not numeric"),
    (dict(data=np.array([["1", "2"], ["3", "4"]]), scale=0.1), ValueError, "must hold numbers"),
    (dict(data=np.ones((1, 3)), scale=0.1), ValueError, "at least 2 rows"),
    (dict(data=np.ones((3, 0)), scale=0.1), ValueError, "no columns"),
    (dict(data=np.ones(3), scale=0.1), ValueError, "2-dimensional"),
    (dict(data=np.array([[1.0, np.inf], [2.0, 3.0]]), scale=0.1), ValueError, "infinite"),
    (dict(data=np.ones((3, 2)), errors=np.ones((2, 3))), ValueError, "one standard error per value"),
    (dict(data=np.ones((3, 2)), errors=-np.ones((3, 2))), ValueError, "negative"),
    (dict(data=np.ones((3, 2))), ValueError, "exactly one of errors"),
    (dict(data=np.ones((3, 2)), errors=np.ones((3, 2)), scale=0.1), ValueError, "exactly one"),
    (dict(data=np.ones((3, 2)), scale=0), ValueError, "positive number"),
    (dict(data=np.ones((3, 2)), scale=float("nan")), ValueError, "positive number"),
    (dict(data=np.ones((3, 2)), scale=0.1, samples=0), ValueError, "samples"),
    (dict(data=np.ones((3, 2)), scale=0.1, samples=2.5), ValueError, "samples"),
    (dict(data=np.ones((3, 2)), scale=0.1, threads=300), ValueError, "threads"),
    (dict(data=np.ones((3, 2)), scale=0.1, distance="cosine"), ValueError, "unknown distance"),
    (dict(data=np.ones((3, 2)), scale=0.1, linkage="ward"), ValueError, "unknown linkage"),
    (dict(data=np.ones((3, 2)), scale=0.1, preprocess="row"), ValueError, "DIRECTION:METHOD"),
    (dict(data=np.ones((3, 2)), scale=0.1, cluster="genes"), ValueError, "cluster"),
    (dict(data=np.ones((3, 2)), scale=0.1, missing="zero"), ValueError, "missing"),
    (dict(data=np.ones((3, 2)), scale=0.1, seed=-1), ValueError, "seed"),
]


@pytest.mark.parametrize("arguments, error, words", REFUSED)
def test_refuses_bad_input_with_a_clear_error(arguments, error, words):
    with pytest.raises(error, match=words):
        noiseclust.resample_cluster(**arguments)


@pytest.mark.parametrize("linkage, preprocess", [("single", None), ("complete", "row:normal"),
                                                 ("connected", "column:mediancenter")])
def test_method_names(example, linkage, preprocess):
    result = noiseclust.resample_cluster(example, scale=0.1, samples=10, linkage=linkage,
                                         preprocess=preprocess, distance="correlation")
    assert hierarchy.is_valid_linkage(result.linkage)


def test_ctrl_c_stops_a_run_and_the_interpreter_carries_on(example):
    timer = threading.Timer(0.5, _thread.interrupt_main)
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        noiseclust.resample_cluster(example, scale=0.1, samples=200_000, threads=1)
    timer.join()
    after = noiseclust.resample_cluster(example, scale=0.1, samples=20)
    assert len(after.confidence) == 39
