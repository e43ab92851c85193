#!/usr/bin/env bash
# Makes the metafile fixtures of this folder once, with programs that write
# metafiles of their own: an office suite's drawing export (WMF and EMF with
# Japanese text, shapes and a bitmap with transparency, which it writes as a
# mask pair; and one Japanese line in an installed face, whose WMF font
# records state a width) and gnuplot's EMF terminal. Then the suite renders
# every fixture to PNG at the size our player draws it (FILE.png beside
# FILE): the outside reference the tests compare with. The files are
# committed; the tests never run this. `make-fixtures.sh references` only
# renders the committed fixtures again. Needs: gnuplot-nox,
# libreoffice-draw-nogui, fonts-ipafont-gothic, python3.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
suite() { HOME="$work/home" soffice --headless "$@" >/dev/null; }

if [[ "${1:-}" != references ]]; then
  python3 "$here/make-fixtures.py" "$work"
  gnuplot "$work/plot.gp"
  cp "$work/gnuplot-plot.emf" "$here/gnuplot-plot.emf"
  for kind in wmf emf; do
    suite --convert-to "$kind" --outdir "$work" "$work/drawing.fodg"
    cp "$work/drawing.$kind" "$here/office-drawing.$kind"
    suite --convert-to "$kind" --outdir "$work" "$work/font-width.fodg"
    cp "$work/font-width.$kind" "$here/office-font-width.$kind"
  done
fi

# The suite's rendering: each fixture as the only picture of a page of its
# own nominal size, exported at 96 dots per inch.
for fixture in "$here"/*.wmf "$here"/*.emf; do
  python3 "$here/make-fixtures.py" reference "$fixture" "$work/reference.fodg"
  suite --convert-to png --outdir "$work" "$work/reference.fodg"
  cp "$work/reference.png" "$fixture.png"
done
ls -l "$here"
