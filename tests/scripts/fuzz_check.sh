#!/usr/bin/env bash
# Deterministic mutation fuzzing against the sanitizer build (skipped in the
# Release build). Each mutant of the bundled example in one of the four
# layouts, with a scale or an error file (byte flips, token deletions and
# duplications, truncations, long words, byte order marks), must run without
# a crash, a hang or a sanitizer report, and exit 0 exactly when the
# independent checker below finds both files well-formed. Random dialogue
# scripts must end with 0 or 1 and leave the input files as they were.
source "$(dirname "$0")/check_lib.sh"
[ "$build_kind" = sanitize ] || skip "the fuzz run needs the sanitizer build"
ASAN_OPTIONS="abort_on_error=1:detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    "$python" - "$program" "$source" "$work" "${FUZZ_CASES:-1500}" <<'PYTHON'
import concurrent.futures, math, os, random, re, subprocess, sys

program, source, work, cases = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
SPACE = b" \t\n\v\f\r"
DECIMAL = re.compile(rb"[+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?")
HEX = re.compile(rb"[+-]?0[xX](?:[0-9a-fA-F]+\.?[0-9a-fA-F]*|\.[0-9a-fA-F]+)(?:[pP][+-]?[0-9]+)?")
SANITIZER = re.compile(rb"AddressSanitizer|LeakSanitizer|runtime error:|UndefinedBehaviorSanitizer")

def finite_number(token):
    try:
        if DECIMAL.fullmatch(token): return math.isfinite(float(token))
        if HEX.fullmatch(token): return math.isfinite(float.fromhex(token.decode()))
    except (OverflowError, ValueError):
        return False
    return False

def well_formed(data, layout):
    """The counts of a well-formed matrix file of the layout, or None."""
    if data.startswith(b"\xef\xbb\xbf"): data = data[3:]
    if any((b < 0x20 and b not in SPACE) or b == 0x7F for b in data): return None
    tokens = data.split()
    if any(len(t) > 4096 for t in tokens): return None
    if len(tokens) < 2 or not all(re.fullmatch(rb"[+-]?[0-9]+", t) for t in tokens[:2]): return None
    rows, columns = int(tokens[0]), int(tokens[1])
    if not (0 < rows < 2**31 and 0 < columns < 2**31): return None
    row_names, column_names = layout in (1, 2), layout in (1, 3)
    position = 2 + (columns if column_names else 0)
    for _ in range(rows):
        position += row_names
        for value in tokens[position:position + columns]:
            if not finite_number(value): return None
        position += columns
    return (rows, columns) if position <= len(tokens) else None

def seed(layout, rows=10):
    lines = open(os.path.join(source, "examples", "golub-top40.txt"), "rb").read().split(b"\n")
    body = [l if layout in (1, 2) else b" ".join(l.split()[1:]) for l in lines[2:2 + rows]]
    return b"\n".join([b"%d " % rows + lines[0].split()[1]] + lines[1:2] * (layout in (1, 3)) + body) + b"\n"

def errors_of(text):
    return re.sub(rb"(?<![\w.])-(?=\d)", b"", text)  # the same tokens, no negative values

def mutate(data, rng):
    data = bytearray(data)
    for _ in range(rng.randint(1, 3)):
        kind = rng.randrange(7)
        at = rng.randrange(len(data) + 1)
        if kind == 0 and data:
            data[min(at, len(data) - 1)] = rng.choice(b"\x00\x1b\x7f\xef\xff 0-9.eE+\nxa\t")
        elif kind == 1: del data[at:]
        elif kind in (2, 3):
            tokens = bytes(data).split(b" ")
            i = rng.randrange(len(tokens))
            tokens[i:i + 1] = [] if kind == 2 else [tokens[i], tokens[i]]
            data = bytearray(b" ".join(tokens))
        elif kind == 4: data[at:at] = rng.choice([b"x" * 5000, b"1" * 4096, b"NaN", b"1e999", b"0x1p3"])
        elif kind == 5: data[0:0] = b"\xef\xbb\xbf"
        else: data[at:at] = bytes([rng.randrange(256)])
    return bytes(data)

def run(arguments, stdin=b"", cwd=None):
    """The exit status and standard error, or an error text for a hang or a sanitizer report."""
    try:
        done = subprocess.run([program] + arguments, input=stdin, capture_output=True, cwd=cwd, timeout=60)
    except subprocess.TimeoutExpired:
        return None, "hangs"
    if SANITIZER.search(done.stderr) or done.returncode not in (0, 1):
        return None, f"status {done.returncode}: {done.stderr[-400:]!r}"
    return done.returncode, done.stderr

def folder_with(name, files):
    folder = os.path.join(work, name)
    os.makedirs(folder, exist_ok=True)
    for file, data in files.items(): open(os.path.join(folder, file), "wb").write(data)
    return folder

def matrix_case(number):
    rng = random.Random(number)
    layout = rng.randint(1, 4)
    text = seed(layout)
    files = {"e.txt": mutate(text, rng)}
    arguments = ["--expression", "e.txt", "--input-format", str(layout), "--samples", "2",
                 "--output", "r.txt", "--force", "--quiet", "--threads", "1"]
    counts = well_formed(files["e.txt"], layout)
    if rng.random() < 0.3:
        files["s.txt"] = mutate(errors_of(text), rng) if rng.random() < 0.5 else errors_of(text)
        arguments += ["--error", "s.txt"]
        counts = counts if counts is not None and counts == well_formed(files["s.txt"], layout) else None
    else:
        arguments += ["--scale", "0.1"]
    status, stderr = run(arguments, cwd=folder_with(f"m{number}", files))
    if status is None: return f"mutant {number}: {stderr}"
    if (status == 0) != (counts is not None):
        return f"mutant {number} (layout {layout}): exit {status}, checker says {counts}: {stderr[-300:]!r}"

WORDS = ["expr.txt", "se.txt", "out.txt", "/dev/zero", "/dev/full", "none.txt", "expr.txt",
         "0.1", "-1", "abc", "12", "0", "2.9", "x" * 300, "Y", "N", "y", "n"]

def dialogue_case(number):
    rng = random.Random(10**6 + number)
    inputs = {"expr.txt": seed(1), "se.txt": errors_of(seed(1))}
    folder = folder_with(f"d{number}", inputs)
    answers = ["expr.txt"] + [rng.choice(WORDS + list("0123456789YNyn")) for _ in range(rng.randint(3, 30))]
    if rng.random() < 0.5: answers += ["3", "2", "Y"]
    status, stderr = run([], ("\n".join(answers) + "\n").encode(), cwd=folder)
    if status is None: return f"dialogue {number} {answers}: {stderr}"
    for name, data in inputs.items():
        if open(os.path.join(folder, name), "rb").read() != data: return f"dialogue {number} changed {name}: {answers}"

jobs = [(matrix_case, i) for i in range(cases)] + [(dialogue_case, i) for i in range(cases // 10)]
with concurrent.futures.ThreadPoolExecutor(2) as pool:
    failures = [f for f in pool.map(lambda job: job[0](job[1]), jobs) if f]
for failure in failures[:10]: print("FAIL:", failure)
if failures: sys.exit(1)
print(f"PASS: {cases} mutants and {cases // 10} dialogue scripts, no crash, hang or false verdict")
PYTHON
