#!/usr/bin/env bash
# Cross-builds the XML stack that QuilletProxy.dll links and the Windows bundle ships, from
# Debian's own source packages, with MinGW-w64 (posix thread model):
#   zlib -> zlib1.dll, libxml2 -> libxml2-2.dll, libxslt -> libxslt-1.dll,
#   libtool's libltdl -> libltdl-7.dll (xmlsec1 loads its crypto back end with it),
#   xmlsec1 with its mscrypto back end -> libxmlsec1.dll, libxmlsec1-mscrypto.dll.
#
# Usage: build-win-deps.sh [i686|x86_64]   (default i686, the product's architecture)
#
# Sources are fetched once into build-win/src/ (shared by both architectures); each
# architecture builds into build-win/<arch>/deps/ and installs into
# build-win/<arch>/deps/install/. With QUILLET_WIN_CACHE set, build-win/ is replaced by
# that directory (scripts/test-win-ci.sh keeps the stack there, outside the clone; it is
# built in place, since the install prefix is written into the stack's own files). Every package keeps a stamp with its source version and
# build settings: a second run with nothing changed does nothing.
set -euo pipefail

arch=${1:-i686}
case "$arch" in
  i686 | x86_64) ;;
  *) echo "usage: $0 [i686|x86_64]" >&2; exit 2 ;;
esac
triple="$arch-w64-mingw32"

top=$(cd "$(dirname "$0")/.." && pwd)
root=${QUILLET_WIN_CACHE:-$top/build-win}
src_root="$root/src"
work="$root/$arch/deps"
prefix="$work/install"
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

# The C libraries carry libgcc statically, so that only our C++ modules need the GCC
# runtime DLL; nothing of the stack uses winpthreads (libxml2 uses Win32 threads).
export CC="$triple-gcc" AR="$triple-ar" RANLIB="$triple-ranlib" STRIP="$triple-strip"
export WINDRES="$triple-windres" RC="$triple-windres" DLLTOOL="$triple-dlltool"
export CPPFLAGS="-I$prefix/include" CFLAGS="-O2 -g0" LDFLAGS="-L$prefix/lib -static-libgcc"
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH=""
export PATH="$prefix/bin:$PATH"

log() { echo "== build-win-deps ($arch): $*"; }
quiet() { # quiet <log file> <command...>: runs the command, shows the log's tail on failure
  local file=$1; shift
  "$@" >"$file" 2>&1 || { tail -n 40 "$file"; echo "failed: $* (log: $file)" >&2; exit 1; }
}

# fetch <source package>: unpacks Debian's source package (patches applied) into
# build-win/src/<package>/ once. When the newest version cannot be had from the mirror,
# the older versions the sources list still names are tried, newest first.
fetch() {
  local pkg=$1 dir="$src_root/$1"
  [ -d "$dir" ] && return 0
  mkdir -p "$src_root/fetch/$pkg"
  (
    cd "$src_root/fetch/$pkg"
    if ! apt-get source --download-only "$pkg" >download.log 2>&1; then
      local ok=""
      for v in $(apt-cache showsrc "$pkg" | sed -n 's/^Version: //p' | sort -urV); do
        rm -f ./*.dsc
        if apt-get source --download-only "$pkg=$v" >download.log 2>&1; then ok=1; break; fi
      done
      [ -n "$ok" ] || { cat download.log; exit 1; }
    fi
  )
  local dsc
  dsc=$(ls "$src_root/fetch/$pkg"/*.dsc | head -n 1)
  rm -rf "$dir.tmp"
  quiet "$src_root/fetch/$pkg/extract.log" dpkg-source --no-check -x "$dsc" "$dir.tmp"
  mv "$dir.tmp" "$dir"
}

# regenerate <package>: runs autoreconf once in the unpacked source, so that libtool's
# Windows support is the one of this machine's autotools.
regenerate() {
  local dir="$src_root/$1"
  [ -f "$dir/.regenerated" ] && return 0
  quiet "$dir/autoreconf.log" bash -c "cd '$dir' && autoreconf -fi"
  touch "$dir/.regenerated"
}

# is_current <package> <settings>: true when the package was built with these settings
# from the unpacked source version; records them after a build with mark_built.
stamp_text() { echo "$(cd "$src_root/$1" && dpkg-parsechangelog -S Version) $triple $2"; }
is_current() { [ -f "$work/$1.built" ] && [ "$(cat "$work/$1.built")" = "$(stamp_text "$1" "$2")" ]; }
mark_built() { stamp_text "$1" "$2" >"$work/$1.built"; }

# configure_and_install <package> <configure options...>: an out-of-tree autotools build.
configure_and_install() {
  local pkg=$1; shift
  local build="$work/$pkg"
  rm -rf "$build" && mkdir -p "$build"
  (
    cd "$build"
    quiet configure.log "$src_root/$pkg/configure" --host="$triple" --prefix="$prefix" \
      --disable-static --enable-shared "$@"
    quiet make.log make -j"$jobs"
    quiet install.log make install
  )
}

# zlib: Debian's tarball lacks zlib's win32/ directory and its configure script does not
# know MinGW, so the library is compiled directly; without a .def file every public zlib
# function is exported.
build_zlib() {
  local settings="direct-dll-1"
  is_current zlib "$settings" && return 0
  log "zlib"
  local build="$work/zlib" s="$src_root/zlib" objs=()
  rm -rf "$build" && mkdir -p "$build" "$prefix/bin" "$prefix/lib" "$prefix/include"
  for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast \
           inflate inftrees trees uncompr zutil; do
    "$CC" $CFLAGS -I"$s" -c "$s/$f.c" -o "$build/$f.o"
    objs+=("$build/$f.o")
  done
  "$CC" -shared $LDFLAGS -o "$prefix/bin/zlib1.dll" "${objs[@]}" \
    -Wl,--out-implib,"$prefix/lib/libz.dll.a"
  cp "$s/zlib.h" "$s/zconf.h" "$prefix/include/"
  mkdir -p "$prefix/lib/pkgconfig"
  cat >"$prefix/lib/pkgconfig/zlib.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include
Name: zlib
Description: zlib compression library
Version: $(sed -n 's/^#define ZLIB_VERSION "\(.*\)"/\1/p' "$s/zlib.h")
Libs: -L\${libdir} -lz
Cflags: -I\${includedir}
EOF
  mark_built zlib "$settings"
}

# libxml2 without iconv (Debian has no libiconv to build) and without the optional
# compressors and bindings: UTF-8, UTF-16, ASCII and the ISO-8859 family are built in.
build_libxml2() {
  local opts=(--without-python --without-iconv --without-icu --without-lzma
              --with-zlib="$prefix" --with-threads)
  is_current libxml2 "${opts[*]}" && return 0
  log "libxml2"
  regenerate libxml2
  configure_and_install libxml2 "${opts[@]}"
  mark_built libxml2 "${opts[*]}"
}

build_libxslt() {
  local opts=(--without-python --without-crypto --without-debugger --without-profiler --without-plugins
              --with-libxml-prefix="$prefix")
  is_current libxslt "${opts[*]}" && return 0
  log "libxslt"
  regenerate libxslt
  configure_and_install libxslt "${opts[@]}"
  mark_built libxslt "${opts[*]}"
}

# libltdl from libtool's source package: the whole package is configured for Windows and
# only its libltdl is built and installed.
build_libltdl() {
  local opts=(--enable-ltdl-install)
  is_current libtool "${opts[*]}" && return 0
  log "libltdl"
  local build="$work/libtool"
  rm -rf "$build" && mkdir -p "$build"
  (
    cd "$build"
    quiet configure.log "$src_root/libtool/configure" --host="$triple" --prefix="$prefix" \
      --disable-static --enable-shared "${opts[@]}"
    quiet make.log make -j"$jobs" libltdl/libltdl/lt__argz.h libltdl/libltdl.la
    quiet install.log make install-ltdlincludeHEADERS install-includeHEADERS \
      install-libLTLIBRARIES
  )
  mark_built libtool "${opts[*]}"
}

# xmlsec1 with only the mscrypto back end (CryptoAPI), GOST R 34.10-2001 and 2012, loaded
# at run time through libltdl, with the Unicode (W) CryptoAPI calls.
build_xmlsec1() {
  local opts=(--enable-mscrypto --enable-crypto-dl --enable-unicode
              --enable-gost --enable-gost2012
              --without-openssl --without-nss --without-gnutls --without-gcrypt
              --with-default-crypto=mscrypto --disable-apps --disable-docs
              --with-libxml="$prefix" --with-libxslt="$prefix")
  is_current xmlsec1 "${opts[*]}" && return 0
  log "xmlsec1"
  regenerate xmlsec1
  configure_and_install xmlsec1 "${opts[@]}"
  mark_built xmlsec1 "${opts[*]}"
}

mkdir -p "$work"
# A shared stack (QUILLET_WIN_CACHE) is built by one run at a time; a second run waits and
# then finds every package current.
if [ -n "${QUILLET_WIN_CACHE:-}" ]; then
  exec 9>"$root/.lock"
  flock 9
fi
for pkg in zlib libxml2 libxslt libtool xmlsec1; do fetch "$pkg"; done
build_zlib
build_libxml2
build_libxslt
build_libltdl
build_xmlsec1
