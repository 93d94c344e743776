#!/usr/bin/env bash
# Installs the Debian 12 packages Vantorel needs to build and test. Idempotent: apt-get runs only
# when a package is missing, with sudo when not root.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins libgl-dev
  libjpeg62-turbo-dev libpng-dev zlib1g-dev libgif-dev libimagequant-dev
  libpugixml-dev libcurl4-openssl-dev libsane-dev sane-utils
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev tinyproxy-bin
  xvfb xauth dbus dbus-x11
  # Tests answer the program's boxes on their own X server.
  xdotool
  # The program opens web pages with xdg-open.
  xdg-utils
  # The fuzz targets: clang with its sanitizer and libFuzzer runtimes.
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
