#!/usr/bin/env bash
# Assembles the Firefox variant of the sample extension: the files of extension/ with
# extension/firefox/manifest.json as its manifest (an event page instead of a service
# worker, and the add-on ID the host's Firefox manifest allows).
#
# Usage: firefox-extension.sh DIR     (DIR is made, or emptied of the sample's files)
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 DIR" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
source=$here/../../extension
out=$1
mkdir -p "$out"
for file in "$source"/*; do
  [ -f "$file" ] && [ "$(basename "$file")" != manifest.json ] && install -m 644 "$file" "$out/"
done
install -m 644 "$source/firefox/manifest.json" "$out/manifest.json"
echo "$out"
