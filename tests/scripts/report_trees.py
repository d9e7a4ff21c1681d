#!/usr/bin/python3
"""Reads the New_Hampshire trees of a noiseclust report for the script checks.

  report_trees.py newick REPORT MATRIX LAYOUT
      Parses every tree line (first tree, sample trees, confidence tree,
      consensus tree) with Biopython's Newick reader as a rooted tree and
      checks that its leaves are the matrix's objects, each once: the row
      names for layouts 1 and 2, the row numbers for layouts 3 and 4.

  report_trees.py consense REPORT CONSENSE
      Feeds the sample trees (leaves are row numbers, written as o<number>,
      branch lengths dropped) to PHYLIP's consense as rooted trees under the
      plain majority rule, and compares the sets it keeps, with their counts,
      with the report's consensus tree (clusters below the root, value times
      the sample size).

Exits 1 with a message on the first difference.
"""
import io
import os
import re
import subprocess
import sys
import tempfile

CAPTIONS = re.compile(r"^(The original tree with distance is:|The \d+ sample tree with distance is:|"
                      r"The original tree with confidence values is:|The consensus tree is:)$")


def tree_lines(report):
    """(caption, tree line) for every tree of the report, in report order."""
    lines = open(report).read().split("\n")
    return [(line, lines[i + 1]) for i, line in enumerate(lines[:-1]) if CAPTIONS.match(line)]


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def matrix_labels(matrix, layout):
    tokens = open(matrix).read().split()
    rows, columns = int(tokens[0]), int(tokens[1])
    at = 2 + (columns if layout in (1, 3) else 0)
    if layout in (3, 4):
        return [str(r) for r in range(1, rows + 1)]
    labels = []
    for _ in range(rows):
        labels.append(tokens[at])
        at += 1 + columns
    return labels


def check_newick(report, matrix, layout):
    from Bio import Phylo
    labels = sorted(matrix_labels(matrix, layout))
    trees = tree_lines(report)
    if len(trees) < 4:
        fail("%s holds only %d trees" % (report, len(trees)))
    for caption, line in trees:
        tree = Phylo.read(io.StringIO(line), "newick", rooted=True)
        leaves = sorted(leaf.name for leaf in tree.get_terminals())
        if not tree.rooted or leaves != labels:
            fail("%s: the tree after \"%s\" has the leaves %s" % (report, caption, leaves))
        merge_tree = not caption.startswith("The consensus")
        if merge_tree and any(len(clade.clades) != 2 for clade in tree.get_nonterminals()):
            fail("%s: the tree after \"%s\" is not binary" % (report, caption))
    print("%s: %d trees read, %d leaves each" % (report, len(trees), len(labels)))


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


def check_consense(report, consense):
    trees = tree_lines(report)
    samples = [line for caption, line in trees if " sample tree " in caption]
    consensus = clusters(trees[-1][1])
    h = len(samples)
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "intree"), "w") as intree:
            for line in samples:
                intree.write(re.sub(r"([(,])(\d+)", r"\1o\2", re.sub(r":[^,();]*", "", line)) + "\n")
        # Menu: R treats the trees as rooted; C twice turns the extended
        # majority rule into the plain one; Y runs.
        screen = subprocess.run(consense, input="R\nC\nC\nY\n", cwd=work, capture_output=True,
                                text=True, timeout=120).stdout
        if not re.search(r"Consensus type \(MRe, strict, MR, Ml\):\s+Majority rule\n", screen) or \
                not re.search(r"Trees to be treated as Rooted:\s+Yes", screen):
            fail("consense did not take the settings:\n" + screen)
        outfile = open(os.path.join(work, "outfile")).read()
    species = re.findall(r"^\s+\d+\.\s+(\S+)$", outfile.split("Sets included")[0], re.M)
    included = outfile.split("Sets included in the consensus tree")[1].split("Sets NOT included")[0]
    phylip = {}
    for pattern, count in re.findall(r"^([.* ]+?)\s+(\d+\.\d+)$", included, re.M):
        marks = pattern.replace(" ", "")
        members = frozenset(species[i][1:] for i, mark in enumerate(marks) if mark == "*")
        phylip[members] = round(float(count))
    everything = frozenset(label for members in consensus for label in members)
    ours = {}
    for members, value in consensus.items():
        if members != everything:
            count = float(value) * h
            if abs(count - round(count)) > 1e-3:
                fail("the consensus value %s is not a count out of %d" % (value, h))
            ours[members] = round(count)
    if ours != phylip:
        only_ours = {tuple(sorted(m, key=int)): c for m, c in ours.items() if phylip.get(m) != c}
        only_phylip = {tuple(sorted(m, key=int)): c for m, c in phylip.items() if ours.get(m) != c}
        fail("%s: the consensus differs from consense's\n  report only: %s\n  consense only: %s"
             % (report, only_ours, only_phylip))
    print("%s: consense keeps the same %d clusters with the same counts out of %d trees"
          % (report, len(ours), h))


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "newick":
        check_newick(sys.argv[2], sys.argv[3], int(sys.argv[4]))
    elif len(sys.argv) >= 4 and sys.argv[1] == "consense":
        check_consense(sys.argv[2], sys.argv[3:])
    else:
        print(__doc__)
        sys.exit(2)
