#!/usr/bin/env python3
"""Works out the count in the warning that end_to_end_test.cpp expects: an
independent transcription of the random stream, the polar normal deviate and
the scale-of-error perturbation, counting the values of five samples of a
4 x 3 matrix that a scale of error of 1.5 pushes to zero or below (their
logarithm is not finite). Run it to see where the number comes from; the
test does not run it.
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


if __name__ == "__main__":
    matrix = [[0.05, 2, 3], [0.2, 0.1, 0.3], [3, 1, 2], [2, 2, 5]]
    count = sum(1 for _ in range(5) for row in matrix for v in row
                if normal_deviate(v, 1.5 * v) <= 0)
    print("values at or below zero in five samples:", count)
