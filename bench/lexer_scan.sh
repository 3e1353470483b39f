#!/usr/bin/env bash
# Lexer throughput on a script of ordinary code: the automaton alone and the
# whole scan loop, in MB/s, best of three.
#
#   bash bench/lexer_scan.sh [megabytes]      (default 32)
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
build_bench lexer_scan

"$build/bench/bench_lexer_scan" "${1:-32}" | awk '
  $1 == "automaton" { printf "automaton   %6d MB/s  %6.1f M tokens/s\n", $2, $3 }
  $1 == "scan"      { printf "scan loop   %6d MB/s\n", $2 }'
