import time
def f(a, b, c, neg=False):
    if neg:
        return a - b - c
    return a + b + c
def run():
    i = 0
    s = 0
    while i < 1000000:
        i = i + 1
        s = s + f(7, 2, 3, neg=True)
    return s
t = time.perf_counter(); run(); print(time.perf_counter() - t)
