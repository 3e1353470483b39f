import sys
def f(a, b, c, neg=False):
    if neg:
        return a - b - c
    return a + b + c
def run(units):
    i = 0
    s = 0
    while i < units:
        i = i + 1
        s = s + f(7, 2, 3, neg=True)
    return s
print(run(int(sys.argv[1])))
