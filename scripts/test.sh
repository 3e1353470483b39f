#!/usr/bin/env bash
# Builds and runs every test: the optimised build; the sanitizer build
# (AddressSanitizer and UndefinedBehaviorSanitizer, -O1), whose tests run
# twice: as they are, then with the collector stressed (a collection and a
# compaction before a seeded pseudo-random share of series allocations and
# safe points; the collector's own tests stress every one) and the change
# stamps of blocks checked (ZEL_STAMP_CHECK); then the fuzz
# targets (clang, libFuzzer, both sanitizers) over their committed corpora.
#
# ZEL_GC_STRESS_SEED replays a stress run with the seed it printed.
set -euo pipefail
cd "$(dirname "$0")/.."
ZEL_EXTRA_PACKAGES="clang libclang-rt-14-dev" bash scripts/deps.sh
jobs=$(nproc)
stress_share=20
seed=${ZEL_GC_STRESS_SEED:-$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}

build() {  # name, cmake options...
  local name=$1
  shift
  echo "== build $name"
  cmake -S . -B "build/$name" -G Ninja "$@" >/dev/null
  cmake --build "build/$name" -j "$jobs"
}

run_tests() {  # build name, label
  echo "== tests: $2"
  (cd "build/$1" && ctest --output-on-failure -j "$jobs")
}

# Line tables are debug information enough for a failing test, at a
# fraction of the build time of full debug information.
build release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
run_tests release release

build sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DZEL_SANITIZE=ON
run_tests sanitize "sanitizers"
echo "collector stress: ZEL_GC_STRESS=$seed/$stress_share (replay with ZEL_GC_STRESS_SEED=$seed)"
ZEL_GC_STRESS="$seed/$stress_share" ZEL_STAMP_CHECK=1 run_tests sanitize "sanitizers, collector stress, stamp check"

# The fuzz targets' own build (scripts/fuzz.sh) is build/fuzz; this one only
# replays the corpora, so it is built for speed of building.
build fuzz-corpora -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g0" \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DZEL_FUZZ=ON -DZEL_TESTS=OFF
run_tests fuzz-corpora "fuzz corpora (clang, libFuzzer)"
