#!/usr/bin/env bash
# Installs what the Windows build and its tests need on Debian 12 (run as root, or with
# sudo available), called by scripts/install-deps.sh; a second run changes nothing:
# - the MinGW-w64 cross compilers with the posix thread model, for i686 (the product,
#   runtime libgcc_s_dw2-1.dll and libwinpthread-1.dll) and x86_64 (the test build for
#   machines that cannot run 32-bit code, docs/windows.md);
# - the autotools that regenerate the XML stack's build files (scripts/build-win-deps.sh);
# - Wine 8: wine32 (through the i386 architecture in dpkg) runs the 32-bit build, wine64
#   the 64-bit one;
# - NSIS, which makes the per-user installer (installer/quillet.nsi);
# - flock (util-linux) for the shared cache of the XML stack (scripts/test-win-ci.sh).
set -euo pipefail

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-i686-dev mingw-w64-x86-64-dev
  dpkg-dev autoconf automake libtool pkg-config
  wine wine64 wine32:i386
  nsis util-linux
)

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  as_root apt-get -o DPkg::Lock::Timeout=900 update -qq
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' ||
    missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  as_root apt-get -o DPkg::Lock::Timeout=900 update -qq
  as_root apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
