#!/usr/bin/env bash
# Installs what the browser tests need (called by scripts/install-deps.sh; only what is
# missing, scripts/apt-install-missing.sh): Debian's Chromium and Firefox ESR, Node.js when
# the machine has none, and playwright-core (for Chromium) and puppeteer-core (for Firefox) at the versions
# pinned in tests/browser/package-lock.json. Both only drive the installed browsers; they
# never download one of their own. lintian checks the Debian package (scripts/package-deb.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

source "$top/scripts/apt-install-missing.sh"

packages=(chromium firefox-esr fonts-dejavu-core lintian)
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)
apt_install_missing "${packages[@]}"

cd "$top/tests/browser"
# The copy of the lock file in node_modules/ says which lock file was installed last.
if ! cmp -s package-lock.json node_modules/.installed-lock.json 2>/dev/null; then
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error >/dev/null
  cp package-lock.json node_modules/.installed-lock.json
fi
