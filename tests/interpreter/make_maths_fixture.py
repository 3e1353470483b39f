#!/usr/bin/env python3
"""Writes maths_fixture.txt: arguments and results of the trigonometric,
logarithmic and exponential natives, computed independently with Python's
math module after the same degree reduction the natives use. Made once and
committed; test_maths_natives.cpp replays it.

    python3 tests/interpreter/make_maths_fixture.py > tests/interpreter/maths_fixture.txt
"""
import math

PI = 3.141592653589793
E = 2.718281828459045
LN_2 = 0.6931471805599453
TANGENT, COSINE, SINE = 0, 1, 2


def reduce(x, kind):
    r = math.fmod(x, 360.0)
    if r > 180.0 or r < -180.0:
        r = r - 360.0 if r >= 0 else r + 360.0
    if r > 90.0 or r < -90.0:
        if kind == TANGENT:
            r = r - 180.0 if r >= 0 else r + 180.0
        elif kind == SINE:
            r = 180.0 - r if r >= 0 else -180.0 - r
    return r * PI / 180.0


def trig(f, kind, radians):
    def run(x):
        a = x if radians else reduce(x, kind)
        if kind == TANGENT:
            if a == PI / 2.0:
                return math.inf
            if a == -PI / 2.0:
                return -math.inf
            return math.tan(a)
        d = f(a)
        return 0.0 if abs(d) < 2.220446049250313e-16 else d
    return run


def arc(f, radians):
    def run(x):
        d = f(x)
        return d if radians else d * 180.0 / PI
    return run


def guarded(f):
    def run(x):
        try:
            return f(x)
        except (ValueError, OverflowError):
            return None
    return run


def log_2(x):
    return math.log(x) / LN_2


degrees = [i * 7.5 for i in range(-96, 97)] + [0.1, -0.1, 1e-3, 33.3, 1234.5, -4321.25, 1e6 + 0.5, 89.999, 90.001]
radians = [i * 0.125 for i in range(-64, 65)] + [1e-9, 3.14159, -1.5707963267948966]
unit = [i * 0.05 for i in range(-20, 21)]
positive = [1e-300, 1e-9, 0.001, 0.5, 1.0, 2.0, 8.0, 10.0, 100.0, 12345.678, 1e6, 1e100, 1e300]
exponents = [i * 0.5 for i in range(-100, 101)] + [700.0, -700.0]

rows = []
for name, kind, f in (("sine", SINE, math.sin), ("cosine", COSINE, math.cos), ("tangent", TANGENT, math.tan)):
    rows += [(name, x, trig(f, kind, False)(x)) for x in degrees]
    rows += [(name + "/radians", x, trig(f, kind, True)(x)) for x in radians]
for name, f in (("arcsine", math.asin), ("arccosine", math.acos), ("arctangent", math.atan)):
    rows += [(name, x, arc(f, False)(x)) for x in unit]
    rows += [(name + "/radians", x, arc(f, True)(x)) for x in unit]
rows += [("log-2", x, log_2(x)) for x in positive]
rows += [("log-10", x, math.log10(x)) for x in positive]
rows += [("log-e", x, math.log(x)) for x in positive]
rows += [("square-root", x, math.sqrt(x)) for x in positive]
rows += [("exp", x, guarded(lambda v: math.pow(E, v))(x)) for x in exponents]

print("# native argument result (hex floats), made by make_maths_fixture.py; do not edit.")
for name, x, y in rows:
    if y is None:
        continue
    print(name, float(x).hex(), float(y).hex())
