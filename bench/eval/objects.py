import sys
class O:
    def __init__(self, a, b, c):
        self.a = a
        self.b = b
        self.c = c
def run(units):
    o = None
    for _ in range(units):
        o = O(1, 2, 3)
    return o.c
print(run(int(sys.argv[1])))
