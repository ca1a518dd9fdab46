#!/usr/bin/env bash
# Writes the system-wide native messaging manifests of an installed Quillet from the
# administrator's list of allowed extensions. Installed as quillet-update-manifests; the
# package runs it on installation and upgrade, an administrator after editing the list.
# The browsers' system-wide manifest names are links (owned by the package) to the files
# written here.
#
# Usage: update-manifests.sh [--config FILE] [--manifest-dir DIR] [--host PATH]
#   --config FILE        the list (default /etc/quillet/allowed-extensions): lines
#                        "chromium <extension ID>" or "firefox <add-on ID>"; empty lines
#                        and lines starting with # are ignored
#   --manifest-dir DIR   where the manifests go (default /var/lib/quillet)
#   --host PATH          the host the manifests name (default /usr/lib/quillet/QuilletHost)
# A bad line refuses the whole list and leaves the manifests as they were. A browser
# family the list names no extension for gets no manifest (its browsers find no host).
set -euo pipefail

readonly HOST_NAME=tavlin.quillet
config=/etc/quillet/allowed-extensions
out=/var/lib/quillet
host=/usr/lib/quillet/QuilletHost
here=$(cd "$(dirname "$0")" && pwd)
# Installed, the registration command lies beside the host; in the source tree, beside this.
register=$here/register-host.sh
[ -f "$register" ] || register=/usr/lib/quillet/register-host.sh

fail() {
  echo "quillet-update-manifests: $*" >&2
  exit 1
}

while [ $# -gt 0 ]; do
  case $1 in
    --config) config=${2:?}; shift 2 ;;
    --manifest-dir) out=${2:?}; shift 2 ;;
    --host) host=${2:?}; shift 2 ;;
    *) sed -n '/^# Usage:/,/^# A bad line/p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
  esac
done

[ -r "$config" ] || fail "cannot read $config"
chromium_args=()
firefox_args=()
number=0
while IFS= read -r line || [ -n "$line" ]; do
  number=$((number + 1))
  read -r family id rest <<<"$line" || true
  case $family in
    '' | '#'*) continue ;;
  esac
  [ -n "${id:-}" ] && [ -z "${rest:-}" ] || fail "$config:$number: expected 'chromium ID' or 'firefox ID': $line"
  case $family in
    chromium) chromium_args+=(--extension-id "$id") ;;
    firefox) firefox_args+=(--firefox-extension-id "$id") ;;
    *) fail "$config:$number: unknown browser family '$family' (chromium or firefox)" ;;
  esac
done <"$config"

mkdir -p "$out"
staging=$(mktemp -d "$out/.staging.XXXXXX")
trap 'rm -rf "$staging"' EXIT
# Both families are written to the side first, so that a refused ID changes nothing.
if [ ${#chromium_args[@]} -gt 0 ]; then
  bash "$register" register --host "$host" --browser chromium --manifest-dir "$staging" \
    "${chromium_args[@]}" >/dev/null 2>"$staging/errors" || fail "$(sed 's/^register-host.sh: //' "$staging/errors")"
fi
if [ ${#firefox_args[@]} -gt 0 ]; then
  bash "$register" register --host "$host" --browser firefox --manifest-dir "$staging" \
    "${firefox_args[@]}" >/dev/null 2>"$staging/errors" || fail "$(sed 's/^register-host.sh: //' "$staging/errors")"
fi
for family in chromium firefox; do
  file=$HOST_NAME.$family.json
  if [ -f "$staging/$file" ]; then
    chmod 644 "$staging/$file"
    mv -f "$staging/$file" "$out/$file"
    echo "$out/$file"
  else
    rm -f "$out/$file"
  fi
done
