# raise/except caught one and ten calls up: the counterpart of
# throw_return.cpp. Best of three runs.
import time


class Return(Exception):
    pass


def f(d):
    if d <= 1:
        raise Return
    r = f(d - 1)
    return r


for depth in (1, 10):
    n, best = 400000, float("inf")
    for _ in range(3):
        start = time.perf_counter()
        for _ in range(n):
            try:
                f(depth)
            except Return:
                pass
        best = min(best, (time.perf_counter() - start) * 1e9 / n)
    print("python depth=%d ns=%.1f" % (depth, best))
