#!/usr/bin/env bash
# Checks the picture that --svg writes: well-formed XML with a size and a view
# box, tall enough for readable rows, every row label present (escaped names
# included), and a headless Chromium screenshot of it that is a PNG with dark
# pixels (text and lines) on the white page. Runs the program on the bundled
# example, on 1,000 rows of the Golub data and on rows with awkward names.
# Usage: bash svg_render_check.sh <noiseclust-binary> <source-dir>
set -u
program=$(realpath "$1")
source=$(realpath "$2")

if ! command -v python3 >/dev/null; then echo "SKIP: python3 is not installed"; exit 77; fi
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then echo "SKIP: chromium is not installed"; exit 77; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$source/tests/scripts/picture_inputs.py" "$work" "$source" > "$work/inputs" || exit 1
while read -r -u 3 matrix objects layout; do
    svg=$work/$matrix.svg
    png=$work/$matrix.png
    (cd "$work" && "$program" --expression "$matrix" --input-format "$layout" --scale 0.1 \
        --samples 20 --output "$matrix.report" --svg "$matrix.svg" > /dev/null) ||
        { echo "FAIL: noiseclust on $matrix"; exit 1; }

    python3 - "$svg" "$work/$matrix" "$objects" "$layout" <<'PY' || exit 1
import sys
import xml.etree.ElementTree as ET
path, matrix, objects, layout = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
try:
    root = ET.parse(path).getroot()
except ET.ParseError as error:
    sys.exit(f"FAIL: {path} is not well-formed XML: {error}")
svg = "{http://www.w3.org/2000/svg}"
if root.tag != svg + "svg" or root.get("version") != "1.1":
    sys.exit("FAIL: the root element is not an SVG 1.1 svg element")
width, height = float(root.get("width")), float(root.get("height"))
if root.get("viewBox").split() != ["0", "0", root.get("width"), root.get("height")]:
    sys.exit("FAIL: the view box does not match width and height")
if height < objects * 12:
    sys.exit(f"FAIL: {height} px is too low for {objects} readable rows")
tokens = open(matrix, encoding="utf-8").read().split()
columns = int(tokens[1])
if layout == 1:
    labels = [tokens[2 + columns + r * (columns + 1)] for r in range(objects)]
else:
    labels = [str(r) for r in range(1, objects + 1)]
texts = set(t.text or "" for t in root.iter(svg + "text"))
missing = [label for label in labels if label not in texts]
if missing:
    sys.exit(f"FAIL: {path}: {len(missing)} row labels are missing, for example {missing[:3]!r}")
PY
    if command -v xmllint >/dev/null && ! xmllint --noout "$svg"; then
        echo "FAIL: xmllint rejects $svg"; exit 1
    fi

    profile=$(mktemp -d)
    timeout 180 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$profile" --screenshot="$png" --window-size=1200,2000 \
        "file://$svg" >"$work/chromium.log" 2>&1
    status=$?
    rm -rf "$profile"
    if [ ! -s "$png" ]; then
        echo "FAIL: chromium wrote no screenshot (status $status)"; tail -5 "$work/chromium.log"; exit 1
    fi

    python3 - "$png" <<'PY' || exit 1
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
if data[:8] != b"\x89PNG\r\n\x1a\n":
    sys.exit("FAIL: the screenshot is not a PNG")
chunks, at = {}, 8
while at < len(data):
    length, kind = struct.unpack(">I4s", data[at:at + 8])
    chunks.setdefault(kind, []).append(data[at + 8:at + 8 + length])
    at += 12 + length
width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[b"IHDR"][0])
channels = {0: 1, 2: 3, 4: 2, 6: 4}.get(colour)
if depth != 8 or channels is None or interlace:
    sys.exit(f"FAIL: unexpected PNG format (depth {depth}, colour type {colour})")
raw = zlib.decompress(b"".join(chunks[b"IDAT"]))
stride = width * channels
previous, dark = bytearray(stride), 0
for y in range(height):
    kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for x in range(stride):
        left = line[x - channels] if x >= channels else 0
        up, corner = previous[x], previous[x - channels] if x >= channels else 0
        if kind == 1: line[x] = (line[x] + left) & 255
        elif kind == 2: line[x] = (line[x] + up) & 255
        elif kind == 3: line[x] = (line[x] + (left + up) // 2) & 255
        elif kind == 4:
            p = left + up - corner
            pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
            line[x] = (line[x] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
    dark += sum(1 for x in range(0, stride, channels) if line[x] < 100)
    previous = line
if dark < 2000:
    sys.exit(f"FAIL: the screenshot is nearly blank ({dark} dark pixels)")
print(f"{sys.argv[1]}: {width}x{height}, {dark} dark pixels")
PY
done 3< "$work/inputs"
echo "PASS: SVG pictures are well-formed and render"
