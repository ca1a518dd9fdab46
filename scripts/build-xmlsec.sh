#!/usr/bin/env bash
# Builds xmlsec1 with GOST support (OpenSSL back end only) from Debian's own source
# package into build/xmlsec/, and leaves its libraries and command-line tool under
# build/xmlsec/install/. A second run with the same source version does nothing.
#
# Debian's binary libxmlsec1 is built without GOST; nothing of ours links or loads it.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
work="$top/build/xmlsec"
prefix="$work/install"
stamp="$prefix/.built"

mkdir -p "$work"
cd "$work"

if [ ! -d src ]; then
  rm -rf fetch && mkdir fetch
  (cd fetch && apt-get source --download-only xmlsec1 >/dev/null)
  dsc=$(ls fetch/xmlsec1_*.dsc | head -n 1)
  dpkg-source --no-check -x "$dsc" src.tmp >/dev/null
  mv src.tmp src
fi

version=$(cd src && dpkg-parsechangelog -S Version)
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ]; then
  exit 0
fi

cd src
[ -x configure ] || autoreconf -fi >/dev/null
# --enable-openssl3-engines: xmlsec1 guards its ENGINE key loading for OpenSSL 3 with it;
# the GOST engine is an ENGINE.
./configure --prefix="$prefix" \
  --enable-gost --enable-gost2012 --enable-openssl3-engines \
  --with-openssl --without-nss --without-gnutls --without-gcrypt \
  --disable-static --disable-docs --enable-crypto-dl \
  --with-default-crypto=openssl >"$work/configure.log" 2>&1 ||
  { tail -n 40 "$work/configure.log"; exit 1; }
make -j"$(nproc)" >"$work/make.log" 2>&1 || { tail -n 40 "$work/make.log"; exit 1; }
make install >"$work/install.log" 2>&1 || { tail -n 40 "$work/install.log"; exit 1; }
echo "$version" >"$stamp"
