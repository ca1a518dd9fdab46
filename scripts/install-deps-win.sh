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
source "$(dirname "$0")/apt-install-missing.sh"

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
  export QUILLET_APT_UPDATE=1  # the i386 package lists are read in before wine32:i386
fi
apt_install_missing "${packages[@]}"
