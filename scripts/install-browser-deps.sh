#!/usr/bin/env bash
# Installs what the browser tests need (called by scripts/install-deps.sh, after its
# apt-get update): Debian's Chromium and Firefox ESR, Node.js when the machine has none,
# and playwright-core (for Chromium) and puppeteer-core (for Firefox) at the versions
# pinned in tests/browser/package-lock.json. Both only drive the installed browsers; they
# never download one of their own. lintian checks the Debian package (scripts/package-deb.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(chromium firefox-esr fonts-dejavu-core lintian)
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)
export DEBIAN_FRONTEND=noninteractive
as_root apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null

cd "$top/tests/browser"
# The copy of the lock file in node_modules/ says which lock file was installed last.
if ! cmp -s package-lock.json node_modules/.installed-lock.json 2>/dev/null; then
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error >/dev/null
  cp package-lock.json node_modules/.installed-lock.json
fi
