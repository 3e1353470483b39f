#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
set -euo pipefail
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libssl-dev libcurl4-openssl-dev python3 openssl tzdata xvfb xclip libvterm-dev libpng-dev libjpeg62-turbo-dev libgif-dev libtiff-dev pngcheck libjpeg-turbo-progs giflib-tools libtiff-tools gzip zstd ${ZEL_EXTRA_PACKAGES:-})
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
