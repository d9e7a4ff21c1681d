#!/usr/bin/python3
"""Readers and checks for the script checks; each exits 1 with FAIL: on the first difference.
NAMES is a file of the objects' labels, one a line; TABLE a --clusters table. Commands:
  newick NEWICK TABLE NAMES        Bio.Phylo reads a --newick file: its leaves, TABLE's confidences and height
  table REPORT TABLE PICK NAMES    TABLE matches the first tree of the S_Plus REPORT, PICK its selected rows
  svg PICTURE | png IMAGE | differ TABLE TABLE | write MATRIX (as pandas, GEO and GCT write it)
"""
import csv, math, re, sys

def fail(message):
    sys.exit(print("FAIL: " + message) or 1)

def names_of(path):
    return open(path, encoding="utf-8").read().splitlines()

def rows_of(table):
    """The rows of a tab-separated side file without its comment lines, as dictionaries."""
    with open(table, newline="", encoding="utf-8") as f:
        return list(csv.DictReader((line for line in f if not line.startswith("#")), delimiter="\t"))

def newick(path, table, names):
    from Bio import Phylo
    tree, steps = Phylo.read(path, "newick"), rows_of(table)
    leaves = tree.get_terminals()
    if sorted(leaf.name for leaf in leaves) != sorted(names_of(names)):
        fail(f"{path}: the leaves are {[leaf.name for leaf in leaves]}")
    if sorted(c.confidence for c in tree.get_nonterminals()) != sorted(float(s["confidence"]) for s in steps):
        fail(f"{path}: the confidence values differ from {table}'s")
    # the root joins the first and the last leaf of the drawing
    if not math.isclose(tree.distance(leaves[0], leaves[-1]), float(steps[-1]["height"]), rel_tol=1e-12):
        fail(f"{path}: the tree's height is not the top merge height")

def merge_tree(lines, caption, objects):
    """Merge pairs, heights and leaf order of the S_Plus tree after caption."""
    at = lines.index(caption) + 3
    pairs = [tuple(int(v) for v in lines[at + s].split()[1:]) for s in range(objects - 1)]
    heights = [float(lines[at + objects + s]) for s in range(objects - 1)]
    return pairs, heights, [int(lines[at + 2 * objects + k]) for k in range(objects)]

def table(report, path, pick, names):
    names = names_of(names)
    objects, report = len(names), open(report, encoding="utf-8").read().split("\n")
    pairs, heights, order = merge_tree(report, "The original tree with distance is:", objects)
    again, confidences, _ = merge_tree(report, "The original tree with confidence values is:", objects)
    if again != pairs:
        fail("the two first trees of the report differ")
    position, members = {o: k for k, o in enumerate(order)}, []
    for a, b in pairs:
        members.append(sorted([m for code in (a, b) for m in ([-code] if code < 0 else members[code - 1])],
                              key=position.get))
    h = int(re.search(r"; (\d+) resampled data sets;", open(path, encoding="utf-8").readline()).group(1))
    rows = rows_of(path)
    if list(rows[0]) != ["step", "size", "height", "confidence", "members", "se", "selected"] or \
            len(rows) != objects - 1:
        fail(f"{path}: columns {list(rows[0])}, {len(rows)} rows for {objects - 1} merge steps")
    for s, row in enumerate(rows):
        expected, p = [names[o - 1] for o in members[s]], float(row["confidence"])
        if (int(row["step"]) != s + 1 or int(row["size"]) != len(expected) or
                next(csv.reader([row["members"]])) != expected or
                abs(float(row["height"]) - heights[s]) > 5.1e-7 or abs(p - confidences[s]) > 5.1e-7 or
                abs(float(row["se"]) - (p * (1 - p) / h) ** 0.5) > 1e-15 or row["selected"] not in ("TRUE", "FALSE")):
            fail(f"{path} step {s + 1}: read {row}, the report has {heights[s]} {confidences[s]} {expected[:4]}")
    picked = [[r["step"], r["confidence"], r["se"], r["size"], r["members"]] for r in rows if r["selected"] == "TRUE"]
    if [list(r.values()) for r in rows_of(pick)] != picked:
        fail(f"{pick} differs from the selected rows of {path}")
    print(f"{path}: {objects - 1} rows read back, {len(picked)} clusters picked")

def svg(path):
    import xml.etree.ElementTree as ET
    root = ET.parse(path).getroot()  # raises on XML that is not well-formed
    if root.tag != "{http://www.w3.org/2000/svg}svg" or root.get("version") != "1.1" or \
            root.get("viewBox").split()[2:] != [root.get("width").rstrip("pt"), root.get("height").rstrip("pt")]:
        fail(f"{path} is no SVG 1.1 picture with a view box of its size")

def differ(first, second):
    if [r["confidence"] for r in rows_of(first)] == [r["confidence"] for r in rows_of(second)]:
        fail(f"{first} and {second} have the same confidence values")

def png(image):
    from PIL import Image
    picture = Image.open(image).convert("L")
    dark = sum(picture.histogram()[:100])
    if dark < 2000:
        fail(f"{image} is nearly blank ({dark} dark pixels)")
    print(f"{image}: {picture.width}x{picture.height}, {dark} dark pixels")

def write(matrix):
    import pandas
    with open(matrix) as f:
        f.readline()
        columns, rows = f.readline().split(), [line.split() for line in f if line.strip()]
    names, values = [r[0] for r in rows], [[float(v) for v in r[1:]] for r in rows]
    frame = pandas.DataFrame(values, index=names, columns=columns)
    frame.to_csv("pandas.csv")
    frame.iloc[2, 1] = float("nan")
    frame.to_csv("pandas-na.tsv", sep="\t")
    with open("geo.txt", "w") as f:
        f.write('!Series_title\t"example"\n!series_matrix_table_begin\n')
        f.write("\t".join('"%s"' % c for c in ["ID_REF"] + columns) + "\n")
        f.writelines("\t".join(['"%s"' % n] + [repr(v) for v in row]) + "\n" for n, row in zip(names, values))
        f.write("!series_matrix_table_end\n")
    with open("data.gct", "w") as f:
        f.write("#1.2\n%d\t%d\nName\tDescription\t%s\n" % (len(names), len(columns), "\t".join(columns)))
        f.writelines("\t".join([n, "na"] + [repr(v) for v in row]) + "\n" for n, row in zip(names, values))

if __name__ == "__main__":
    commands = ("newick", "table", "svg", "png", "differ", "write")
    if len(sys.argv) < 2 or sys.argv[1] not in commands:
        sys.exit(__doc__)
    globals()[sys.argv[1]](*sys.argv[2:])
