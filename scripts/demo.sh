#!/usr/bin/env bash
# The demo: talks to the real QuilletHost in build/bin/ with the tools/ client.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
echo "== getVersion"
build/bin/quillet-client '{"actionCode":"getVersion"}'
