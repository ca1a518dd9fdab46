#!/usr/bin/env bash
# Tests the Debian package as a user meets it: builds it from the plain build
# (scripts/package-deb.sh), installs it on this machine, runs the browser suites against
# the installed host found through the system-wide manifests, imports a GOST PFX and runs
# the demo through the installed quillet-store and quillet-client, checks the allowed
# extensions list, then removes and purges the package and checks that no file of it is
# left. Needs root (or sudo) and a machine where the package is not installed already.
# Why this machine and not a chroot: docs/packaging.md.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
fail() {
  echo "test-package.sh: FAILED: $*" >&2
  exit 1
}
steps=0
step() {
  steps=$((steps + 1))
  echo "== package: $*"
}

if dpkg-query -W -f='${Status}' quillet 2>/dev/null | grep -qE ' (installed|config-files)$'; then
  fail "the package quillet is already on this machine; remove it (apt-get purge quillet) first"
fi
work=$top/build/package-tests
rm -rf "$work"
mkdir -p "$work"
started=$(date +%s)

step "build"
deb=$(bash scripts/package-deb.sh | tail -n 1)
echo "$deb"

purge() { as_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quillet >/dev/null 2>&1 || true; }
trap purge EXIT

step "install"
# A home of its own for the installation: the package must write nothing into one.
mkdir -p "$work/install-home"
as_root env HOME="$work/install-home" DEBIAN_FRONTEND=noninteractive \
  apt-get -o DPkg::Lock::Timeout=900 install -y -qq "$deb" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "installation"; }
[ -z "$(ls -A "$work/install-home")" ] || fail "the installation wrote into a home: $(ls -A "$work/install-home")"
dpkg-query -L quillet >"$work/files.txt"

step "registration"
for name in /etc/chromium/native-messaging-hosts /etc/opt/chrome/native-messaging-hosts \
  /usr/lib/mozilla/native-messaging-hosts; do
  manifest=$name/tavlin.quillet.json
  python3 - "$manifest" <<'EOF' || fail "$manifest"
import json, sys
manifest = json.load(open(sys.argv[1]))
assert manifest["name"] == "tavlin.quillet", manifest
assert manifest["path"] == "/usr/lib/quillet/QuilletHost", manifest
allowed = manifest.get("allowed_origins") or manifest.get("allowed_extensions")
assert allowed in (["chrome-extension://cmdddjgdannanadllimbggeplkhejbig/"], ["quillet-sample@tavlin"]), manifest
EOF
done
[ "$(command -v quillet-store)" = /usr/bin/quillet-store ] || fail "quillet-store is not on PATH"
[ "$(command -v quillet-client)" = /usr/bin/quillet-client ] || fail "quillet-client is not on PATH"
man -w quillet-store quillet-client quillet-update-manifests >/dev/null || fail "man pages"

step "browser suites against the installed host"
# Test certificates and the workspace come from the build tree; the host, its libraries and
# xmlsec1 from the package.
for suite in extension firefox; do
  QUILLET_INSTALLED=1 QUILLET_STORES_TOOL="$top/build/tests/quillet_browser_stores" \
    QUILLET_BROWSER_WORK="$work/browser" node tests/browser/run.mjs "$suite" ||
    fail "the $suite suite against the installed package"
done

step "a GOST PFX through quillet-store"
home=$work/pfx-home
mkdir -p "$home/pki"
gost() { openssl "$@" -engine gost 2>/dev/null; }
gost genpkey -algorithm gost2012_256 -pkeyopt paramset:A -out "$home/pki/key.pem"
gost req -new -x509 -key "$home/pki/key.pem" -days 30 -utf8 -subj "/CN=Проверка пакета" \
  -addext keyUsage=critical,digitalSignature,nonRepudiation -out "$home/pki/cert.pem"
gost pkcs12 -export -inkey "$home/pki/key.pem" -in "$home/pki/cert.pem" -passout pass:1234 \
  -out "$home/pki/signer.pfx"
thumbprint=$(openssl x509 -in "$home/pki/cert.pem" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
(
  export HOME=$home XDG_DATA_HOME=$home/data
  quillet-store import-pfx My "$home/pki/signer.pfx" --password 1234 >/dev/null
  # The list writes thumbprints as spaced hex.
  listed() { quillet-store list My | tr -d ' ' | grep -qix "thumbprint:$thumbprint"; }
  listed || fail "the imported certificate is not listed"
  answer=$(quillet-client "{\"actionCode\":\"sign\",\"xmls\":[\"<a>1</a>\"],\"thumbprint\":\"$thumbprint\",\"password\":\"1234\"}")
  case $answer in '{"content":["<?xml'*'"success":true}') ;; *) fail "signing with the PFX's key: $answer" ;; esac
  quillet-store remove My "$thumbprint" >/dev/null
  ! listed || fail "the removed certificate is still listed"
)

step "the demo through the installed tools"
QUILLET_DEMO_BIN=/usr/bin QUILLET_DEMO_HOME="$work/demo-home" bash scripts/demo.sh >"$work/demo.log" 2>&1 ||
  { cat "$work/demo.log"; fail "the demo"; }

step "allowed extensions"
list=/etc/quillet/allowed-extensions
other=abcdefghijklmnopabcdefghijklmnop
cp "$list" "$work/allowed-extensions.orig"
echo "chromium $other" | as_root tee -a "$list" >/dev/null
as_root quillet-update-manifests >/dev/null
grep -q "chrome-extension://$other/" /etc/opt/chrome/native-messaging-hosts/tavlin.quillet.json ||
  fail "an added extension is not in the manifest"
echo "chromium not-an-id" | as_root tee -a "$list" >/dev/null
if as_root quillet-update-manifests 2>/dev/null; then fail "a bad line was accepted"; fi
grep -q "chrome-extension://$other/" /etc/chromium/native-messaging-hosts/tavlin.quillet.json ||
  fail "a refused list changed the manifest"

step "removal"
as_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq quillet >/dev/null
# Removed: only the conffile stays, and the browsers find no manifest any more.
left=()
while IFS= read -r path; do
  [ -e "$path" ] || [ -L "$path" ] || continue
  [ -d "$path" ] && [ ! -L "$path" ] && continue
  left+=("$path")
done <"$work/files.txt"
[ "${left[*]}" = /etc/quillet/allowed-extensions ] || fail "left after removal: ${left[*]}"
for generated in /var/lib/quillet/tavlin.quillet.chromium.json /var/lib/quillet/tavlin.quillet.firefox.json \
  /etc/opt/chrome/native-messaging-hosts/tavlin.quillet.json; do
  [ ! -e "$generated" ] || fail "left after removal: $generated"
done
as_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quillet >/dev/null
trap - EXIT
left=()
while IFS= read -r path; do
  if [ -L "$path" ] || { [ -e "$path" ] && [ ! -d "$path" ]; }; then left+=("$path"); fi
done <"$work/files.txt"
# The package's own directories go too; shared ones (/usr/bin, the browsers') may stay.
for dir in /usr/lib/quillet /usr/share/quillet /usr/share/doc/quillet /etc/quillet /var/lib/quillet \
  /etc/opt/chrome/native-messaging-hosts/tavlin.quillet.json; do
  [ ! -e "$dir" ] && [ ! -L "$dir" ] || left+=("$dir")
done
[ ${#left[@]} -eq 0 ] || fail "left after purging: ${left[*]}"
echo "== package: passed in $(($(date +%s) - started)) s"
echo "package: $steps passed, 0 failed"
