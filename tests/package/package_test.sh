#!/usr/bin/env bash
# The Debian package, checked from outside:
#   package_test.sh build BUILD OUT    makes it with cpack into OUT
#   package_test.sh contents OUT SRC   extracts it and runs the extracted clipora-cli
#   package_test.sh lintian OUT        lintian finds no error in it
#   package_test.sh metainfo SRC       appstreamcli accepts the AppStream metadata
# Exit status 77 (CTest's skip) with the reason when a tool is missing.
set -euo pipefail
skip() { echo "SKIP: $*"; exit 77; }
need() { command -v "$1" >/dev/null || skip "$1 is not installed ($2)"; }
package() { compgen -G "$1/clipora_*.deb" | head -n1; }

case $1 in
build)
  need dpkg-deb dpkg; need dpkg-shlibdeps dpkg-dev
  rm -rf "$3"
  cpack -G DEB --config "$2/CPackConfig.cmake" -B "$3" >"$3.log" 2>&1 || { cat "$3.log"; exit 1; }
  deb=$(package "$3")
  [[ -n $deb ]] || { echo "no clipora_*.deb in $3"; exit 1; }
  [[ $(basename "$deb") == clipora_*_"$(dpkg --print-architecture)".deb ]] || { echo "named $deb"; exit 1; }
  ;;
contents)
  need dpkg-deb dpkg
  deb=$(package "$2"); [[ -n $deb ]] || skip "no package was made in $2"
  root=$(mktemp -d); trap 'rm -rf "$root"' EXIT
  dpkg-deb -x "$deb" "$root"
  fail=0
  for f in bin/clipora bin/clipora-cli share/applications/clipora.desktop \
           share/icons/hicolor/48x48/apps/clipora.png share/metainfo/example.clipora.Clipora.metainfo.xml \
           share/man/man1/clipora.1.gz share/man/man1/clipora-cli.1.gz \
           share/doc/clipora/copyright share/doc/clipora/changelog.gz; do
    [[ -s "$root/usr/$f" ]] || { echo "missing: /usr/$f"; fail=1; }
  done
  gzip -t "$root"/usr/share/man/man1/*.gz || fail=1
  # The libraries come from the binaries: Qt's among them, never typed by hand.
  depends=$(dpkg-deb -f "$deb" Depends)
  [[ $depends == *libqt6gui6* && $depends == *libjpeg62-turbo* ]] || { echo "Depends: $depends"; fail=1; }
  # The extracted program does the work: the top-left 40 x 30 of the screenshot,
  # one file and as a batch, the same bytes.
  cli="$root/usr/bin/clipora-cli"
  "$cli" --version | grep -qx "clipora-cli $(dpkg-deb -f "$deb" Version)" || { echo "version differs"; fail=1; }
  QT_QPA_PLATFORM=offscreen "$cli" crop "$3/docs/screenshot.png" "$root/one.png" 0 0 40 30 || fail=1
  QT_QPA_PLATFORM=offscreen "$cli" crop --into "$root/many" 0 0 40 30 "$3/docs/screenshot.png" 2>/dev/null || fail=1
  cmp "$root/one.png" "$root/many/screenshot.png" || fail=1
  [[ $(od -An -tx1 -j16 -N8 "$root/one.png" | tr -d ' \n') == 000000280000001e ]] || { echo "not 40 x 30"; fail=1; }
  exit $fail
  ;;
lintian)
  need lintian lintian
  deb=$(package "$2"); [[ -n $deb ]] || skip "no package was made in $2"
  lintian --fail-on error --suppress-tags groff-message "$deb"
  ;;
metainfo)
  need appstreamcli appstream
  appstreamcli validate --no-net "$2/data/example.clipora.Clipora.metainfo.xml"
  ;;
esac
