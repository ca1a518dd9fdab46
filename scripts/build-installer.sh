#!/usr/bin/env bash
# Builds the per-user Windows installer build-win/<arch>/QuilletSetup-<version>.exe from
# the bundle that scripts/build-win.sh made (run it first), with NSIS (installer/quillet.nsi).
# The native messaging manifests go beside QuilletHost.exe and name it by a path relative
# to themselves, which Chrome, Edge and Firefox on Windows resolve against the manifest's
# folder; they allow the sample extension (docs/browser.md).
# Usage: build-installer.sh [i686|x86_64]   (default i686, the product's architecture)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-i686}
case "$arch" in
  i686 | x86_64) ;;
  *) echo "usage: $0 [i686|x86_64]" >&2; exit 2 ;;
esac
bundle="$top/build-win/$arch/bin"
[ -f "$bundle/QuilletHost.exe" ] || { echo "no bundle in $bundle: run scripts/build-win.sh $arch" >&2; exit 1; }
version=$(sed -n 's/^project(Quillet VERSION \([0-9.]*\) .*/\1/p' "$top/CMakeLists.txt")
generated="$top/build-win/$arch/installer"
out="$top/build-win/$arch/QuilletSetup-$version.exe"
rm -rf "$generated" && mkdir -p "$generated"

name=tavlin.quillet
description="Quillet: signs and verifies XML documents with GOST certificates"
manifest() { # manifest <member> <list>
  printf '{\n  "name": "%s",\n  "description": "%s",\n  "path": "QuilletHost.exe",\n  "type": "stdio",\n  "%s": [%s]\n}\n' \
    "$name" "$description" "$1" "$2"
}
manifest allowed_origins '"chrome-extension://cmdddjgdannanadllimbggeplkhejbig/"' \
  >"$generated/$name.chromium.json"
manifest allowed_extensions '"quillet-sample@tavlin"' >"$generated/$name.firefox.json"

# The bundle's files, one by one, so that the uninstaller removes exactly these.
for file in "$bundle"/*; do
  base=$(basename "$file")
  echo "File \"$file\"" >>"$generated/install_files.nsh"
  echo "Delete \"\$INSTDIR\\$base\"" >>"$generated/uninstall_files.nsh"
done

makensis -V2 -DVERSION="$version" -DBUNDLE="$bundle" -DGENERATED="$generated" \
  -DOUTFILE="$out" "$top/installer/quillet.nsi"
echo "== Windows installer ($arch): $out"
