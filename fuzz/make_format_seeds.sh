#!/usr/bin/env bash
# Writes the WebP, AVIF, HEIF and TIFF seeds into fuzz/corpus/<kind>/ with
# the formats' own command-line tools (webp, libavif-bin, libheif-examples,
# libtiff-tools), from small pictures made here and from the PNG seeds.
# Usage: fuzz/make_format_seeds.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
corpus=$root/fuzz/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$corpus"/{webp,avif,heif,tiff}

# A 24 x 16 colour gradient as binary PPM, 8 and 16 bits per sample.
ppm() {  # DEPTH FILE
  awk -v d="$1" 'BEGIN { m = d == 16 ? 65535 : 255; printf "P6\n24 16\n%d\n", m
    for (y = 0; y < 16; y++) for (x = 0; x < 24; x++) {
      split(sprintf("%d %d %d", x * m / 23, y * m / 15, (x + y) * m / 38), v, " ")
      for (c = 1; c <= 3; c++) if (d == 16) printf "%c%c", int(v[c] / 256), v[c] % 256; else printf "%c", v[c] } }' > "$2"
}
LC_ALL=C ppm 8 "$work/gradient.ppm"
LC_ALL=C ppm 16 "$work/gradient16.ppm"
png=$corpus/png

# TIFF: strips, tiles, compressions, 16 bits, palette, grey, alpha, two pages.
ppm2tiff -c none "$work/gradient.ppm" "$corpus/tiff/rgb-uncompressed.tif"
ppm2tiff -c lzw -r 5 "$work/gradient.ppm" "$corpus/tiff/rgb-lzw-strips-of-5.tif"
ppm2tiff -c zip "$work/gradient16.ppm" "$corpus/tiff/rgb16-deflate.tif"
tiffcp -c packbits -t -w 16 -l 16 "$corpus/tiff/rgb-uncompressed.tif" "$corpus/tiff/rgb-packbits-tiles.tif"
tiffcp -c jpeg:50 "$corpus/tiff/rgb-uncompressed.tif" "$corpus/tiff/rgb-jpeg.tif"
tiffmedian -c lzw "$corpus/tiff/rgb-uncompressed.tif" "$corpus/tiff/palette-lzw.tif"
tiff2bw "$corpus/tiff/rgb-uncompressed.tif" "$corpus/tiff/grey.tif"
tiff2rgba -c zip "$corpus/tiff/rgb-uncompressed.tif" "$corpus/tiff/rgba-deflate.tif"
tiffcp "$corpus/tiff/grey.tif" "$corpus/tiff/rgb-uncompressed.tif" "$corpus/tiff/two-pages-grey-then-rgb.tif"

# WebP: lossy, lossless, both with alpha, and a two-frame animation.
cwebp -quiet -q 50 "$work/gradient.ppm" -o "$corpus/webp/lossy.webp"
cwebp -quiet -lossless "$work/gradient.ppm" -o "$corpus/webp/lossless.webp"
cwebp -quiet -q 50 -alpha_q 50 "$png/rgba-adam7.png" -o "$corpus/webp/lossy-alpha.webp"
cwebp -quiet -lossless "$png/rgba-adam7.png" -o "$corpus/webp/lossless-alpha.webp"
img2webp -lossless "$work/gradient.ppm" -d 100 -lossy "$work/gradient.ppm" -o "$corpus/webp/animated-two-frames.webp" >/dev/null

# AVIF: 4:2:0 8 bits, lossless, 10 bits, alpha.
avifenc -j 1 -s 10 -y 420 "$png/rgb.png" "$corpus/avif/yuv420-8bit.avif" >/dev/null
avifenc -j 1 -s 10 --lossless "$png/rgb.png" "$corpus/avif/lossless.avif" >/dev/null
avifenc -j 1 -s 10 -d 10 -y 444 "$png/grey16.png" "$corpus/avif/grey-10bit.avif" >/dev/null
avifenc -j 1 -s 10 "$png/rgba-adam7.png" "$corpus/avif/alpha.avif" >/dev/null

# HEIF: HEVC lossy, lossless RGB, with alpha.
heif-enc -q 50 "$png/rgb.png" -o "$corpus/heif/hevc.heic" >/dev/null
heif-enc -L -p chroma=444 --matrix_coefficients=0 "$png/rgb.png" -o "$corpus/heif/hevc-lossless-rgb.heic" >/dev/null
heif-enc -q 50 "$png/rgba-adam7.png" -o "$corpus/heif/hevc-alpha.heic" >/dev/null
ls -l "$corpus"/{webp,avif,heif,tiff}
