#!/usr/bin/env bash
# CRC-32 and Adler-32 over 256 MB of random bytes against python3's
# zlib.crc32 and zlib.adler32 (in memory, best of three), and SHA-256 against
# `openssl dgst -sha256` (in memory for zel; the openssl figure is the whole
# process reading the file, so it is an upper bound). Ratios zel / other:
# above 1, zel is slower. Then callgrind instructions per byte of the three,
# over 4 MB.
#
#   bash bench/checksum.sh [megabytes]
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
build_bench checksum
mb=${1:-256}

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
bytes="$dir/bytes"
{
  "$build/bench/bench_checksum" "$bytes" "$mb"
  "$PYTHON" - "$bytes" <<'PY'
import sys, time, zlib, subprocess
data = open(sys.argv[1], "rb").read()

def best_ms(step):
    best = float("inf")
    for _ in range(3):
        start = time.perf_counter()
        result = step()
        best = min(best, (time.perf_counter() - start) * 1000)
    return best, result

crc_ms, crc = best_ms(lambda: zlib.crc32(data))
adler_ms, adler = best_ms(lambda: zlib.adler32(data))
signed = lambda n: n - (1 << 32) if n >= 1 << 31 else n
sha_ms, _ = best_ms(lambda: subprocess.run(["openssl", "dgst", "-sha256", sys.argv[1]], capture_output=True, check=True))
print("python3/openssl %.3f %.3f %.3f %d %d" % (crc_ms, adler_ms, sha_ms, signed(crc), signed(adler)))
PY
} | awk -v mb="$mb" '
  { name[++n] = $1; crc[n] = $2; adler[n] = $3; sha[n] = $4; c[n] = $5; a[n] = $6 }
  END {
    if (c[1] != c[2] || a[1] != a[2]) { print "the checksums disagree"; exit 1 }
    printf "checksums of %d MB of random bytes (best of 3)\n", mb
    printf "%-16s %10s %10s %10s\n", "", "crc32 ms", "adler32 ms", "sha256 ms"
    for (i = 1; i <= n; i++) printf "%-16s %10.1f %10.1f %10.1f\n", name[i], crc[i], adler[i], sha[i]
    printf "%-16s %10.2f %10.2f %10.2f\n", "ratio zel/other", crc[1] / crc[2], adler[1] / adler[2], sha[1] / sha[2]
  }'

if command -v valgrind >/dev/null; then
  valgrind --tool=callgrind --callgrind-out-file="$dir/cg" "$build/bench/bench_checksum" "$dir/small" 4 >/dev/null 2>&1
  callgrind_annotate "$dir/cg" 2>/dev/null | awk '
    /checksum::crc32/ { crc = $1 } /checksum::adler32/ { adler = $1 }
    END { gsub(",", "", crc); gsub(",", "", adler)
          printf "callgrind Ir per byte (3 runs of 4 MB): crc32 %.2f, adler32 %.2f\n", crc / (3 * 4194304), adler / (3 * 4194304) }'
fi
