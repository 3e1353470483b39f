import sys
def run(n):
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
print(run(int(sys.argv[1])))
