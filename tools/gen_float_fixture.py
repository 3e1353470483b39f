#!/usr/bin/env python3
"""Writes tests/scalars/float_fixture.txt: doubles with the shortest digits
python3's repr gives for them, and decimal texts with the double nearest to
them, for the float text conversion tests.

Standard library only; a fixed seed makes the file the same on every run:
    python3 tools/gen_float_fixture.py > tests/scalars/float_fixture.txt
"""
import decimal
import math
import random
import struct
import sys

SEED = 20240611


def bits_of(x):
    return struct.unpack('<Q', struct.pack('<d', x))[0]


def double_of(bits):
    return struct.unpack('<d', struct.pack('<Q', bits))[0]


def finite(x):
    return not (math.isinf(x) or math.isnan(x))


def shortest(x):
    """Digits and decpt of repr(|x|): the value is 0.<digits> x 10^decpt."""
    mantissa, _, exponent = repr(abs(x)).partition('e')
    whole, _, fraction = mantissa.partition('.')
    run = whole + fraction
    digits = run.lstrip('0')
    decpt = len(whole) - (len(run) - len(digits)) + (int(exponent) if exponent else 0)
    return digits.rstrip('0'), decpt


def doubles(rng):
    out = []
    # Random bit patterns over the whole finite range, both signs.
    while len(out) < 6000:
        x = double_of(rng.getrandbits(64))
        if finite(x) and x != 0.0:
            out.append(x)
    # Subnormals, with the smallest and largest.
    out += [double_of(1), double_of(0x000FFFFFFFFFFFFF), double_of(0x0010000000000000)]
    out += [double_of(rng.randrange(1, 1 << 52) | (rng.getrandbits(1) << 63)) for _ in range(1000)]
    # Powers of ten and the doubles either side of them.
    for e in range(-323, 309):
        x = float('1e%d' % e)
        out += [x, math.nextafter(x, 0.0), math.nextafter(x, math.inf)]
    # Powers of two: the rounding interval is lopsided below them.
    for e in range(-1074, 1024):
        x = math.ldexp(1.0, e)
        out.append(x)
        if e % 4 == 0:
            out.append(math.nextafter(x, 0.0))
    # Doubles nearest to decimals that end in a 5 one digit past 16 or 17:
    # the digit generation sits right at a halfway point there.
    for _ in range(500):
        n = rng.randrange(10 ** 16, 10 ** 17)
        text = '%d5e%d' % (n, rng.randrange(-330, 290))
        x = float(text)
        if finite(x) and x != 0.0:
            out.append(x)
    # Integers around 2^53 and a few short decimals.
    out += [float(2 ** 53 + k) for k in range(-50, 50)]
    out += [0.1, 0.2, 0.3, 0.1 + 0.2, 0.7 + 0.1, 1 / 3, 2 / 3, 123456.789, 1e16, 1e17,
            1.7976931348623157e308, 2.2250738585072014e-308, 5e-324, 9007199254740993.0]
    return out


def halfway_texts(rng):
    """Texts at, just above and just below the midpoint of two neighbouring
    doubles, and random short decimals, each with its nearest double."""
    decimal.getcontext().prec = 2000
    texts = []
    for _ in range(100):
        e = rng.choice([rng.randrange(-1074, -1022), rng.randrange(-1022, 1023), rng.randrange(-60, 60)])
        x = math.ldexp(1.0 + rng.random(), e) if e >= -1022 else double_of(rng.randrange(1, 1 << 52))
        y = math.nextafter(x, math.inf)
        if not finite(y):
            continue
        mid = (decimal.Decimal(x) + decimal.Decimal(y)) / 2
        sign, digits, exponent = mid.as_tuple()
        run = ''.join(map(str, digits))
        texts.append('%se%d' % (run, exponent))
        texts.append('%s1e%d' % (run, exponent - 1))
        texts.append('%de%d' % (int(run) * 10 - 1, exponent - 1))
    for _ in range(1500):
        run = str(rng.randrange(1, 10 ** rng.randrange(1, 21)))
        point = rng.randrange(0, len(run) + 1)
        sign = rng.choice(['', '-'])
        texts.append('%s%s.%se%d' % (sign, run[:point] or '0', run[point:] or '0', rng.randrange(-340, 320)))
    return [(t, float(t)) for t in texts]


def main():
    rng = random.Random(SEED)
    w = sys.stdout.write
    w('# Float text fixture, made by tools/gen_float_fixture.py (seed %d); do not edit.\n' % SEED)
    w('# d <bits> <digits> <decpt>: a double (hex bits) and the shortest digits python3 repr\n')
    w('#   gives for it; the value is 0.<digits> x 10^decpt.\n')
    w('# r <text> <bits>: a decimal text and the double nearest to it, ties to even.\n')
    for x in doubles(rng):
        digits, decpt = shortest(x)
        w('d %016x %s %d\n' % (bits_of(x), digits, decpt))
    for text, x in halfway_texts(rng):
        w('r %s %016x\n' % (text, bits_of(x)))


if __name__ == '__main__':
    main()
