#!/usr/bin/env bash
# The demo: signs a sample document and verifies the result through the real QuilletHost in build/bin/ with the
# tools/ client and a demo GOST certificate. Everything the demo makes lives in a demo home
# under build/ (build/demo-home, its HOME and XDG_DATA_HOME): the user's own stores and log
# are never touched. The first run makes a demo root CA and a demo signer with OpenSSL's
# GOST engine and puts them into the demo home's stores with quillet-store.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

# QUILLET_DEMO_BIN runs the demo on other copies of quillet-store and quillet-client (an
# installed package's, /usr/bin); QUILLET_DEMO_HOME puts the demo home elsewhere.
bin=${QUILLET_DEMO_BIN:-$top/build/bin}
demo=${QUILLET_DEMO_HOME:-$top/build/demo-home}
pki=$demo/pki
export HOME=$demo XDG_DATA_HOME=$demo
mkdir -p "$pki" "$demo/tavlin.quillet"

gost() { openssl "$@" -engine gost 2>/dev/null; }

if [ ! -f "$pki/signer.pem" ]; then
  echo "== making the demo certificates in $pki"
  gost genpkey -algorithm gost2012_256 -pkeyopt paramset:A -out "$pki/root.key"
  gost req -new -x509 -key "$pki/root.key" -days 3650 -utf8 \
    -subj "/CN=Quillet Demo Root CA/O=Quillet Demo" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
    -out "$pki/root.pem"
  gost genpkey -algorithm gost2012_256 -pkeyopt paramset:A -out "$pki/signer.key"
  gost req -new -key "$pki/signer.key" -utf8 \
    -subj "/CN=Демонстрационный подписант/O=Quillet Demo" -out "$pki/signer.csr"
  printf 'keyUsage=critical,digitalSignature,nonRepudiation\n' >"$pki/signer.ext"
  gost x509 -req -in "$pki/signer.csr" -CA "$pki/root.pem" -CAkey "$pki/root.key" \
    -CAcreateserial -days 365 -extfile "$pki/signer.ext" -out "$pki/signer.pem.part"
  "$bin/quillet-store" import Root "$pki/root.pem" >/dev/null
  "$bin/quillet-store" import My "$pki/signer.pem.part" --key "$pki/signer.key" >/dev/null
  mv "$pki/signer.pem.part" "$pki/signer.pem"
fi
thumbprint=$(openssl x509 -in "$pki/signer.pem" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')

echo "== getVersion"
"$bin/quillet-client" '{"actionCode":"getVersion"}'

echo "== the demo store"
"$bin/quillet-store" list My

document='<?xml version="1.0" encoding="UTF-8"?>
<Заявление номер="1"><Текст>Прошу принять документ</Текст></Заявление>'
request=$(python3 -c 'import json,sys; print(json.dumps({"actionCode": "sign",
  "xmls": [sys.argv[1]], "thumbprint": sys.argv[2]}, ensure_ascii=False))' \
  "$document" "$thumbprint")

echo "== sign with $thumbprint"
answer=$("$bin/quillet-client" "$request")
signed=$(printf '%s' "$answer" | python3 -c 'import json,sys
answer = json.load(sys.stdin)
if not answer.get("success"):
    sys.exit("sign failed: " + answer.get("errorMessage", "no message"))
print(answer["content"][0])')
printf '%s\n' "$signed"

echo "== verify the signed document"
request=$(python3 -c 'import json,sys; print(json.dumps({"actionCode": "verify",
  "xml": sys.argv[1]}, ensure_ascii=False))' "$signed")
answer=$("$bin/quillet-client" "$request")
echo "$answer"
case "$answer" in
  '{"success":true}') ;;
  *) echo "verify failed" >&2; exit 1 ;;
esac
echo "== the host's log of this run: $demo/tavlin.quillet"
