#pragma once
// Device-independent bitmaps as metafile records carry them: headers of
// 12, 40, 52, 56, 108 and 124 bytes; 1, 4, 8, 16, 24 and 32 bits per pixel;
// uncompressed, RLE8, RLE4, bit fields, and JPEG or PNG inside; colour
// tables of RGB values or of indices into the logical palette. Also the
// old device-dependent Bitmap16 of WMF records.

#include <QImage>

#include <vector>

#include "metafiledata.h"

namespace clipora::metafile {

// How a DIB's colour table is to be read.
enum DibUsage { dibRgbColours = 0, dibPaletteColours = 1, dibPaletteIndices = 2 };

struct Dib {
    // ARGB32, not premultiplied. Alpha 255 for every pixel the bitmap
    // defines, 0 for those an RLE bitmap skips (drawing leaves them alone);
    // with keepAlpha, 32-bit pixels carry their own alpha byte instead.
    QImage image;
    // For a bitmap of 1 bit per pixel, the bits themselves (1 = set):
    // monochrome brushes and bitmaps take their colours from the text and
    // background colours instead of the table.
    std::vector<std::uint8_t> bits;
    // Rows were stored from the bottom up (positive height): the source
    // rectangles of set-bits records count from the bottom then.
    bool bottomUp = true;
    bool monochrome() const { return !bits.empty(); }
    // The bitmap with 0 bits in `zero` and 1 bits in `one`; a copy of the
    // image when it is not monochrome.
    QImage recoloured(QRgb zero, QRgb one) const;
};

// Rows of a DIB whose bits hold only part of its rows (the band of a
// set-bits-to-device record): `count` rows from `first`, counted from the
// bottom. The other rows are left undefined.
struct DibBand {
    int first = 0;
    int count = -1;  // -1: all rows
};

// Pixels all bitmaps of one file may decode to, twice the largest picture:
// bounds the memory that pattern brushes keep and the work that a file of
// tiny compressed bitmaps of enormous declared size asks for. Past it the
// file is refused ("メタファイルの描画が多すぎます").
class DibBudget {
public:
    void charge(std::int64_t width, std::int64_t height);

private:
    std::int64_t used_ = 0;
};

// Decodes a DIB from its header and colour table (`info`) and its pixels
// (`bits`). `palette` resolves palette-index colour tables. Throws
// ImagingError for a broken or truncated bitmap, or one too large.
Dib decodeDib(DibBudget& budget, Data info, Data bits, int usage, const std::vector<QRgb>& palette, bool keepAlpha = false,
              DibBand band = {});

// A DIB whose header, colour table and pixels follow one another.
Dib decodePackedDib(DibBudget& budget, Data packed, int usage, const std::vector<QRgb>& palette, bool keepAlpha = false,
                    DibBand band = {});

// A WMF Bitmap16 (10-byte header, then word-aligned rows from the top);
// `bitsOffset` is where the rows begin after the header.
Dib decodeBitmap16(DibBudget& budget, Data bitmap, std::size_t bitsOffset);

}  // namespace clipora::metafile
