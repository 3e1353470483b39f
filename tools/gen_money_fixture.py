#!/usr/bin/env python3
"""Writes tests/scalars/money_fixture.txt: random pairs of money amounts
(up to 17 integral and 5 decimal digits, both signs) with their sum,
difference, product, quotient and remainder, worked out with the decimal
module at ample precision and truncated toward zero at 5 places, and the
verdicts money! gives where a result does not fit.

Standard library only; a fixed seed makes the file the same on every run:
    python3 tools/gen_money_fixture.py > tests/scalars/money_fixture.txt
"""
import decimal
import random
import sys

SEED = 20261211
PAIRS = 3000
DIGITS = 22            # digits of an amount
PLACES = 5             # decimal places
UNIT = decimal.Decimal(1).scaleb(-PLACES)
LIMIT = decimal.Decimal(10) ** (DIGITS - PLACES)   # 10^17: one integral digit too many

decimal.getcontext().prec = 80
decimal.getcontext().traps[decimal.Inexact] = False


def amount(rng):
    """An amount of a random size: often small, sometimes zero or at the limits."""
    kind = rng.random()
    if kind < 0.04:
        return decimal.Decimal(0)
    if kind < 0.08:
        units = 10 ** DIGITS - 1 - rng.randrange(1000)     # near the largest amount
    elif kind < 0.12:
        units = rng.randrange(1, 100)                        # a few hundred-thousandths
    else:
        integral = rng.randrange(0, 18)
        places = rng.randrange(0, PLACES + 1)
        units = rng.randrange(0, 10 ** integral) * 10 ** PLACES
        units += rng.randrange(0, 10 ** places) * 10 ** (PLACES - places)
        if units == 0:
            units = 1
    value = decimal.Decimal(units).scaleb(-PLACES)
    return -value if rng.random() < 0.5 else value


def significant(x):
    """Significant digits of the 22-digit field, at least 1."""
    return max(1, len(str(int(abs(x) / UNIT))))


def cut(x):
    """Truncated toward zero at 5 places."""
    return x.quantize(UNIT, rounding=decimal.ROUND_DOWN)


def text(x):
    if x.is_signed() and x == 0:
        x = -x
    digits = format(abs(x).quantize(UNIT), 'f')
    return ('-$' if x < 0 else '$') + digits


def fits(x):
    return abs(x) < LIMIT


def sum_of(a, b):
    s = a + b
    return text(s) if fits(s) else 'overflow'


def product_of(a, b):
    if a == 0 or b == 0:
        return text(decimal.Decimal(0))
    if significant(a) + significant(b) > 28:
        return 'overflow'
    p = a * b
    if not fits(p):
        return 'overflow'
    p = cut(p)
    return text(p) if p != 0 else 'underflow'


def quotient_of(a, b, remainder):
    if b == 0:
        return 'zero-divide'
    if a == 0:
        return text(decimal.Decimal(0))
    if significant(a) - significant(b) + 6 > DIGITS:
        return 'overflow'
    if remainder:
        return text(a % b)       # the sign of a
    q = cut(a / b)
    if q == 0:
        return 'underflow'
    return text(q) if fits(q) else 'overflow'


def main():
    rng = random.Random(SEED)
    w = sys.stdout.write
    w('# Money arithmetic fixture, made by tools/gen_money_fixture.py (seed %d); do not edit.\n' % SEED)
    w('# <a> <b> <a + b> <a - b> <a * b> <a / b> <a % b>: amounts and results, all five places,\n')
    w('#   or overflow, underflow or zero-divide where money! refuses the result.\n')
    for _ in range(PAIRS):
        a, b = amount(rng), amount(rng)
        w(' '.join([text(a), text(b), sum_of(a, b), sum_of(a, -b), product_of(a, b),
                    quotient_of(a, b, False), quotient_of(a, b, True)]) + '\n')


if __name__ == '__main__':
    main()
