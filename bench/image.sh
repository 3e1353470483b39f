#!/usr/bin/env bash
# Image codecs: a generated 4000 x 3000 opaque image encoded as JPEG
# (quality 90) and PNG, and those same files decoded, against cjpeg/djpeg
# (libjpeg-turbo-progs) and pnmtopng/pngtopnm (netpbm) on the same pixels
# and files. Zel's figures are in memory (best of three); the tools' are
# whole processes reading and writing files (best of three), so their
# times include start-up and PNM text. Ratios zel / tool: above 1, zel is
# slower. Then callgrind instructions of each step on a 1000 x 750 image:
# Zel's step alone against the tool's whole process.
#
#   bash bench/image.sh [width height]
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
for tool in cjpeg pnmtopng; do
  if ! command -v $tool >/dev/null; then
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends libjpeg-turbo-progs netpbm >/dev/null
  fi
done
build_bench image
width=${1:-4000}
height=${2:-3000}

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
ms() { best_of_three bash -c 'start=$EPOCHREALTIME; "$@" >/dev/null 2>&1; awk -v a="$start" -v b="$EPOCHREALTIME" "BEGIN { printf \"%.1f\", (b - a) * 1000 }"' _ "$@"; }

read -r _ zje zjd zpe zpd < <("$build/bench/bench_image" "$dir" "$width" "$height")
tje=$(ms cjpeg -quality 90 "$dir/image.ppm")
tjd=$(ms djpeg -pnm "$dir/image.jpg")
tpe=$(ms pnmtopng "$dir/image.ppm")
tpd=$(ms pngtopnm "$dir/image.png")
echo "image codecs on ${width}x${height} (ms, best of 3; files: jpeg $(stat -c %s "$dir/image.jpg") bytes, png $(stat -c %s "$dir/image.png") bytes)"
awk -v zje="$zje" -v zjd="$zjd" -v zpe="$zpe" -v zpd="$zpd" -v tje="$tje" -v tjd="$tjd" -v tpe="$tpe" -v tpd="$tpd" 'BEGIN {
  printf "%-14s %10s %10s %10s\n", "", "zel", "tool", "zel/tool"
  printf "%-14s %10.1f %10.1f %10.2f   (cjpeg -quality 90)\n", "jpeg encode", zje, tje, zje / tje
  printf "%-14s %10.1f %10.1f %10.2f   (djpeg)\n", "jpeg decode", zjd, tjd, zjd / tjd
  printf "%-14s %10.1f %10.1f %10.2f   (pnmtopng)\n", "png encode", zpe, tpe, zpe / tpe
  printf "%-14s %10.1f %10.1f %10.2f   (pngtopnm)\n", "png decode", zpd, tpd, zpd / tpd
}'

if command -v valgrind >/dev/null; then
  small="$dir/small"
  mkdir -p "$small"
  "$build/bench/bench_image" "$small" 1000 750 >/dev/null
  step_instructions() {  # step, function: callgrind's count inside the function
    valgrind --tool=callgrind --callgrind-out-file=/dev/null --collect-atstart=no \
      "--toggle-collect=zel::codecs::$2*" "$build/bench/bench_image" "$small" 1000 750 "$1" 2>&1 >/dev/null |
      awk '/Collected/ { gsub(",", "", $4); print $4 }'
  }
  echo "callgrind Minstr on 1000x750 (zel: the step; tool: its whole process)"
  for row in "jpeg-encode encode_jpeg cjpeg -quality 90 $small/image.ppm" "jpeg-decode decode_jpeg djpeg -pnm $small/image.jpg" \
             "png-encode encode_png pnmtopng $small/image.ppm" "png-decode decode_png pngtopnm $small/image.png"; do
    set -- $row
    z=$(step_instructions "$1" "$2")
    step=$1
    shift 2
    t=$(count_instructions "$@")
    awk -v s="$step" -v z="$z" -v t="$t" 'BEGIN { printf "%-14s %10.1f %10.1f %10.2f\n", s, z / 1e6, t / 1e6, z / t }'
  done
fi
