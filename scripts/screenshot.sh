#!/usr/bin/env bash
# Remakes docs/screenshot.png: the real main window under a virtual X display
# (Xvfb), with a picture loaded and a cut area typed in, drawn by
# tools/clipora-shot (see its header). Optional argument: a picture to load
# instead of the drawn sample scene.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${CLIPORA_BUILD_DIR:-$root/build/dev}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target clipora-shot
mkdir -p "$root/docs"
QT_QPA_PLATFORM=xcb xvfb-run -a -s '-screen 0 1024x768x24' \
  "$build/tools/clipora-shot" "$root/docs/screenshot.png" "$@"
echo "wrote $root/docs/screenshot.png"
