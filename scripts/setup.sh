#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the application
# need. Safe to run again: when everything is installed it does nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  libsqlite3-dev sqlite3
  libssl-dev openssl
  libplist-dev libimobiledevice-dev libusbmuxd-dev
  zlib1g-dev
  libprotobuf-dev protobuf-compiler
  libheif-dev libheif-examples
  libcli11-dev
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-svg-dev libgl-dev
  fonts-noto-core fonts-noto-cjk fonts-noto-color-emoji
  xvfb x11-apps imagemagick
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
