#!/usr/bin/env bash
# A map! with string keys: 200,000 keys "k1" ... "k200000" put into a new map
# with their numbers, then every one read back with select (the keys built
# afresh each time), against a python3 dict and a lua5.4 table doing the same
# through their interpreters. The programs are bench/eval/map_keys.*; the
# evaluator benchmark runs them and prints seconds and the ratios zel/lua and
# zel/python (above 1: zel is slower).
#
#   bash bench/map_keys.sh
set -euo pipefail
exec bash "$(dirname "$0")/eval.sh" map_keys
