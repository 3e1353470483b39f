#!/usr/bin/env bash
# Builds and runs every test: the optimised build, then the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
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
