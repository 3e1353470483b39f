import time
data = [i % 100 for i in range(1, 1000001)]
def run():
    s = 0
    for x in data:
        s = s + x
    return s
t = time.perf_counter(); run(); print(time.perf_counter() - t)
