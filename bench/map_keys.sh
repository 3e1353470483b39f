#!/usr/bin/env bash
# A map! with string keys: keys "k1" ... "k200000" put into a new map with
# their numbers, then every one read back with select (the keys built afresh
# each time), against a python3 dict and a lua5.4 table doing the same. The
# programs are bench/eval/map_keys.*, run by eval_compare.sh: wall-time
# ratios and instructions per key.
#
#   bash bench/map_keys.sh
set -euo pipefail
exec bash "$(dirname "$0")/eval_compare.sh" map_keys
