#!/usr/bin/env bash
# Runs every test: installs what is needed, builds from scratch where nothing is built
# yet, runs the tests of the normal build and then of the sanitizer build.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash scripts/install-deps.sh
for variant in plain asan; do
  bash scripts/build.sh "$variant"
  dir=build; [ "$variant" = asan ] && dir=build/asan
  echo "== tests ($variant)"
  ctest --test-dir "$dir" --output-on-failure -j2 --timeout 300
done
# The fuzz targets, briefly (clang build in build/fuzz/): any crash, leak or timeout fails.
echo "== fuzzing"
bash scripts/fuzz.sh all 40
bash scripts/test-win-ci.sh  # the Windows set under Wine (32-bit where it runs)
bash scripts/test-package.sh # once: the Debian package of the plain build, installed here, tested, removed
