# raise/except caught one and ten calls up: the counterpart of throw_return.cpp.
import time


class Return(Exception):
    pass


def f(d):
    if d <= 1:
        raise Return
    r = f(d - 1)
    return r


for depth in (1, 10):
    n = 400000
    start = time.perf_counter()
    for _ in range(n):
        try:
            f(depth)
        except Return:
            pass
    print("python depth=%d ns=%.1f" % (depth, (time.perf_counter() - start) * 1e9 / n))
