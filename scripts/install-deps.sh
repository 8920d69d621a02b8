#!/usr/bin/env bash
# Installs the Debian packages the build, tests, tool and benchmarks need,
# when any is missing. Safe to run repeatedly.
set -euo pipefail
pkgs=(cmake ninja-build g++ make pkg-config libgtest-dev libbenchmark-dev libpng-dev libcli11-dev ccache)
if [ "${ZUV_WITH_OPENCV:-0}" = 1 ]; then pkgs+=(libopencv-core-dev libopencv-imgproc-dev); fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
