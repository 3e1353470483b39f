#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and AddressSanitizer into
# build/fuzz and fuzzes the lexer for the given number of seconds (default
# 60), starting from the committed corpus. New inputs go to build/fuzz/corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
ZEL_EXTRA_PACKAGES="clang libclang-rt-14-dev" bash scripts/deps.sh
seconds=${1:-60}
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_COMPILER=clang -DZEL_FUZZ=ON -DZEL_TESTS=OFF >/dev/null
cmake --build build/fuzz --target lexer_fuzz
mkdir -p build/fuzz/corpus
build/fuzz/fuzz/lexer_fuzz -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 \
  build/fuzz/corpus fuzz/corpus/lexer
