import sys
def run(units):
    i = 0
    s = 0
    while i < units:
        i = i + 1
        s = s + 3
    return s
print(run(int(sys.argv[1])))
