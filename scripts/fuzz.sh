#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build/fuzz and fuzzes one target (lexer or
# zelbin; default lexer) for the given number of seconds (default 60),
# starting from its committed corpus.
# New inputs go to build/fuzz/corpus-TARGET.
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET]
set -euo pipefail
cd "$(dirname "$0")/.."
ZEL_EXTRA_PACKAGES="clang libclang-rt-14-dev" bash scripts/deps.sh
seconds=${1:-60}
target=${2:-lexer}
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_COMPILER=clang -DZEL_FUZZ=ON -DZEL_TESTS=OFF >/dev/null
cmake --build build/fuzz --target "${target}_fuzz"
mkdir -p "build/fuzz/corpus-${target}"
"build/fuzz/fuzz/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 \
  "build/fuzz/corpus-${target}" "fuzz/corpus/${target}"
