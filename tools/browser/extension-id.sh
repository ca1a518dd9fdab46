#!/usr/bin/env bash
# Prints the Chromium extension ID that follows from the "key" of an extension's
# manifest.json (default: the sample extension's): the first 32 hexadecimal digits of
# the SHA-256 of the DER public key, each digit 0-f written as a letter a-p.
# Usage: extension-id.sh [manifest.json]
set -euo pipefail
manifest=${1:-$(cd "$(dirname "$0")/../.." && pwd)/extension/manifest.json}
key=$(sed -n 's/^[[:space:]]*"key":[[:space:]]*"\([A-Za-z0-9+\/=]*\)".*/\1/p' "$manifest")
[ -n "$key" ] || { echo "extension-id.sh: no \"key\" in $manifest" >&2; exit 1; }
printf '%s' "$key" | base64 -d | sha256sum | cut -c1-32 | tr 0-9a-f a-p
