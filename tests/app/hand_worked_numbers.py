#!/usr/bin/env python3
"""Works out the noise-dependent numbers of the hand-worked reports in
end_to_end_test.cpp: an independent transcription of the random stream, the
polar normal deviate and the scale-of-error perturbation, and the clustering
of three objects with one column under "euclidean" and "average", written
here step by step as the rules prescribe. Run it to see where the expected
texts come from; the test does not run it.
"""
import math

state = [24, 67, 276]


def uniform_random():
    state[0] = (171 * state[0]) % 30269
    state[1] = (172 * state[1]) % 30309
    state[2] = (170 * state[2]) % 30323
    x = state[0] / 30269 + state[1] / 30309 + state[2] / 30323
    return x - math.trunc(x)


def normal_deviate(mean, sd):
    while True:
        p = 2 * uniform_random() - 1
        q = 2 * uniform_random() - 1
        w = p * p + q * q
        if w >= 1 or w == 0:
            continue
        return p * math.sqrt(-2 * math.log(w) / w) * sd + mean


def distance(a, b):
    return math.sqrt(0.0 + (a - b) ** 2)


def three_object_tree(values):
    """The two merge steps of three objects: (pair, height) each, and the leaf order."""
    d = {(1, 2): distance(values[0], values[1]), (1, 3): distance(values[0], values[2]),
         (2, 3): distance(values[1], values[2])}
    # Each slot's nearest neighbour (lowest slot on ties), then the lowest slot
    # with the smallest distance joins its nearest neighbour.
    nearest = []
    for i in (1, 2, 3):
        best, slot = 1e100, 0
        for j in (1, 2, 3):
            if j != i and best > d[min(i, j), max(i, j)]:
                best, slot = d[min(i, j), max(i, j)], j
        nearest.append((best, slot))
    p = 0
    for j in (1, 2):
        if nearest[p][0] > nearest[j][0]:
            p = j
    a, b = sorted((p + 1, nearest[p][1]))
    c = ({1, 2, 3} - {a, b}).pop()
    # Average linkage of the other cluster (first list) and the joined one
    # (second list): the sum in list order, divided by 1 and then by 2.
    top = ((0.0 + d[min(c, a), max(c, a)]) + d[min(c, b), max(c, b)]) / 1 / 2
    low = d[a, b]
    if a == 1:  # the joined cluster keeps slot 0
        second = ((1, -c), top)
        order = [c, a, b] if low > 0 else [a, b, c]
    else:       # object 1 stays in slot 0
        second = ((-1, 1), top)
        order = [1, a, b]
    return [((-a, -b), low), second], order


def show(title, values_per_sample):
    print(title)
    for number, values in enumerate(values_per_sample, 1):
        steps, order = three_object_tree(values)
        print("  sample %d:" % number,
              " ".join("%s at %%.6g=%.6g %%10.6f=%10.6f" % (pair, h, h) for pair, h in steps),
              " order", order)


if __name__ == "__main__":
    # Rows 1, 2, 3 (one column), scale of error 0.3, three samples.
    data = [1.0, 2.0, 3.0]
    show("no preprocessing:", [[normal_deviate(v, 0.3 * v) for v in data] for _ in range(3)])

    # The same with median centring by column: one draw for the sort of the
    # three values before the first tree, then per sample its deviates and
    # one draw for its sort. Subtracting the median is done as the program does.
    state[:] = [24, 67, 276]
    uniform_random()
    samples = []
    for _ in range(3):
        perturbed = [normal_deviate(v, 0.3 * v) for v in data]
        uniform_random()
        median = sorted(perturbed)[1]
        samples.append([v - median for v in perturbed])
    show("median centring by column:", samples)

    # Values pushed to zero or below by a scale of error of 1.5 (their
    # logarithm is not finite), five samples of a 4 x 3 matrix.
    state[:] = [24, 67, 276]
    matrix = [[0.05, 2, 3], [0.2, 0.1, 0.3], [3, 1, 2], [2, 2, 5]]
    count = sum(1 for _ in range(5) for row in matrix for v in row
                if normal_deviate(v, 1.5 * v) <= 0)
    print("values at or below zero in five samples:", count)
