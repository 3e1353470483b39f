#!/usr/bin/env bash
# The evaluator's wall-time ratios against python3 and lua5.4: the programs
# of bench/eval/ through eval_compare.sh without the instruction counts.
#
#   bash bench/eval.sh [name...]
exec bash "$(dirname "$0")/eval_compare.sh" --no-count "$@"
