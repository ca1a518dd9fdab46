#!/usr/bin/env bash
# Builds the Windows bundle of one architecture and runs the Windows test set against it
# under Wine, in a Wine prefix of its own (build-win/<arch>/wine-prefix).
# Usage: test-win.sh [x86_64|i686]   (default x86_64: see docs/windows.md, "Tests under Wine")
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-x86_64}
case "$arch" in
  x86_64) wine=/usr/lib/wine/wine64 ;;
  i686) wine=/usr/lib/wine/wine ;;
  *) echo "usage: $0 [x86_64|i686]" >&2; exit 2 ;;
esac
bash "$top/scripts/build-win.sh" "$arch"

export WINEPREFIX="$top/build-win/$arch/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=$([ "$arch" = i686 ] && echo win32 || echo win64)
export QUILLET_WIN_BIN="$top/build-win/$arch/bin" WINE="$wine"
# The first start makes the prefix; wineserver -w waits until it is written.
[ -d "$WINEPREFIX/drive_c" ] || { "$wine" wineboot --init >/dev/null 2>&1; wineserver -w; }
python3 "$top/tests/win/wine_host_test.py"
