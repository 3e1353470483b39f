#!/usr/bin/env bash
# The programs of bench/eval/ as whole processes against their python3 and
# lua5.4 twins: eval_compare.sh without the instruction counts.
#
#   bash bench/eval_scripts.sh [name...]
exec bash "$(dirname "$0")/eval_compare.sh" --no-count "$@"
