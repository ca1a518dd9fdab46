#!/usr/bin/env bash
# Makes the certificates of the Windows test program with OpenSSL and its GOST engine,
# into the directory given: a root (GOST R 34.10-2012 256) and, issued by it,
#   gost2012-256.cer  signing usage, valid now     (passes the static checks)
#   no-usage.cer      no key-usage extension        (6)
#   expired.cer       valid 2001-2002              (7)
#   not-yet-valid.cer valid from 2090              (8)
#   rsa.cer           self-signed with RSA          (5)
# with their keys (.key, PEM) beside them.
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
ossl() { openssl "$@" 2>/dev/null; }
gost_key() { ossl genpkey -engine gost -algorithm gost2012_256 -pkeyopt paramset:A -out "$1"; }

gost_key root.key
ossl req -engine gost -x509 -new -key root.key -subj "/CN=Quillet Wine Test Root" -days 3650 \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=keyCertSign,cRLSign -out root.pem

mkdir -p ca/new && : >ca/index.txt && echo 1000 >ca/serial
cat >ca.cnf <<CNF
[ca]
default_ca = test
[test]
database = ca/index.txt
serial = ca/serial
new_certs_dir = ca/new
default_md = md_gost12_256
policy = any
unique_subject = no
copy_extensions = none
[any]
commonName = supplied
[signing]
keyUsage = digitalSignature,nonRepudiation
[no_usage]
subjectKeyIdentifier = hash
CNF
# issue <name> <extensions> <start> <end>
issue() {
  gost_key "$1.key"
  ossl req -engine gost -new -key "$1.key" -subj "/CN=Quillet Wine Test $1" -out "$1.csr"
  ossl ca -engine gost -batch -config ca.cnf -cert root.pem -keyfile root.key -in "$1.csr" \
    -extensions "$2" -startdate "$3" -enddate "$4" -out "$1.pem"
  ossl x509 -in "$1.pem" -outform DER -out "$1.cer"
}
issue gost2012-256 signing 20200101000000Z 20991231000000Z
issue no-usage no_usage 20200101000000Z 20991231000000Z
issue expired signing 20010101000000Z 20021231000000Z
issue not-yet-valid signing 20900101000000Z 20991231000000Z
ossl x509 -in root.pem -outform DER -out root.cer

ossl req -x509 -newkey rsa:2048 -nodes -keyout rsa.key -subj "/CN=Quillet Wine Test RSA" \
  -days 30 -addext keyUsage=digitalSignature,nonRepudiation -outform DER -out rsa.cer
ls ./*.cer >/dev/null
