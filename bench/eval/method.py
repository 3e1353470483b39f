import time
class O:
    def __init__(self):
        self.n = 0
    def f(self, x):
        self.n = self.n + x
def run():
    o = O()
    for _ in range(1000000):
        o.f(1)
    return o.n
t = time.perf_counter(); run(); print(time.perf_counter() - t)
