#!/usr/bin/env bash
# Sourced by the install scripts: apt_install_missing PACKAGE... installs those of the
# packages that dpkg does not list as installed, after an `apt-get update`; when all are
# there it runs no apt-get at all, so that a second run (every scripts/test.sh) costs only
# the dpkg queries. QUILLET_APT_UPDATE=1 forces the update even then (a new sources entry).

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# Prints the packages of the arguments that are not installed, one a line.
apt_missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' ||
      echo "$p"
  done
}

apt_install_missing() {
  local missing
  mapfile -t missing < <(apt_missing "$@")
  if [ "${#missing[@]}" -eq 0 ] && [ "${QUILLET_APT_UPDATE:-0}" != 1 ]; then
    return 0
  fi
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get -o DPkg::Lock::Timeout=900 update -qq
  if [ "${#missing[@]}" -gt 0 ]; then
    as_root apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
  fi
}
