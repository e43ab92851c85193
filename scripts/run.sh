#!/usr/bin/env bash
# Installs what is missing, builds, and starts Clipora.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
exec "${CLIPORA_BUILD_DIR:-$root/build/dev}/app/clipora"
