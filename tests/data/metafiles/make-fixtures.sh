#!/usr/bin/env bash
# Makes the metafile fixtures of this folder once, with programs that write
# metafiles of their own: an office suite's drawing export (WMF and EMF with
# Japanese text, shapes and a bitmap with transparency, which it writes as a
# mask pair) and gnuplot's EMF terminal. The files are committed; the tests
# never run this. Needs: gnuplot-nox, libreoffice-draw-nogui, python3.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/make-fixtures.py" "$work"
gnuplot "$work/plot.gp"
cp "$work/gnuplot-plot.emf" "$here/gnuplot-plot.emf"
for kind in wmf emf; do
  HOME="$work/home" soffice --headless --convert-to "$kind" --outdir "$work" "$work/drawing.fodg" >/dev/null
  cp "$work/drawing.$kind" "$here/office-drawing.$kind"
done
ls -l "$here"
