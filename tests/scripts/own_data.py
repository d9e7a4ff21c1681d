"""Python's side of own_data_check.sh: pandas, GEO and GCT files of the
example; then (with "trees") a --newick file read with Bio.Phylo."""
import csv, math, sys

def native(path):
    with open(path) as f:
        f.readline()
        columns = f.readline().split()
        rows = [line.split() for line in f if line.strip()]
    return columns, [r[0] for r in rows], [[float(v) for v in r[1:]] for r in rows]

if sys.argv[1] == "write":
    import pandas
    columns, names, values = native(sys.argv[2])
    frame = pandas.DataFrame(values, index=names, columns=columns)
    frame.to_csv("pandas.csv")
    frame.iloc[2, 1] = float("nan")
    frame.to_csv("pandas-na.tsv", sep="\t")
    with open("geo.txt", "w") as f:
        f.write('!Series_title\t"example"\n!series_matrix_table_begin\n')
        f.write("\t".join('"%s"' % c for c in ["ID_REF"] + columns) + "\n")
        for n, row in zip(names, values):
            f.write("\t".join(['"%s"' % n] + [repr(v) for v in row]) + "\n")
        f.write("!series_matrix_table_end\n")
    with open("data.gct", "w") as f:
        f.write("#1.2\n%d\t%d\nName\tDescription\t%s\n" % (len(names), len(columns), "\t".join(columns)))
        for n, row in zip(names, values):
            f.write("\t".join([n, "na"] + [repr(v) for v in row]) + "\n")
else:
    from Bio import Phylo
    tree = Phylo.read(sys.argv[2], "newick")
    with open(sys.argv[3]) as f:
        steps = list(csv.DictReader((line for line in f if not line.startswith("#")), delimiter="\t"))
    got = sorted(c.confidence for c in tree.get_nonterminals())
    assert got == sorted(float(s["confidence"]) for s in steps), (got, steps)
    top = max(float(s["height"]) for s in steps)
    leaves = tree.get_terminals()
    # the root joins the first and the last leaf of the drawing
    assert math.isclose(tree.distance(leaves[0], leaves[-1]), top, rel_tol=1e-12)
    if len(sys.argv) > 4:
        with open(sys.argv[4]) as f:
            assert sorted(l.name for l in leaves) == sorted(f.read().split("\n")[:-1]), leaves
