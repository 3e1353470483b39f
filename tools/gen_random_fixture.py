#!/usr/bin/env python3
"""Writes tests/scalars/random_fixture.txt: the first 2,000 outputs of the
random generator after each of a few seeds, for the generator tests.

The generator is written here on its own, from its description: 624 signed
32-bit words, every right shift arithmetic (the sign bit copied in), the
read index left at 0 by seeding, so the first twist comes at output 625.
Standard library only:
    python3 tools/gen_random_fixture.py > tests/scalars/random_fixture.txt
"""
import sys

SEEDS = [0, 1, -1, 19650218, 2147483647]
COUNT = 2000

N = 624
M = 397


def s32(x):
    """x wrapped to a signed 32-bit integer."""
    x &= 0xFFFFFFFF
    return x - 0x100000000 if x & 0x80000000 else x


def sar(x, n):
    """Arithmetic right shift of a signed 32-bit integer (Python's >> on a
    negative int already rounds toward minus infinity, which copies the sign)."""
    return s32(x) >> n


class Generator:
    def __init__(self, seed):
        self.words = [0] * N
        self.words[0] = s32(seed)
        for i in range(1, N):
            prev = self.words[i - 1]
            self.words[i] = s32(1812433253 * (prev ^ sar(prev, 30)) + i)
        self.index = 0

    def twist(self):
        w = self.words
        for i in range(N):
            y = s32((w[i] & 0x80000000) | (w[(i + 1) % N] & 0x7FFFFFFF))
            v = w[(i + M) % N] ^ sar(y, 1)
            if y & 1:
                v ^= 0x9908B0DF
            w[i] = s32(v)
        self.index = 0

    def next(self):
        if self.index == N:
            self.twist()
        y = self.words[self.index]
        self.index += 1
        y = s32(y ^ sar(y, 11))
        y = s32(y ^ ((y << 7) & 0x9D2C5680))
        y = s32(y ^ ((y << 15) & 0xEFC60000))
        y = s32(y ^ sar(y, 18))
        assert 0 <= y <= 0x7FFFFFFF
        return y


def main():
    out = sys.stdout
    out.write("# Random generator fixture, made by tools/gen_random_fixture.py; do not edit.\n")
    out.write("# seed <n>: the outputs after seeding with n follow, %d of them, one a line.\n" % COUNT)
    for seed in SEEDS:
        g = Generator(seed)
        out.write("seed %d\n" % seed)
        for _ in range(COUNT):
            out.write("%d\n" % g.next())


if __name__ == "__main__":
    main()
