"""The Python module against the command line on the bundled example (tree,
confidence values and standard errors, Newick trees, seeds), scipy's view of
its linkage, the consensus, refused inputs and Ctrl-C.
Run by tests/scripts/python_module_check.sh (NOISECLUST_BINARY, NOISECLUST_SOURCE)."""
import _thread, csv, os, subprocess, threading

import numpy as np
import pandas as pd
import pytest
import scipy.cluster.hierarchy as hierarchy

import noiseclust

BINARY = os.environ["NOISECLUST_BINARY"]
EXAMPLE = os.path.join(os.environ["NOISECLUST_SOURCE"], "examples", "golub-top40.txt")
DATA = pd.read_csv(EXAMPLE, sep=r"\s+", skiprows=1)

@pytest.mark.parametrize("errors", [False, True])
def test_equals_the_command_line(tmp_path, errors):
    """With a seed and a scale, then with the default seed and an error file."""
    options, files = ["--samples", "50"], {k: tmp_path / k for k in ("t.tsv", "t.nwk", "c.nwk")}
    if errors:
        sd = 0.1 * DATA.abs()
        with open(tmp_path / "se.txt", "w") as f:
            f.write("%d %d\n%s\n" % (*sd.shape, "\t".join(sd.columns)))
            for name, row in sd.iterrows():
                f.write(name + "\t" + "\t".join(repr(v) for v in row) + "\n")
        result = noiseclust.resample_cluster(DATA, errors=sd.to_numpy(), samples=50)
        options += ["--error", str(tmp_path / "se.txt")]
    else:
        result = noiseclust.resample_cluster(DATA, scale=0.1, samples=50, seed=7, threads=2)
        options += ["--scale", "0.1", "--seed", "7"]
    subprocess.run([BINARY, "--expression", EXAMPLE, "--output", str(tmp_path / "r.txt"), "--clusters",
                    str(files["t.tsv"]), "--newick", str(files["t.nwk"]), "--consensus-newick",
                    str(files["c.nwk"]), *options], check=True, stdout=subprocess.DEVNULL)
    with open(files["t.tsv"], newline="") as f:
        rows = list(csv.DictReader((l for l in f if not l.startswith("#")), delimiter="\t"))
    assert result.linkage[:, 2].tolist() == [float(r["height"]) for r in rows]
    assert result.confidence.tolist() == [float(r["confidence"]) for r in rows]
    assert [sorted(result.members(s)) for s in range(39)] == \
        [sorted(next(csv.reader([r["members"]]))) for r in rows]
    p = result.confidence
    assert np.array_equal(result.standard_error, np.sqrt(p * (1 - p) / 50))
    assert result.newick() and result.newick() in files["t.nwk"].read_text()
    assert result.consensus_newick() and result.consensus_newick() in files["c.nwk"].read_text()

def test_scipy_reads_the_linkage_and_the_consensus_holds_every_row():
    fit = noiseclust.resample_cluster(DATA, scale=0.1, samples=50)
    z = fit.linkage
    assert hierarchy.is_valid_linkage(z, throw=True) and z.shape == (39, 4)
    assert hierarchy.dendrogram(z, no_plot=True, labels=fit.labels)["leaves"] == fit.leaves
    assert len(set(hierarchy.fcluster(z, 4, criterion="maxclust"))) == 4
    assert sorted(fit.consensus[-1].members) == sorted(DATA.index) and fit.consensus[-1].confidence == 1
    again = noiseclust.resample_cluster(DATA.to_numpy(), scale=0.1, samples=50, linkage="single")
    assert again.labels is None and hierarchy.is_valid_linkage(again.linkage)

ONES = np.ones((3, 2))
REFUSED = [  # keyword arguments besides data=ONES, scale=0.1; the words of the error
    (dict(data=np.array([[1.0, np.nan], [2.0, 3.0]])), "missing value"),
    (dict(data=pd.DataFrame({"a": [1.0, 2.0], "b": ["x", "y"]})), "column 'b' is not numeric"),
    (dict(data=np.array([["1", "2"], ["3", "4"]])), "must hold numbers"),
    (dict(data=np.ones(3)), "2-dimensional"),
    (dict(errors=ONES), "exactly one"),
    (dict(samples=2.5), "samples"),
    (dict(preprocess="row"), "DIRECTION:METHOD"),
]

@pytest.mark.parametrize("arguments, words", REFUSED)
def test_refuses_bad_input(arguments, words):
    with pytest.raises(ValueError, match=words):
        noiseclust.resample_cluster(**{"data": ONES, "scale": 0.1, **arguments})

def test_ctrl_c_stops_a_run_and_the_interpreter_carries_on():
    timer = threading.Timer(0.5, _thread.interrupt_main)
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        noiseclust.resample_cluster(DATA, scale=0.1, samples=200_000, threads=1)
    timer.join()
    assert len(noiseclust.resample_cluster(DATA, scale=0.1, samples=20).confidence) == 39
