#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (only those that are missing), then
# configures and builds the given build directory.
#   scripts/setup.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libqt6test6 libgl-dev libfontconfig-dev
  libcurl4-openssl-dev libssl-dev libicu-dev libpcre2-dev nlohmann-json3-dev libcpp-httplib-dev
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  xvfb xauth x11-utils xdotool libx11-dev libxcb1-dev fonts-wqy-microhei imagemagick
  curl aria2 openssl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=()
  if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build_dir=${1:-build}
shift || true
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
