#!/usr/bin/python3
"""Writes the matrix files that the picture and table checks run the program on.

  picture_inputs.py FOLDER SOURCE_DIR

Writes into FOLDER and prints one line "FILE OBJECTS LAYOUT" per matrix:
  top40.txt     the bundled example (40 genes, row and column names)
  rows1000.txt  the first 1,000 genes of the Golub data in the shared data
                folder beside the source tree (left out when it is missing)
  names.txt     12 rows whose names need escaping in XML and quoting in CSV
  numbers.txt   the same values without names (layout 4): members are numbers
"""
import os
import sys

folder, source = sys.argv[1], sys.argv[2]


def write(name, text):
    with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
        f.write(text)


with open(os.path.join(source, "examples", "golub-top40.txt"), encoding="utf-8") as f:
    write("top40.txt", f.read())
print("top40.txt 40 1")

golub = os.path.join(source, "..", "shared", "data", "golub.txt")
if os.path.exists(golub):
    with open(golub, encoding="utf-8") as f:
        lines = f.read().split("\n")
    columns = lines[0].split()[1]
    write("rows1000.txt", "\n".join([f"1000 {columns}", lines[1]] + lines[2:1002]) + "\n")
    print("rows1000.txt 1000 1")
else:
    print(f"note: {golub} is missing; the 1,000-row picture is not checked", file=sys.stderr)

names = ["AFFX&HUMGAPDH", "<b>bold</b>", "gene,with,commas", 'q"uoted"', "it's",
         "g\u00e9ne_\u03b1", "back\\slash", "probe_1", "probe_2", "probe_3", "probe_4", "probe_5"]
state, rows = 12345, []
for name in names:
    values = []
    for _ in range(4):
        state = (state * 1103515245 + 12345) % 2**31
        values.append(f"{(state >> 8) % 10000 / 1000:.3f}")
    rows.append((name, values))
write("names.txt", "12 4\nc1 c2 c3 c4\n" + "".join(f"{n} {' '.join(v)}\n" for n, v in rows))
print("names.txt 12 1")
write("numbers.txt", "12 4\n" + "".join(f"{' '.join(v)}\n" for _, v in rows))
print("numbers.txt 12 4")
