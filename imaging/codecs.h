#pragma once
// The picture codecs, called directly. Decoders take the whole file in
// memory and either return a complete picture or throw ImagingError; they
// never return half a picture. Encoders return the whole file in memory, so
// that it can be written in one go (see fileio.h).

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "bitmap24.h"
#include "bitmap8.h"
#include "bytesource.h"
#include "cut.h"
#include "picture.h"

namespace clipora {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// JPEG: baseline, progressive, greyscale, RGB, CMYK and YCCK (Adobe's
// inverted CMYK included). Errors: "JPEG エラー #%d" with libjpeg's code.
Picture decodeJpeg(ByteView file);
// GIF: the first image, placed on its logical screen; pixels outside it and
// those of the transparent index are transparent. Errors: "GIF エラー #%d".
Picture decodeGif(ByteView file);
// PNG: every colour type and depth, palette, tRNS, Adam7; 16-bit samples are
// scaled to 8. Errors: "PNG イメージが不正です (%s)".
Picture decodePng(ByteView file);

// The cut area of a JPEG or PNG file, flattened on white: the same pixels as
// cutArea(flattenPicture(decodeJpeg(file)), area) (or decodePng), but the
// file is decoded only down to the area's last row, and a JPEG's columns
// only around the area. A damaged part that is read is refused with the
// full decoder's message. Returns nullopt when the area does not lie inside
// the picture, when the area alone cannot give the same pixels (an
// interlaced PNG; a progressive JPEG whose scans leave coefficients short,
// so that its blocks are smoothed with their neighbours), and when only the
// whole decode can tell what becomes of the file: its part after the area is
// not plainly intact (cut short, an unexpected marker or chunk). The caller
// then decodes the whole file. Damage inside a PNG's compressed pixel data
// below the area (its IDAT chunks' contents and checksums) goes unseen, as
// those rows are never decompressed.
// Read from a ByteSource, the file is read a piece at a time: a JPEG's part
// after the area is only scanned for markers, a PNG's only for its chunks'
// lengths and checksums.
std::optional<Bitmap24> decodeJpegArea(ByteView file, const CutArea& area);
std::optional<Bitmap24> decodeJpegArea(ByteSource& file, const CutArea& area);
std::optional<Bitmap24> decodePngArea(ByteView file, const CutArea& area);
std::optional<Bitmap24> decodePngArea(ByteSource& file, const CutArea& area);

// The readers below share these rules: an animation gives its first frame,
// a file of several pictures its first (primary) one; alpha is kept as the
// picture's transparency, as for PNG; samples of more than 8 bits are
// reduced to 8 by rounding, v * 255 / max to the nearest (no tone mapping);
// colour profiles and orientation tags are not applied.
// WebP: lossy, lossless, with alpha, animated. Errors: "WebP イメージが不正です (%s)".
Picture decodeWebp(ByteView file);
// AVIF: 8, 10 and 12 bits, any chroma subsampling, alpha, sequences.
// Errors: "AVIF イメージが不正です (%s)".
Picture decodeAvif(ByteView file);
// HEIF (HEIC and AVIF inside): the primary image with the container's crop,
// rotation and mirroring applied (an encoder pads the coded picture and
// crops it back); both the coded and the resulting size are checked before
// decoding. Errors: "HEIF イメージが不正です (%s)".
Picture decodeHeif(ByteView file);
// TIFF: the first page (every photometric interpretation and compression
// libtiff knows, strips and tiles), rows in stored order; a JPEG-compressed
// strip that libjpeg finds cut short or corrupt is refused. Errors:
// "TIFF イメージが不正です (%s)".
Picture decodeTiff(ByteView file);

// Uncompressed 24-bit Windows bitmap: "BM", 40-byte header, bottom-up rows.
Bytes encodeBmp(const Bitmap24& bitmap);
// Baseline colour JPEG: defaults for RGB input, the floating-point DCT, then
// the quality with baseline tables forced. `quality` is limited to 1..100.
Bytes encodeJpeg(const Bitmap24& bitmap, int quality);
// GIF87a: no global colour table, one image at (0, 0) with a 256-entry local
// table (the bitmap's palette, padded with black), not interlaced, minimum
// code size 8, no extension blocks.
Bytes encodeGif(const Bitmap8& bitmap);
// Truecolour PNG, 8 bits per sample, every row filtered with Sub, zlib level
// 7, IDAT chunks of at most 65535 bytes; only IHDR, IDAT and IEND.
Bytes encodePng(const Bitmap24& bitmap);

}  // namespace clipora
