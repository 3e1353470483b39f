#!/usr/bin/env bash
# Builds and runs every test: the optimised build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, the same again with the
# collector stressed (a full collection before every series allocation,
# compaction at every safe point, freed space poisoned), then the fuzz
# targets (clang, libFuzzer) over their committed corpora.
set -euo pipefail
cd "$(dirname "$0")/.."
ZEL_EXTRA_PACKAGES="clang libclang-rt-14-dev" bash scripts/deps.sh
jobs=$(nproc)

run_suite() {  # name, cmake options...
  local name=$1
  shift
  echo "== $name"
  cmake -S . -B "build/$name" -G Ninja "$@" >/dev/null
  cmake --build "build/$name" -j "$jobs"
  (cd "build/$name" && ctest --output-on-failure -j "$jobs")
}

run_suite release -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_suite sanitize -DCMAKE_BUILD_TYPE=Debug -DZEL_SANITIZE=ON
run_suite stress -DCMAKE_BUILD_TYPE=Debug -DZEL_SANITIZE=ON -DZEL_GC_STRESS=ON
run_suite fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DZEL_FUZZ=ON -DZEL_TESTS=OFF
