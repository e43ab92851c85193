#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that the program,
# its command-line companion, the menu entry and the icons arrive.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail=0
for f in bin/clipora bin/clipora-cli share/applications/clipora.desktop; do
  [[ -e "$prefix/$f" ]] || { echo "missing: $f"; fail=1; }
done
for size in 16 22 24 32 48 64 128 256; do
  [[ -s "$prefix/share/icons/hicolor/${size}x${size}/apps/clipora.png" ]] || { echo "missing icon ${size}x${size}"; fail=1; }
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/clipora.desktop" || fail=1
fi
grep -q '^Categories=.*Graphics;' "$prefix/share/applications/clipora.desktop" || { echo "not in the graphics category"; fail=1; }
grep -q '^Name\[ja\]=' "$prefix/share/applications/clipora.desktop" || { echo "no Japanese name"; fail=1; }
"$prefix/bin/clipora-cli" --help >/dev/null || fail=1
exit $fail
