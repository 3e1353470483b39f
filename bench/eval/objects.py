import time
class O:
    def __init__(self, a, b, c):
        self.a = a
        self.b = b
        self.c = c
def run():
    o = None
    for _ in range(1000000):
        o = O(1, 2, 3)
    return o.c
t = time.perf_counter(); run(); print(time.perf_counter() - t)
