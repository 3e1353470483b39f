import time
def run():
    n = 200000
    m = {}
    i = 0
    while i < n:
        i = i + 1
        m["k" + str(i)] = i
    found = 0
    i = 0
    while i < n:
        i = i + 1
        if m.get("k" + str(i)) == i:
            found = found + 1
    return found
t = time.perf_counter(); run(); print(time.perf_counter() - t)
