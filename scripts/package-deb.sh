#!/usr/bin/env bash
# Builds the Debian package "quillet" (amd64) from the plain build: the runtime directory
# under /usr/lib/quillet/, quillet-store and quillet-client on PATH, the browsers'
# system-wide native messaging manifests (links to files that quillet-update-manifests
# writes from /etc/quillet/allowed-extensions), the sample extension for Chromium and
# Firefox, man pages and the copyright of what is bundled. Depends are computed by
# dpkg-shlibdeps from the ELF files, plus what is loaded at run time by name.
# Runs lintian on the result when it is installed (failing on errors and warnings; the
# package's overrides say why the tags it overrides do not apply). Prints the .deb's path.
#
# Usage: package-deb.sh [OUTPUT_DIR]   (default build/deb)
# Layout and decisions: docs/packaging.md.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

out=$(mkdir -p "${1:-build/deb}" && cd "${1:-build/deb}" && pwd)
bin=$top/build/bin
if grep -qs '^QUILLET_SANITIZE:BOOL=ON' build/CMakeCache.txt; then
  echo "package-deb.sh: build/ is a sanitizer build; package the plain build" >&2
  exit 1
fi
runtime=(QuilletHost libQuilletProxy.so libQuilletPlatform.so libQuilletCertDialog.so
  libxmlsec1.so.1 libxmlsec1-openssl.so.1 libxmlsec1-openssl.la xmlsec1
  quillet-store quillet-client)
for file in "${runtime[@]}"; do
  if [ ! -e "$bin/$file" ]; then
    echo "package-deb.sh: $bin/$file is missing: build first (bash scripts/build.sh)" >&2
    exit 1
  fi
done

name=quillet
version=$(sed -n 's/^project(Quillet VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' CMakeLists.txt)
revision=1
arch=$(dpkg --print-architecture)
root=$out/root
lib=/usr/lib/quillet
doc=/usr/share/doc/$name
rm -rf "$root"
mkdir -p "$root/DEBIAN"

# The runtime directory, as build/bin/ lays it out: every module finds its neighbours
# through RUNPATH $ORIGIN.
install -d "$root$lib"
for file in "${runtime[@]}"; do
  case $file in
    *.la) install -m 644 "$bin/$file" "$root$lib/" ;;
    *.so | *.so.*) install -m 644 "$bin/$file" "$root$lib/"
      strip --strip-unneeded --remove-section=.comment --remove-section=.note "$root$lib/$file" ;;
    *) install -m 755 "$bin/$file" "$root$lib/"
      strip --remove-section=.comment --remove-section=.note "$root$lib/$file" ;;
  esac
done
install -m 755 tools/browser/register-host.sh "$root$lib/register-host.sh"
install -d "$root/usr/bin" "$root/usr/sbin"
ln -s ../lib/quillet/quillet-store "$root/usr/bin/quillet-store"
ln -s ../lib/quillet/quillet-client "$root/usr/bin/quillet-client"
install -m 755 tools/browser/update-manifests.sh "$root/usr/sbin/quillet-update-manifests"

# The allowed extensions (a conffile) and the browsers' system-wide manifest names, each a
# link to the file quillet-update-manifests writes for its browser family. Google Chrome's
# name is in /etc/opt/, where a package may not ship files: postinst makes that link.
install -d "$root/etc/quillet" "$root/var/lib/quillet"
cat >"$root/etc/quillet/allowed-extensions" <<'EOF'
# Extensions allowed to start the Quillet host, one a line:
#   chromium <extension ID>   Chromium and Google Chrome (32 letters a-p)
#   firefox <add-on ID>       Firefox
# After editing, run quillet-update-manifests as root. See quillet-update-manifests(8).

# The sample extension (/usr/share/quillet/extension, /usr/share/quillet/extension-firefox).
chromium cmdddjgdannanadllimbggeplkhejbig
firefox quillet-sample@tavlin
EOF
chmod 644 "$root/etc/quillet/allowed-extensions"
echo /etc/quillet/allowed-extensions >"$root/DEBIAN/conffiles"
for link in etc/chromium/native-messaging-hosts:chromium \
  usr/lib/mozilla/native-messaging-hosts:firefox; do
  install -d "$root/${link%%:*}"
  ln -s "/var/lib/quillet/tavlin.quillet.${link##*:}.json" "$root/${link%%:*}/tavlin.quillet.json"
done

# The sample extension in both variants.
install -d "$root/usr/share/quillet/extension"
install -m 644 extension/*.* "$root/usr/share/quillet/extension/"
bash tools/browser/firefox-extension.sh "$root/usr/share/quillet/extension-firefox" >/dev/null

# Documentation, and the lintian tags that do not apply to this package.
install -d "$root$doc" "$root/usr/share/man/man1" "$root/usr/share/man/man8" \
  "$root/usr/share/lintian/overrides"
{
  echo "# Not uploaded to Debian: no bug in Debian's tracker for the first version to close."
  echo "$name: initial-upload-closes-no-bugs"
} >"$root/usr/share/lintian/overrides/$name"
chmod 644 "$root/usr/share/lintian/overrides/$name"
for page in docs/man/*.[18]; do
  section=${page##*.}
  gzip -9n <"$page" >"$root/usr/share/man/man$section/$(basename "$page").gz"
done
xmlsec_version=$(cd build/xmlsec/src && dpkg-parsechangelog -S Version)
{
  cat <<EOF
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Quillet
Comment: Quillet's own programs and libraries, the sample extension and the scripts are
 the Quillet developers' work. The package bundles a build of xmlsec1 $xmlsec_version
 (libxmlsec1.so.1, libxmlsec1-openssl.so.1 and the xmlsec1 tool in /usr/lib/quillet/),
 made from Debian's source package with GOST support, which Debian's binary packages
 lack. Everything else it uses comes from the Debian packages it depends on.

Files: *
Copyright: 2026 Quillet developers
License: Quillet
 All rights reserved by the Quillet developers. Using the package as distributed is
 permitted; no other licence is granted.

Files: usr/lib/quillet/libxmlsec1.so.1 usr/lib/quillet/libxmlsec1-openssl.so.1
 usr/lib/quillet/libxmlsec1-openssl.la usr/lib/quillet/xmlsec1
EOF
  sed -n 's/^Copyright (C) \(2002-.*\)/Copyright: \1/p' build/xmlsec/src/Copyright | head -n 1
  echo "License: MIT-xmlsec"
  echo
  echo "License: MIT-xmlsec"
  # The licence text of the xmlsec and xmlsec-openssl libraries, as upstream gives it.
  awk '/^Permission is hereby granted/ {on = 1} on && /^$/ {blank++} on {print} blank == 4 {exit}' \
    build/xmlsec/src/Copyright | sed -e 's/^$/./' -e 's/^/ /' | sed '$d'
} >"$root$doc/copyright"
{
  echo "$name ($version-$revision) unstable; urgency=medium"
  echo
  echo "  * Package of Quillet $version, built from the source tree."
  echo
  echo " -- Quillet developers <quillet@tavlin.invalid>  $(date -R -u -d "@${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}")"
} | gzip -9n >"$root$doc/changelog.Debian.gz"

# Depends: the Debian packages of the libraries the ELF files need (dpkg-shlibdeps reads
# their NEEDED entries and finds the bundled ones in the runtime directory), plus what is
# loaded by name at run time: the GOST engine (OpenSSL loads it) and libcurl.so.4 (the
# platform library loads it on the first CRL fetch; 7.85 brought CURLOPT_PROTOCOLS_STR).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/debian"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$name" "$name" >"$work/debian/control"
elves=()
for file in "$root$lib"/*; do
  if file -b "$file" | grep -q '^ELF'; then elves+=("$file"); fi
done
# Every module looks for libraries beside itself and then in the system's places, never
# in a build directory.
for file in "${elves[@]}"; do
  runpath=$(readelf -d "$file" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  if [ "$runpath" != '$ORIGIN' ]; then
    echo "package-deb.sh: ${file#"$root"} has RUNPATH '$runpath', not \$ORIGIN" >&2
    exit 1
  fi
done
shlibs=$(cd "$work" && dpkg-shlibdeps -O -l"$root$lib" "${elves[@]}" 2>"$work/shlibdeps.log") || {
  cat "$work/shlibdeps.log" >&2
  exit 1
}
depends=$(sed -n 's/^shlibs:Depends=//p' <<<"$shlibs")
[ -n "$depends" ] || { echo "package-deb.sh: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
depends="$depends, libengine-gost-openssl, libcurl4 (>= 7.85.0)"

# Maintainer scripts: the manifests are written on configuration and removed with the
# package; nothing is written into users' homes.
cat >"$root/DEBIAN/postinst" <<'EOF'
#!/bin/sh
set -e
chrome=/etc/opt/chrome/native-messaging-hosts
if [ "$1" = configure ]; then
  quillet-update-manifests >/dev/null
  # Google Chrome reads system-wide manifests only here; a file put there by hand stays.
  if [ ! -e "$chrome/tavlin.quillet.json" ] && [ ! -L "$chrome/tavlin.quillet.json" ]; then
    mkdir -p "$chrome"
    ln -s /var/lib/quillet/tavlin.quillet.chromium.json "$chrome/tavlin.quillet.json"
  fi
fi
EOF
cat >"$root/DEBIAN/postrm" <<'EOF'
#!/bin/sh
set -e
chrome=/etc/opt/chrome/native-messaging-hosts
case "$1" in
  remove | purge)
    rm -f /var/lib/quillet/tavlin.quillet.chromium.json /var/lib/quillet/tavlin.quillet.firefox.json
    rm -rf /var/lib/quillet/.staging.*
    if [ "$(readlink "$chrome/tavlin.quillet.json" 2>/dev/null)" = /var/lib/quillet/tavlin.quillet.chromium.json ]; then
      rm -f "$chrome/tavlin.quillet.json"
      rmdir "$chrome" /etc/opt/chrome 2>/dev/null || true
    fi
    ;;
esac
EOF
chmod 755 "$root/DEBIAN/postinst" "$root/DEBIAN/postrm"

size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
cat >"$root/DEBIAN/control" <<EOF
Package: $name
Version: $version-$revision
Architecture: $arch
Maintainer: Quillet developers <quillet@tavlin.invalid>
Installed-Size: $size
Depends: $depends
Section: utils
Priority: optional
Description: native messaging host for signing XML with GOST certificates
 Quillet lets a browser extension sign and verify XML documents with GOST
 R 34.10-2001 and R 34.10-2012 certificates (256 and 512 bits). The browser
 starts the host QuilletHost, registered system-wide for Chromium, Google Chrome
 and Firefox; the allowed extensions are listed in
 /etc/quillet/allowed-extensions.
 .
 quillet-store imports certificates and keys (also from PFX files) into the
 current user's stores; quillet-client talks to the host from a shell. A sample
 extension for Chromium and Firefox is in /usr/share/quillet/.
EOF
(cd "$root" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z |
  xargs -0 md5sum >DEBIAN/md5sums)
chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums" "$root/DEBIAN/conffiles"

deb=$out/${name}_${version}-${revision}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
if command -v lintian >/dev/null; then
  # The tags left are explained in docs/packaging.md.
  lintian --fail-on error,warning "$deb" >&2
fi
echo "$deb"
