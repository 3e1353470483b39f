import time
def run():
    live = [[0, 0, 0, 0] for _ in range(1000)]
    n = 0
    for i in range(1, 1000001):
        b = [i, i + 1, "x"]
        s = "item-" + str(i)
        live[i % 1000] = b
        n += len(s)
    return n
t = time.perf_counter(); run(); print(time.perf_counter() - t)
