import time
def run():
    i = 0
    s = 0
    while i < 10000000:
        i = i + 1
        s = s + 3
    return s
t = time.perf_counter(); run(); print(time.perf_counter() - t)
