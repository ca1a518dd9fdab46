#!/usr/bin/env bash
# The Windows step of scripts/test.sh: builds the product's 32-bit bundle and runs the
# Windows test set under 32-bit Wine (scripts/test-win.sh i686). Where this machine cannot
# run 32-bit programs, the x86_64 build of the same sources runs under wine64 instead, and
# one loud line says that the 32-bit set was skipped and why.
#
# The cross-built XML stack (scripts/build-win-deps.sh, about 6 CPU-minutes) is kept
# outside the clone in $QUILLET_WIN_CACHE_ROOT (default /var/cache/quillet-win), one
# folder per key of source recipe, compiler and settings, built in place there and
# locked against two runs at once. Where that folder cannot be made, the stack is built
# cold inside the clone (build-win/).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
start=$SECONDS

arch=i686
if ! why=$(/lib/ld-linux.so.2 --version 2>&1 >/dev/null); then
  arch=x86_64
  why="32-bit programs do not run here (/lib/ld-linux.so.2: ${why:-not found})"
elif [ ! -x /usr/lib/wine/wine ]; then
  arch=x86_64
  why="32-bit Wine is not installed (/usr/lib/wine/wine missing)"
fi
if [ "$arch" != i686 ]; then
  echo "!!!!! WINDOWS 32-BIT TEST SET SKIPPED: $why; running the x86_64 set instead !!!!!"
fi

triple="$arch-w64-mingw32"
# The key: everything that decides what the stack's files are. The build script holds
# the settings and the recipe; the compiler and the MinGW runtime headers and libraries
# go in by version; the source versions are those the sources list offers now (the
# build script also stamps each package with the version it built).
key_text=$(
  sha256sum scripts/build-win-deps.sh
  "$triple-gcc-posix" --version | head -n 1
  dpkg-query -W -f='${Package} ${Version}\n' "mingw-w64-${arch/_/-}-dev" \
    "binutils-mingw-w64-${arch/_/-}" 2>/dev/null || true
  for pkg in zlib libxml2 libxslt libtool xmlsec1; do
    echo "$pkg $(apt-cache showsrc "$pkg" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1)"
  done
)
key="$triple-$(echo "$key_text" | sha256sum | cut -c1-16)"
cache_root=${QUILLET_WIN_CACHE_ROOT:-/var/cache/quillet-win}
if mkdir -p "$cache_root/$key" 2>/dev/null && [ -w "$cache_root/$key" ]; then
  export QUILLET_WIN_CACHE="$cache_root/$key"
  if [ -f "$QUILLET_WIN_CACHE/$arch/deps/xmlsec1.built" ]; then state=warm; else state=cold; fi
  echo "== Windows XML stack: $QUILLET_WIN_CACHE ($state)"
  echo "$key_text" >"$QUILLET_WIN_CACHE/key.txt.tmp" && mv "$QUILLET_WIN_CACHE/key.txt.tmp" "$QUILLET_WIN_CACHE/key.txt"
  # Stacks of other keys (older compilers, sources or recipes, about 170 MB each) that no
  # run has used for two weeks go.
  touch "$QUILLET_WIN_CACHE"
  find "$cache_root" -mindepth 1 -maxdepth 1 -type d -name '*-w64-mingw32-*' -mtime +14 \
    -exec rm -rf {} + 2>/dev/null || true
else
  echo "== Windows XML stack: $cache_root cannot be written; cold build in build-win/"
fi

bash scripts/test-win.sh "$arch"
echo "== Windows step ($arch) took $((SECONDS - start)) s"
