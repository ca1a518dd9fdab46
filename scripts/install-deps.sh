#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root, or with sudo
# available). Makes a deb-src entry from the existing sources entry so that xmlsec1's
# source package can be fetched, naming no host of its own.
# Only what is missing is installed (scripts/apt-install-missing.sh): with everything in
# place no apt-get runs.
set -euo pipefail
source "$(dirname "$0")/apt-install-missing.sh"

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
if [ ! -f "$src" ] && [ ! -f /etc/apt/sources.list.d/debian-src.list ]; then
  # xmlsec1's source package needs the new entry read in, whatever else is installed.
  export QUILLET_APT_UPDATE=1
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      as_root tee "$src" >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      as_root tee /etc/apt/sources.list.d/debian-src.list >/dev/null
  fi
fi

apt_install_missing "${packages[@]}"
unset QUILLET_APT_UPDATE

bash "$(dirname "$0")/install-browser-deps.sh"
bash "$(dirname "$0")/install-deps-win.sh"
