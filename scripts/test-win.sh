#!/usr/bin/env bash
# Builds the Windows bundle of one architecture and runs the Windows test set against it
# under Wine, in a Wine prefix of its own (build-win/<arch>/wine-prefix):
#   1. tests/win/wine_host_test.py: QuilletHost.exe over its standard streams;
#   2. quillet_win_tests.exe (tests/win/gtest): the Windows side of the code against the
#      system's DLLs, with test certificates made by tests/win/make_test_certs.sh;
#   3. tests/win/wine_installer_test.py: the installer (scripts/build-installer.sh) installed,
#      run through its registration and uninstalled, silently.
# Usage: test-win.sh [x86_64|i686]   (default x86_64: see docs/windows.md, "Tests under Wine")
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-x86_64}
case "$arch" in
  x86_64) wine=/usr/lib/wine/wine64 ;;
  i686) wine=/usr/lib/wine/wine ;;
  *) echo "usage: $0 [x86_64|i686]" >&2; exit 2 ;;
esac
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
bash "$top/scripts/build-win.sh" "$arch"
build="$top/build-win/$arch/build"
cmake --build "$build" -j"$jobs" --target quillet_win_tests
bash "$top/scripts/build-installer.sh" "$arch"

export WINEPREFIX="$top/build-win/$arch/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;cryptdlg=n,b"
export WINEARCH=$([ "$arch" = i686 ] && echo win32 || echo win64)
export QUILLET_WIN_BIN="$top/build-win/$arch/bin" WINE="$wine"
# The first start makes the prefix; wineserver -w waits until it is written.
[ -d "$WINEPREFIX/drive_c" ] || { "$wine" wineboot --init >/dev/null 2>&1; wineserver -w; }

failed=()
echo "== Windows tests ($arch): QuilletHost.exe over its streams"
python3 "$top/tests/win/wine_host_test.py" || failed+=(wine_host_test)

echo "== Windows tests ($arch): quillet_win_tests.exe"
certs="$top/build-win/$arch/test-certs"
rm -rf "$certs"
bash "$top/tests/win/make_test_certs.sh" "$certs"
winpath() { echo "Z:${1//\//\\}"; }
bin_win=$(winpath "$QUILLET_WIN_BIN")
# The program imports xmlsec1's DLLs itself (one case builds a template): the bundle is on
# its search path. Exit code 53 with no output means a DLL it imports was not found.
QUILLET_WIN_TEST_CERTS=$(winpath "$certs") QUILLET_WIN_BIN="$bin_win" WINEPATH="$bin_win" \
  "$wine" "$build/tests/quillet_win_tests.exe" || failed+=(quillet_win_tests)
wineserver -w

echo "== Windows tests ($arch): the installer"
QUILLET_INSTALLER=$(ls "$top/build-win/$arch"/QuilletSetup-*.exe) \
  python3 "$top/tests/win/wine_installer_test.py" || failed+=(wine_installer_test)

if [ "${#failed[@]}" -gt 0 ]; then
  echo "== Windows tests ($arch) FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "== Windows tests ($arch): all passed"
