#!/usr/bin/env bash
# The evaluator's instructions per unit of work, counted by callgrind for
# zel, python3 and lua5.4: eval_compare.sh without the wall times.
#
#   bash bench/eval_callgrind.sh [name...]
exec bash "$(dirname "$0")/eval_compare.sh" --no-wall "$@"
