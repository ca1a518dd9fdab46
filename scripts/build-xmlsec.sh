#!/usr/bin/env bash
# Builds xmlsec1 with GOST support (OpenSSL back end only) from Debian's own source
# package into build/xmlsec/, and leaves its libraries and command-line tool under
# build/xmlsec/install/. A second run with the same source version and options does
# nothing: the source is kept in build/xmlsec/src and the stamp names what was built.
#
# Debian's binary libxmlsec1 is built without GOST; nothing of ours links or loads it. Its
# back end libxmlsec1-openssl is installed too (same soname), and the xmlsec1 tool would
# load it by bare name through libltdl, so the tool is built with its back end linked in
# (--disable-apps-crypto-dl) and with RUNPATH $ORIGIN, so that the copy in build/bin/
# runs on the bundled libraries beside it.
#
# QUILLET_XMLSEC_WORK names another directory to build in (the fuzz build uses its own,
# compiled with the CC and CFLAGS of the environment, which the stamp records too).
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
work="${QUILLET_XMLSEC_WORK:-$top/build/xmlsec}"
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

# --enable-openssl3-engines: xmlsec1 guards its ENGINE key loading for OpenSSL 3 with it;
# the GOST engine is an ENGINE. --enable-crypto-dl: the signature library loads the back
# end through xmlSecCryptoDLLoadLibrary.
options=(--enable-gost --enable-gost2012 --enable-openssl3-engines
  --with-openssl --without-nss --without-gnutls --without-gcrypt
  --disable-static --disable-docs --enable-crypto-dl --disable-apps-crypto-dl
  --with-default-crypto=openssl)
# $ORIGIN survives make and libtool's shell evaluation only this escaped.
origin_rpath='-Wl,-rpath,\$$ORIGIN'

version=$(cd src && dpkg-parsechangelog -S Version)
# "no-libdir-rpath": libtool would also give the libraries and the tool a RUNPATH to the
# install prefix under build/, searched before $ORIGIN, which an installed copy must never
# carry (it would load libraries from a build directory of another machine's path).
wanted="$version ${options[*]} $origin_rpath no-libdir-rpath"
if [ -n "${CC:-}${CFLAGS:-}" ]; then wanted="$wanted CC=${CC:-} CFLAGS=${CFLAGS:-}"; fi
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ]; then
  exit 0
fi

cd src
[ -x configure ] || autoreconf -fi >/dev/null
[ -f Makefile ] && make distclean >/dev/null 2>&1 || true
rm -rf "$prefix"
./configure --prefix="$prefix" "${options[@]}" LDFLAGS="$origin_rpath" \
  >"$work/configure.log" 2>&1 || { tail -n 40 "$work/configure.log"; exit 1; }
sed -i -e 's/^hardcode_libdir_flag_spec=.*/hardcode_libdir_flag_spec=""/' \
  -e 's/^runpath_var=LD_RUN_PATH/runpath_var=NO_RUNPATH/' libtool
make -j2 >"$work/make.log" 2>&1 || { tail -n 40 "$work/make.log"; exit 1; }
make install >"$work/install.log" 2>&1 || { tail -n 40 "$work/install.log"; exit 1; }
echo "$wanted" >"$stamp"
