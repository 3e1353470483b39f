import sys
data = [i % 100 for i in range(1, 1001)]
def run(units):
    s = 0
    for _ in range(units // 1000):
        for x in data:
            s = s + x
    return s
print(run(int(sys.argv[1])))
