#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root, or with sudo
# available). Makes a deb-src entry from the existing sources entry so that xmlsec1's
# source package can be fetched, naming no host of its own.
set -euo pipefail

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(
  build-essential cmake pkg-config git ca-certificates file
  dpkg-dev autoconf automake libtool
  libssl-dev openssl libengine-gost-openssl
  libxml2-dev libxml2-utils libxslt1-dev libltdl-dev
  nlohmann-json3-dev libgtest-dev googletest
  libcurl4-openssl-dev
  libgtk-3-dev xvfb xauth xdotool x11-apps imagemagick fonts-dejavu-core
  python3
)

src=/etc/apt/sources.list.d/debian-src.sources
if [ ! -f "$src" ]; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      as_root tee "$src" >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      as_root tee /etc/apt/sources.list.d/debian-src.list >/dev/null
  fi
fi

export DEBIAN_FRONTEND=noninteractive
as_root apt-get update -qq
as_root apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null

bash "$(dirname "$0")/install-browser-deps.sh"
bash "$(dirname "$0")/install-deps-win.sh"
