#!/usr/bin/env bash
# Installs what the 32-bit Windows build and its tests need on Debian 12 (run as root,
# or with sudo available): the i686 MinGW-w64 cross compiler (posix thread model, whose
# runtime is libgcc_s_dw2-1.dll and libwinpthread-1.dll), the tools that rebuild the
# XML stack's autotools files, and Wine 8 with its 32-bit half (which needs the i386
# architecture in dpkg). Called by scripts/install-deps.sh; a second run changes nothing.
set -euo pipefail

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  mingw-w64-i686-dev mingw-w64-tools
  dpkg-dev autoconf automake libtool autopoint gettext pkg-config
  wine wine32:i386
)

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  as_root apt-get update -qq
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' ||
    missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  as_root apt-get update -qq
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# The posix thread model: C++ threads and the runtime DLL names the bundle expects.
for tool in gcc g++; do
  as_root update-alternatives --set "i686-w64-mingw32-$tool" \
    "/usr/bin/i686-w64-mingw32-$tool-posix" >/dev/null
done
