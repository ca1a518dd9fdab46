#!/usr/bin/env bash
# Registers QuilletHost as the native messaging host "tavlin.quillet" for the current
# user in Chromium, Google Chrome and Firefox on Linux, or removes the registration.
# Each browser reads a manifest file <name>.json from its own per-user directory; the
# manifest names the host by absolute path and lists the extensions allowed to start it.
#
# Usage: register-host.sh register|unregister [options]
#   --host PATH              the QuilletHost program (default: the one beside this script
#                            in an installed copy, else build/bin/QuilletHost of this
#                            source tree)
#   --browser NAME           chromium, chrome or firefox; repeat for several (default: all)
#   --user-data-dir DIR      Chromium-family profile started with --user-data-dir=DIR:
#                            the manifest goes into DIR/NativeMessagingHosts/ instead of
#                            the browser's default profile directory (browser default:
#                            chromium)
#   --extension-id ID        Chromium-family extension ID (32 letters a-p) to allow; repeat
#                            for several (default: the sample extension)
#   --firefox-extension-id ID  Firefox add-on ID to allow; repeat for several (default:
#                            the sample extension's)
#   --manifest-dir DIR       write the manifests into DIR as tavlin.quillet.chromium.json
#                            (Chromium and Chrome) and tavlin.quillet.firefox.json instead
#                            of the browsers' directories (a package links the system-wide
#                            names to them)
#   --print                  write the manifests to standard output instead of to files
# Prints the path of every manifest written or removed.
set -euo pipefail

readonly HOST_NAME=tavlin.quillet
readonly DESCRIPTION="Quillet: signs and verifies XML documents with GOST certificates"
# The sample extension in extension/: its ID follows from the public key in its manifest
# (tools/browser/extension-id.sh prints it).
readonly SAMPLE_EXTENSION_ID=cmdddjgdannanadllimbggeplkhejbig
readonly SAMPLE_FIREFOX_ID=quillet-sample@tavlin

usage() {
  sed -n '/^# Usage:/,/^# Prints/p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

fail() {
  echo "register-host.sh: $*" >&2
  exit 1
}

# JSON string literal of a text; refuses texts with control characters.
json_string() {
  local text=$1
  [[ $text != *[[:cntrl:]]* ]] || fail "control character in '$text'"
  text=${text//\\/\\\\}
  text=${text//\"/\\\"}
  printf '"%s"' "$text"
}

# JSON array of the arguments as strings.
json_array() {
  local out="" item
  for item in "$@"; do out+="${out:+, }$(json_string "$item")"; done
  printf '[%s]' "$out"
}

# Manifest text for a browser family: chromium (allowed_origins) or firefox
# (allowed_extensions).
manifest() {
  local family=$1 allowed
  if [ "$family" = firefox ]; then
    allowed="\"allowed_extensions\": $(json_array "${firefox_ids[@]}")"
  else
    local origins=() id
    for id in "${extension_ids[@]}"; do origins+=("chrome-extension://$id/"); done
    allowed="\"allowed_origins\": $(json_array "${origins[@]}")"
  fi
  cat <<EOF
{
  "name": "$HOST_NAME",
  "description": $(json_string "$DESCRIPTION"),
  "path": $(json_string "$host"),
  "type": "stdio",
  $allowed
}
EOF
}

# Directory a browser reads per-user host manifests from.
manifest_dir() {
  if [ -n "$out_dir" ]; then echo "$out_dir"; return; fi
  local config=${XDG_CONFIG_HOME:-$HOME/.config}
  case $1 in
    chromium) echo "${user_data_dir:-${CHROME_CONFIG_HOME:-$config}/chromium}/NativeMessagingHosts" ;;
    chrome) echo "${user_data_dir:-${CHROME_CONFIG_HOME:-$config}/google-chrome}/NativeMessagingHosts" ;;
    firefox) echo "$HOME/.mozilla/native-messaging-hosts" ;;
  esac
}

family_of() { [ "$1" = firefox ] && echo firefox || echo chromium; }

[ $# -ge 1 ] || usage
action=$1
shift
case $action in register | unregister) ;; *) usage ;; esac

here=$(cd "$(dirname "$0")" && pwd)
if [ -x "$here/QuilletHost" ]; then
  host="$here/QuilletHost"
else
  host="$(cd "$here/../.." && pwd)/build/bin/QuilletHost"
fi
browsers=()
extension_ids=()
firefox_ids=()
user_data_dir=""
out_dir=""
print=false
while [ $# -gt 0 ]; do
  case $1 in
    --host) host=${2:?}; shift 2 ;;
    --browser) browsers+=("${2:?}"); shift 2 ;;
    --user-data-dir) user_data_dir=${2:?}; shift 2 ;;
    --extension-id) extension_ids+=("${2:?}"); shift 2 ;;
    --firefox-extension-id) firefox_ids+=("${2:?}"); shift 2 ;;
    --manifest-dir) out_dir=${2:?}; shift 2 ;;
    --print) print=true; shift ;;
    *) usage ;;
  esac
done

if [ ${#browsers[@]} -eq 0 ]; then
  # A profile directory belongs to one Chromium-family browser; name the other one with
  # --browser chrome.
  if [ -n "$user_data_dir" ]; then browsers=(chromium); else browsers=(chromium chrome firefox); fi
fi
[ ${#extension_ids[@]} -gt 0 ] || extension_ids=("$SAMPLE_EXTENSION_ID")
[ ${#firefox_ids[@]} -gt 0 ] || firefox_ids=("$SAMPLE_FIREFOX_ID")
for browser in "${browsers[@]}"; do
  case $browser in chromium | chrome | firefox) ;; *) fail "unknown browser '$browser'" ;; esac
done
if [ -n "$user_data_dir" ] && [[ " ${browsers[*]} " == *" firefox "* ]]; then
  fail "--user-data-dir is for Chromium-family browsers; Firefox has one directory per user"
fi
for id in "${extension_ids[@]}"; do
  [[ $id =~ ^[a-p]{32}$ ]] || fail "'$id' is not a Chromium extension ID (32 letters a-p)"
done
for id in "${firefox_ids[@]}"; do
  [[ $id =~ ^[A-Za-z0-9._@{}+-]+$ ]] || fail "'$id' is not a Firefox add-on ID"
done
if [ -n "$out_dir" ] && [ -n "$user_data_dir" ]; then
  fail "--manifest-dir and --user-data-dir exclude each other"
fi
if [ -n "$out_dir" ]; then
  mkdir -p "$out_dir"
  out_dir=$(cd "$out_dir" && pwd)
fi
if [ -n "$user_data_dir" ]; then
  mkdir -p "$user_data_dir"
  user_data_dir=$(cd "$user_data_dir" && pwd)
fi

if [ "$action" = register ]; then
  [ -f "$host" ] && [ -x "$host" ] || fail "no host program at '$host' (build it, or give --host)"
  # Browsers start the host by the manifest's path, which must be absolute.
  host=$(cd "$(dirname "$host")" && pwd)/$(basename "$host")
fi

for browser in "${browsers[@]}"; do
  dir=$(manifest_dir "$browser")
  file="$dir/$HOST_NAME.json"
  [ -z "$out_dir" ] || file="$dir/$HOST_NAME.$(family_of "$browser").json"
  if [ "$action" = unregister ]; then
    if [ -e "$file" ]; then
      rm -f "$file"
      echo "$file"
    fi
  elif $print; then
    echo "# $browser: $file"
    manifest "$(family_of "$browser")"
  else
    mkdir -p "$dir"
    manifest "$(family_of "$browser")" >"$file.tmp"
    mv -f "$file.tmp" "$file"
    echo "$file"
  fi
done
