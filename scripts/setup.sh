#!/usr/bin/env bash
# The main job: installs what is needed, builds everything into build/, then runs the
# demo (scripts/demo.sh) through the real QuilletHost.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash scripts/install-deps.sh
bash scripts/build.sh plain
bash scripts/demo.sh
