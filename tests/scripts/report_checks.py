#!/usr/bin/python3
"""Readers and checks for the script checks; each exits 1 with FAIL: on the first difference.

  report_checks.py inputs FOLDER SOURCE          writes test matrices, prints "FILE OBJECTS LAYOUT"
  report_checks.py newick REPORT MATRIX LAYOUT   every tree line read by Biopython, leaves = objects
  report_checks.py consense REPORT COMMAND...    the consensus equals PHYLIP consense's majority rule
  report_checks.py table MATRIX OBJECTS LAYOUT   MATRIX.tsv matches the first tree of MATRIX.report,
                                                 MATRIX.pick lists its selected rows
  report_checks.py svg PICTURE                   an SVG 1.1 picture with a view box of its size
  report_checks.py png IMAGE                     a decodable image with ink on it
  report_checks.py differ TABLE TABLE            two tables' confidence columns differ
"""
import csv, io, os, random, re, subprocess, sys, tempfile

CAPTIONS = re.compile(r"^(The original tree with distance is:|The \d+ sample tree with distance is:|"
                      r"The original tree with confidence values is:|The consensus tree is:)$")

def fail(message):
    sys.exit(print("FAIL: " + message) or 1)

def labels(matrix, layout):
    """The objects' labels: row names for layouts 1 and 2, row numbers for 3 and 4."""
    tokens = open(matrix, encoding="utf-8").read().split()
    rows, columns = int(tokens[0]), int(tokens[1])
    if layout in (3, 4):
        return [str(r) for r in range(1, rows + 1)]
    first = 2 + (columns if layout == 1 else 0)
    return [tokens[first + r * (columns + 1)] for r in range(rows)]

def tree_lines(report):
    lines = open(report, encoding="utf-8").read().split("\n")
    return [(line, lines[i + 1]) for i, line in enumerate(lines[:-1]) if CAPTIONS.match(line)]

def inputs(folder, source):
    def write(name, text):
        open(os.path.join(folder, name), "w", encoding="utf-8").write(text)
    write("top40.txt", open(os.path.join(source, "examples", "golub-top40.txt"), encoding="utf-8").read())
    print("top40.txt 40 1")
    golub = os.path.join(source, "..", "shared", "data", "golub.txt")
    if os.path.exists(golub):  # 1,000 rows of the Golub data, when it lies beside the sources
        lines = open(golub, encoding="utf-8").read().split("\n")
        write("rows1000.txt", "\n".join([f"1000 {lines[0].split()[1]}"] + lines[1:1002]) + "\n")
        print("rows1000.txt 1000 1")
    # Names that need escaping in XML and quoting in CSV, then the same values without names.
    names = ["AFFX&HUMGAPDH", "<b>bold</b>", "gene,with,commas", 'q"uoted"', "it's", "g\u00e9ne_\u03b1",
             "back\\slash"] + [f"probe_{k}" for k in range(1, 6)]
    rng = random.Random(12345)
    rows = [" ".join(f"{rng.uniform(0, 10):.3f}" for _ in range(4)) for _ in names]
    write("names.txt", "12 4\nc1 c2 c3 c4\n" + "".join(f"{n} {v}\n" for n, v in zip(names, rows)))
    write("numbers.txt", "12 4\n" + "".join(f"{v}\n" for v in rows))
    print("names.txt 12 1\nnumbers.txt 12 4")

def newick(report, matrix, layout):
    from Bio import Phylo
    expected, trees = sorted(labels(matrix, int(layout))), tree_lines(report)
    if len(trees) < 4:
        fail(f"{report} holds only {len(trees)} trees")
    for caption, line in trees:
        tree = Phylo.read(io.StringIO(line), "newick", rooted=True)
        leaves = sorted(leaf.name for leaf in tree.get_terminals())
        if not tree.rooted or leaves != expected:
            fail(f'{report}: the tree after "{caption}" has the leaves {leaves}')
        if not caption.startswith("The consensus") and any(len(c.clades) != 2 for c in tree.get_nonterminals()):
            fail(f'{report}: the tree after "{caption}" is not binary')
    print(f"{report}: {len(trees)} trees read, {len(expected)} leaves each")

def clusters(line):
    """{frozenset of leaf labels: value text} for every inner node of a tree line."""
    found, stack = {}, []
    for token in re.finditer(r"\(|\)(:[^,();]*)?|[^,();:]+", line.rstrip(";")):
        text = token.group(0)
        if text == "(":
            stack.append(set())
        elif text.startswith(")"):
            members = frozenset(stack.pop())
            found[members] = text[2:]
            if stack:
                stack[-1] |= members
        elif stack:
            stack[-1].add(text)
    return found

def consense(report, *command):
    trees = tree_lines(report)
    samples = [line for caption, line in trees if " sample tree " in caption]
    consensus, h = clusters(trees[-1][1]), len(samples)
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "intree"), "w") as intree:  # leaves o<number>, no lengths
            for line in samples:
                intree.write(re.sub(r"([(,])(\d+)", r"\1o\2", re.sub(r":[^,();]*", "", line)) + "\n")
        # R: rooted trees; C twice: from the extended to the plain majority rule; Y: run.
        screen = subprocess.run(list(command), input="R\nC\nC\nY\n", cwd=work, capture_output=True,
                                text=True, timeout=120).stdout
        if not re.search(r"Consensus type \(MRe, strict, MR, Ml\):\s+Majority rule\n", screen) or \
                not re.search(r"Trees to be treated as Rooted:\s+Yes", screen):
            fail("consense did not take the settings:\n" + screen)
        outfile = open(os.path.join(work, "outfile")).read()
    species = re.findall(r"^\s+\d+\.\s+(\S+)$", outfile.split("Sets included")[0], re.M)
    included = outfile.split("Sets included in the consensus tree")[1].split("Sets NOT included")[0]
    phylip = {frozenset(species[i][1:] for i, mark in enumerate(marks.replace(" ", "")) if mark == "*"):
              round(float(count)) for marks, count in re.findall(r"^([.* ]+?)\s+(\d+\.\d+)$", included, re.M)}
    everything = frozenset().union(*consensus)
    ours = {members: float(value) * h for members, value in consensus.items() if members != everything}
    if any(abs(count - round(count)) > 1e-3 for count in ours.values()):
        fail(f"a consensus value of {report} is not a count out of {h}")
    ours = {members: round(count) for members, count in ours.items()}
    if ours != phylip:
        fail(f"{report}: the consensus differs from consense's: report only "
             f"{ours.items() - phylip.items()}, consense only {phylip.items() - ours.items()}")
    print(f"{report}: consense keeps the same {len(ours)} clusters with the same counts out of {h} trees")

def merge_tree(lines, caption, objects):
    """Merge pairs, heights and leaf order of the S_Plus tree after caption."""
    at = lines.index(caption) + 3
    pairs = [tuple(int(v) for v in lines[at + s].split()[1:]) for s in range(objects - 1)]
    heights = [float(lines[at + objects + s]) for s in range(objects - 1)]
    order = [int(lines[at + 2 * objects + k]) for k in range(objects)]
    return pairs, heights, order

def table(matrix, objects, layout):
    """Every row of the --clusters table: step, size, height and confidence (six decimals) and
    the members in the tree's leaf order, against the same run's S_Plus report."""
    objects, names = int(objects), labels(matrix, int(layout))
    report = open(matrix + ".report", encoding="utf-8").read().split("\n")
    pairs, heights, order = merge_tree(report, "The original tree with distance is:", objects)
    again, confidences, _ = merge_tree(report, "The original tree with confidence values is:", objects)
    if again != pairs:
        fail("the two first trees of the report differ")
    position, members = {o: k for k, o in enumerate(order)}, []
    for a, b in pairs:
        joined = [m for code in (a, b) for m in ([-code] if code < 0 else members[code - 1])]
        members.append(sorted(joined, key=position.get))
    with open(matrix + ".tsv", newline="", encoding="utf-8") as f:
        comment = f.readline()
        rows = list(csv.reader(f, delimiter="\t"))
    h = int(re.search(r"; (\d+) resampled data sets;", comment).group(1))
    if rows[0] != ["step", "size", "height", "confidence", "members", "se", "selected"] or len(rows) != objects:
        fail(f"{matrix}.tsv: header {rows[0]}, {len(rows) - 1} rows for {objects - 1} merge steps")
    for s, row in enumerate(rows[1:]):
        expected, p = [names[o - 1] for o in members[s]], float(row[3])
        if (len(row) != 7 or int(row[0]) != s + 1 or int(row[1]) != len(expected) or
                next(csv.reader(io.StringIO(row[4]))) != expected or
                abs(float(row[2]) - heights[s]) > 5.1e-7 or abs(p - confidences[s]) > 5.1e-7 or
                abs(float(row[5]) - (p * (1 - p) / h) ** 0.5) > 1e-15 or row[6] not in ("TRUE", "FALSE")):
            fail(f"{matrix} step {s + 1}: read {row[:4] + row[5:]}, the report has {len(expected)} {heights[s]} "
                 f"{confidences[s]} {expected[:4]}")
    with open(matrix + ".pick", newline="", encoding="utf-8") as f:
        picked = list(csv.reader((line for line in f if not line.startswith("#")), delimiter="\t"))[1:]
    selected = [row for row in rows[1:] if row[6] == "TRUE"]
    if [[r[0], r[3], r[5], r[1], r[4]] for r in selected] != picked:
        fail(f"{matrix}.pick differs from the selected rows of the table")
    print(f"{matrix}: {objects - 1} rows read back, {len(picked)} clusters picked")

def svg(path):
    import xml.etree.ElementTree as ET
    try:
        root = ET.parse(path).getroot()
    except ET.ParseError as error:
        fail(f"{path} is not well-formed XML: {error}")
    width, height = root.get("width"), root.get("height")
    if root.tag != "{http://www.w3.org/2000/svg}svg" or root.get("version") != "1.1" or \
            root.get("viewBox").split()[2:] != [width.rstrip("pt"), height.rstrip("pt")]:
        fail(f"{path} is no SVG 1.1 picture with a view box of its size")

def differ(first, second):
    def confidences(path):
        with open(path, newline="", encoding="utf-8") as f:
            return [row[3] for row in csv.reader((l for l in f if not l.startswith("#")), delimiter="\t")][1:]
    if confidences(first) == confidences(second):
        fail(f"{first} and {second} have the same confidence values")

def png(image):
    from PIL import Image
    picture = Image.open(image)
    picture.load()
    picture = picture.convert("L")
    dark = sum(picture.histogram()[:100])
    if dark < 2000:
        fail(f"the screenshot is nearly blank ({dark} dark pixels)")
    print(f"{image}: {picture.width}x{picture.height}, {dark} dark pixels")

if __name__ == "__main__":
    if len(sys.argv) < 2 or sys.argv[1] not in ("inputs", "newick", "consense", "table", "svg", "png", "differ"):
        sys.exit(__doc__)
    globals()[sys.argv[1]](*sys.argv[2:])
