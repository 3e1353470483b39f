#!/usr/bin/env bash
# Base-64 encoding and decoding of 10 MB of random bytes against python3's
# base64.b64encode / b64decode and the coreutils `base64` command (-w0 and
# -d, a whole process each, reading and writing files); best of five, in ms,
# with the ratio zel / other (above 1: zel is slower).
#
#   bash bench/base64.sh
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
build_bench base64

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
bytes="$dir/bytes" text="$dir/text"
{
  "$build/bench/bench_base64" "$bytes" "$text"
  "$PYTHON" - "$bytes" "$text" <<'PY'
import base64, sys, time
data = open(sys.argv[1], "rb").read()
text = open(sys.argv[2], "rb").read()

def best_ms(step):
    best = float("inf")
    for _ in range(5):
        start = time.perf_counter()
        result = step()
        best = min(best, (time.perf_counter() - start) * 1000)
    return best, result

encode, encoded = best_ms(lambda: base64.b64encode(data))
decode, decoded = best_ms(lambda: base64.b64decode(text))
assert encoded == text and decoded == data, "python3 disagrees with zel"
print("python3 %.3f %.3f" % (encode, decode))
PY
  "$PYTHON" - "$bytes" "$text" "$dir/out" <<'PY'
import subprocess, sys, time
bytes_file, text_file, out = sys.argv[1:]

def best_ms(args, source, expected):
    best = float("inf")
    for _ in range(5):
        with open(source, "rb") as i, open(out, "wb") as o:
            start = time.perf_counter()
            subprocess.run(args, stdin=i, stdout=o, check=True)
            best = min(best, (time.perf_counter() - start) * 1000)
        assert open(out, "rb").read() == open(expected, "rb").read(), "coreutils base64 disagrees with zel"
    return best

print("coreutils %.3f %.3f" % (best_ms(["base64", "-w0"], bytes_file, text_file),
                               best_ms(["base64", "-d"], text_file, bytes_file)))
PY
} | awk '
  { name[++n] = $1; encode[n] = $2; decode[n] = $3 }
  END {
    print "base 64, 10 MB of random bytes (best of 5)"
    printf "%-10s %10s %10s %14s %14s\n", "", "encode ms", "decode ms", "zel/this enc", "zel/this dec"
    for (i = 1; i <= n; i++)
      printf "%-10s %10.2f %10.2f %14.2f %14.2f\n", name[i], encode[i], decode[i], encode[1] / encode[i], decode[1] / decode[i]
  }'
