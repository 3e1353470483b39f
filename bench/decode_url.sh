#!/usr/bin/env bash
# decode-url of 100,000 generated URLs (user-info, host, port, path, query,
# fragment) against python3's urllib.parse.urlsplit doing the same; both
# print the sum of the ports and the total length of the hosts, which must
# agree.
#
# Wall time: best of five whole-process runs, also less each language's
# start-up (an empty program). Instructions: callgrind over 10,000 URLs,
# the work less a run that only reads the lines.
#
#   bash bench/decode_url.sh [--no-wall] [--no-count]
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C PYTHONHASHSEED=0

source bench/common.sh

read_bench_flags decode_url.sh "$@"
ensure_zel

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$PYTHON" - "$work" <<'PY'
import sys
work = sys.argv[1]
def urls(n):
    return "".join(f"http://user{i}@host{i % 97}.example.com:{8000 + i % 1000}/dir{i % 13}/file{i}.txt?q={i}#f{i % 7}\n"
                   for i in range(n))
open(f"{work}/big.txt", "w").write(urls(100_000))
open(f"{work}/small.txt", "w").write(urls(10_000))
PY

program() {  # name, file, zel body, python body
  cat > "$work/$1.zel" <<ZEL
Zel []
ports: hosts: 0
foreach line read/lines %$work/$2 [$3]
print [ports hosts]
ZEL
  cat > "$work/$1.py" <<PY
from urllib.parse import urlsplit
ports = hosts = 0
for line in open("$work/$2").read().splitlines():
$4
print(ports, hosts)
PY
}
decode_zel='o: decode-url line ports: ports + o/port hosts: hosts + length? o/host'
decode_py='    o = urlsplit(line); ports += o.port; hosts += len(o.hostname)'
program decode big.txt "$decode_zel" "$decode_py"
program decode-counted small.txt "$decode_zel" "$decode_py"
program decode-none small.txt "" "    pass"
printf 'Zel []\n' > "$work/empty.zel"
: > "$work/empty.py"

same_answers decode decode-counted
if [ $wall = 1 ]; then
  echo "decode-url of 100,000 URLs: best of five, seconds"
  wall_table decode
fi
if [ $count = 1 ] && command -v valgrind >/dev/null; then
  count_both decode
  echo "decode-url of 10,000 URLs: callgrind instructions per URL, less reading the lines"
  awk -v zc="$(cat "$work/decode.zel.count")" -v zn="$(cat "$work/decode.zel.none")" \
      -v pc="$(cat "$work/decode.py.count")" -v pn="$(cat "$work/decode.py.none")" \
    'BEGIN { z = (zc - zn) / 10000; p = (pc - pn) / 10000; printf "  zel %.0f  python3 %.0f  zel/python3 %.2f\n", z, p, z / p }'
fi
