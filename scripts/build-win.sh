#!/usr/bin/env bash
# Cross-builds the Windows bundle: QuilletHost.exe, QuilletProxy.dll and the dependency
# DLLs in build-win/<arch>/bin/, laid out as the installed product.
# Usage: build-win.sh [i686|x86_64]   (default i686, the product's architecture)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
arch=${1:-i686}
case "$arch" in
  i686 | x86_64) ;;
  *) echo "usage: $0 [i686|x86_64]" >&2; exit 2 ;;
esac
triple="$arch-w64-mingw32"
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
# The XML stack: build-win/<arch>/deps/install, or under QUILLET_WIN_CACHE when set
# (scripts/build-win-deps.sh).
deps="${QUILLET_WIN_CACHE:-$top/build-win}/$arch/deps/install"
dir="$top/build-win/$arch/build"
bin="$top/build-win/$arch/bin"

bash scripts/build-win-deps.sh "$arch"
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchains/$triple.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DQUILLET_WIN_DEPS_PREFIX="$deps" >/dev/null
cmake --build "$dir" -j"$jobs" --target QuilletHost QuilletProxy

# The bundle: the host, the proxy and the dependency DLLs, nothing else.
rm -rf "$bin" && mkdir -p "$bin"
cp "$dir/bin/QuilletHost.exe" "$dir/bin/QuilletProxy.dll" "$bin/"
sysroot=/usr/$triple
gcc_dir=$(dirname "$("$triple-gcc-posix" -print-libgcc-file-name)")
runtime=$(sed -n 's/^set(QUILLET_GCC_RUNTIME_DLL \(.*\))$/\1/p' "cmake/toolchains/$triple.cmake")
cp "$sysroot/lib/libwinpthread-1.dll" "$gcc_dir/$runtime" "$bin/"
for dll in zlib1.dll libxml2-2.dll libxslt-1.dll libltdl-7.dll libxmlsec1.dll \
           libxmlsec1-mscrypto.dll; do
  cp "$deps/bin/$dll" "$bin/"
done
"$triple-strip" --strip-unneeded "$bin"/*.dll "$bin"/*.exe
echo "== Windows bundle ($arch): $bin"
