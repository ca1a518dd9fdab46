#!/usr/bin/env bash
# Builds everything into build/ (runtime directory build/bin/), or with "asan" into
# build/asan/ with AddressSanitizer and UndefinedBehaviorSanitizer.
# The GOST-enabled xmlsec1 is built once into build/xmlsec/ and reused.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

variant=${1:-plain}
case "$variant" in
  plain) dir=build; extra=() ;;
  asan) dir=build/asan; extra=(-DQUILLET_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
  *) echo "usage: $0 [plain|asan]" >&2; exit 2 ;;
esac

bash scripts/build-xmlsec.sh
cmake -S . -B "$dir" -DQUILLET_XMLSEC_PREFIX="$top/build/xmlsec/install" "${extra[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
