# str.find of the same pattern in the same text as string_find.cpp: exact,
# and case-insensitive as lower() copies searched with find (the copies made
# once, outside the timing; "lowered" also times making them). Best of five.
import sys
import time

text = open(sys.argv[1], encoding="utf-8").read()
pattern = open(sys.argv[2], encoding="utf-8").read()
other_case = open(sys.argv[3], encoding="utf-8").read()


def best_ms(search):
    best = float("inf")
    for _ in range(5):
        start = time.perf_counter()
        at = search()
        best = min(best, (time.perf_counter() - start) * 1000)
        assert at == len(text.rstrip(" ")) - len(pattern)
    return best


lower_text, lower_pattern = text.lower(), other_case.lower()
sensitive = best_ms(lambda: text.find(pattern))
insensitive = best_ms(lambda: lower_text.find(lower_pattern))
lowered = best_ms(lambda: text.lower().find(other_case.lower()))
print("python %.3f %.3f %.3f" % (sensitive, insensitive, lowered))
