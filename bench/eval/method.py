import sys
class O:
    def __init__(self):
        self.n = 0
    def f(self, x):
        self.n = self.n + x
def run(units):
    o = O()
    for _ in range(units):
        o.f(1)
    return o.n
print(run(int(sys.argv[1])))
