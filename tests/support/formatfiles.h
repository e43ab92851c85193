#pragma once
// Picture files of the formats read through Debian's libraries, written by
// the formats' own tools (cwebp, avifenc, heif-enc, tiffcp) or, for TIFF,
// by libtiff directly: for the tests and the benchmarks.

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/bitmap24.h"
#include "imaging/codecs.h"

namespace clipora::test {

// Writes `pixels` as an 8-bit RGB PNG, or RGBA with `alpha` (width * height
// bytes) when it is not empty.
void writePngFile(const std::string& path, const Bitmap24& pixels, const std::vector<std::uint8_t>& alpha = {});

// One page of a TIFF written by libtiff: interleaved samples of 8 or 16
// bits, from the top row: red, green, blue (`grey`: one grey sample, 0 is
// black unless `whiteIsZero`), then alpha when `channels` holds one more
// (`associatedAlpha`: premultiplied), in strips of `rowsPerStrip` rows or
// in tiles of `tile` x `tile` pixels, LZW-compressed.
struct TiffPage {
    int width = 0, height = 0, channels = 3, bits = 8;
    std::vector<std::uint16_t> samples;
    int rowsPerStrip = 8;
    bool grey = false, whiteIsZero = false, associatedAlpha = false;
    int tile = 0;
};
TiffPage tiffPageOf(const Bitmap24& pixels, const std::vector<std::uint8_t>& alpha = {});
void writeTiffFile(const std::string& path, const std::vector<TiffPage>& pages);

// Runs a command through the shell, its output discarded; true when it
// exits with 0.
bool runQuietly(const std::string& command);

// The picture (with `alpha` when not empty) written by the tool of the
// format named by `extension`: "webp" (cwebp), "avif" (avifenc), "heic"
// (heif-enc) or "tif" (libtiff, then tiffcp with LZW), losslessly, or with
// `quality` (1 to 100) where the format has it. The files go into `folder`.
// Empty when the tool is missing or failed.
Bytes writtenByTool(const std::string& extension, const std::string& folder, const Bitmap24& pixels,
                    const std::vector<std::uint8_t>& alpha = {}, int quality = 0);

}  // namespace clipora::test
