#!/usr/bin/python3
"""Readers and checks for the script checks; each exits 1 with FAIL: on the first difference.

  report_checks.py inputs FOLDER SOURCE          writes test matrices, prints "FILE OBJECTS LAYOUT"
  report_checks.py newick REPORT MATRIX LAYOUT   every tree line read by Biopython, leaves = objects
  report_checks.py consense REPORT COMMAND...    the consensus equals PHYLIP consense's majority rule
  report_checks.py table MATRIX OBJECTS LAYOUT   MATRIX.tsv matches the first tree of MATRIX.report
  report_checks.py svg MATRIX OBJECTS LAYOUT     MATRIX.svg is SVG 1.1 with every row label
  report_checks.py png IMAGE                     a screenshot with ink on it
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
        rows = list(csv.reader(f, delimiter="\t"))
    if rows[0] != ["step", "size", "height", "confidence", "members"] or len(rows) != objects:
        fail(f"{matrix}.tsv: header {rows[0]}, {len(rows) - 1} rows for {objects - 1} merge steps")
    for s, row in enumerate(rows[1:]):
        expected = [names[o - 1] for o in members[s]]
        if (len(row) != 5 or int(row[0]) != s + 1 or int(row[1]) != len(expected) or
                next(csv.reader(io.StringIO(row[4]))) != expected or
                abs(float(row[2]) - heights[s]) > 5.1e-7 or abs(float(row[3]) - confidences[s]) > 5.1e-7):
            fail(f"{matrix} step {s + 1}: read {row[:4]}, the report has {len(expected)} {heights[s]} "
                 f"{confidences[s]} {expected[:4]}")
    print(f"{matrix}: {objects - 1} rows read back")

def svg(matrix, objects, layout):
    import xml.etree.ElementTree as ET
    path, ns = matrix + ".svg", "{http://www.w3.org/2000/svg}"
    try:
        root = ET.parse(path).getroot()
    except ET.ParseError as error:
        fail(f"{path} is not well-formed XML: {error}")
    width, height = root.get("width"), root.get("height")
    if root.tag != ns + "svg" or root.get("version") != "1.1" or root.get("viewBox") != f"0 0 {width} {height}":
        fail(f"{path} is no SVG 1.1 picture with a view box of its size")
    if float(height) < int(objects) * 12:
        fail(f"{height} px is too low for {objects} readable rows")
    texts = set(t.text or "" for t in root.iter(ns + "text"))
    missing = [label for label in labels(matrix, int(layout)) if label not in texts]
    if missing:
        fail(f"{path}: {len(missing)} row labels are missing, for example {missing[:3]!r}")

def png(image):
    from PIL import Image
    picture = Image.open(image).convert("L")
    dark = sum(picture.histogram()[:100])
    if dark < 2000:
        fail(f"the screenshot is nearly blank ({dark} dark pixels)")
    print(f"{image}: {picture.width}x{picture.height}, {dark} dark pixels")

if __name__ == "__main__":
    if len(sys.argv) < 2 or sys.argv[1] not in ("inputs", "newick", "consense", "table", "svg", "png"):
        sys.exit(__doc__)
    globals()[sys.argv[1]](*sys.argv[2:])
