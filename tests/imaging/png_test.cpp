#include <gtest/gtest.h>

#include <cstring>

#include <png.h>
#include <zlib.h>

#include "imaging/codecs.h"
#include "imaging/errors.h"
#include "tests/support/testsupport.h"

using namespace clipora;

namespace {

std::uint32_t be32(const std::uint8_t* p) { return std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

struct Chunk {
    std::string type;
    Bytes data;
};

std::vector<Chunk> chunksOf(const Bytes& file)
{
    std::vector<Chunk> chunks;
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        const std::uint32_t length = be32(&file[at]);
        chunks.push_back({std::string(reinterpret_cast<const char*>(&file[at + 4]), 4),
                          Bytes(file.begin() + at + 8, file.begin() + at + 8 + length)});
        at += 12 + length;
    }
    return chunks;
}

void appendToVector(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

// Writes a PNG with libpng directly: `rows` hold the samples as stored.
Bytes writePng(int w, int h, int colourType, int depth, bool interlaced, const std::vector<Bytes>& rows,
               const std::vector<png_color>& palette = {}, const Bytes& paletteAlpha = {},
               const png_color_16* transparentColour = nullptr)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendToVector, nullptr);
    png_set_IHDR(png, info, w, h, depth, colourType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!paletteAlpha.empty() || transparentColour)
        png_set_tRNS(png, info, paletteAlpha.empty() ? nullptr : paletteAlpha.data(),
                     static_cast<int>(paletteAlpha.size()), transparentColour);
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (const Bytes& r : rows)
        pointers.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace

TEST(PngEncoder, WritesOnlyHeaderDataAndEndWithBoundedDataChunks)
{
    const Bitmap24 picture = test::randomBitmap(300, 200, 4);  // incompressible: several IDATs
    const Bytes file = encodePng(picture);
    const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_EQ(std::memcmp(file.data(), signature, 8), 0);
    const auto chunks = chunksOf(file);
    ASSERT_GE(chunks.size(), 4u);
    EXPECT_EQ(chunks.front().type, "IHDR");
    EXPECT_EQ(chunks.back().type, "IEND");
    Bytes compressed;
    for (std::size_t i = 1; i + 1 < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].type, "IDAT");
        EXPECT_LE(chunks[i].data.size(), 65535u);
        compressed.insert(compressed.end(), chunks[i].data.begin(), chunks[i].data.end());
    }
    const Bytes& ihdr = chunks.front().data;
    EXPECT_EQ(be32(&ihdr[0]), 300u);
    EXPECT_EQ(be32(&ihdr[4]), 200u);
    EXPECT_EQ(ihdr[8], 8);   // bits per sample
    EXPECT_EQ(ihdr[9], 2);   // truecolour
    EXPECT_EQ(ihdr[10], 0);
    EXPECT_EQ(ihdr[11], 0);
    EXPECT_EQ(ihdr[12], 0);  // not interlaced

    // Every row starts with filter type 1, Sub.
    Bytes raw(200 * (1 + 300 * 3));
    uLongf rawSize = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &rawSize, compressed.data(), compressed.size()), Z_OK);
    ASSERT_EQ(rawSize, raw.size());
    for (int y = 0; y < 200; ++y)
        ASSERT_EQ(raw[y * (1 + 900)], 1) << "row " << y;
    // zlib's header announces levels 7 to 9 as 3 (6, the default, would be 2).
    EXPECT_EQ((compressed[1] >> 6) & 3, 3);
}

TEST(PngEncoder, PixelsRoundTrip)
{
    for (auto [w, h] : {std::pair {1, 1}, {5, 3}, {64, 1}, {1, 64}, {77, 41}}) {
        const Bitmap24 picture = test::randomBitmap(w, h, w * 100 + h);
        const Picture decoded = decodePng(encodePng(picture));
        EXPECT_EQ(decoded.kind, PictureKind::Png);
        EXPECT_FALSE(decoded.hasTransparency());
        EXPECT_TRUE(test::samePixels(picture, decoded.pixels)) << w << "x" << h;
    }
}

struct PngCase {
    const char* name;
    int colourType, depth;
    bool interlaced;
};

void PrintTo(const PngCase& c, std::ostream* os) { *os << c.name; }

class PngDecoder : public ::testing::TestWithParam<PngCase> {};

// Each colour type and depth, written by libpng itself, decodes to the
// colours its samples stand for.
TEST_P(PngDecoder, DecodesEveryColourTypeAndDepth)
{
    const PngCase c = GetParam();
    const int w = 13, h = 11;
    const int channels = c.colourType == PNG_COLOR_TYPE_GRAY ? 1 : c.colourType == PNG_COLOR_TYPE_GA ? 2
                         : c.colourType == PNG_COLOR_TYPE_RGB ? 3 : c.colourType == PNG_COLOR_TYPE_RGBA ? 4 : 1;
    const int maxSample = (1 << c.depth) - 1;
    auto sample = [&](int x, int y, int ch) { return (x * 7 + y * 3 + ch * 5) % (maxSample + 1); };
    auto to8 = [&](int v) { return c.depth == 16 ? (v * 255 + 32767) / 65535 : v * 255 / maxSample; };

    std::vector<Bytes> rows;
    for (int y = 0; y < h; ++y) {
        Bytes row((w * channels * c.depth + 7) / 8, 0);
        for (int x = 0; x < w; ++x)
            for (int ch = 0; ch < channels; ++ch) {
                const int v = sample(x, y, ch);
                const int bit = (x * channels + ch) * c.depth;
                if (c.depth == 16) {
                    row[bit / 8] = static_cast<std::uint8_t>(v >> 8);
                    row[bit / 8 + 1] = static_cast<std::uint8_t>(v);
                } else if (c.depth == 8) {
                    row[bit / 8] = static_cast<std::uint8_t>(v);
                } else {
                    row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - c.depth - bit % 8));
                }
            }
        rows.push_back(row);
    }
    std::vector<png_color> palette;
    if (c.colourType == PNG_COLOR_TYPE_PALETTE)
        for (int i = 0; i <= maxSample; ++i)
            palette.push_back({static_cast<png_byte>(i * 10), static_cast<png_byte>(255 - i), static_cast<png_byte>(i)});
    const Picture p = decodePng(writePng(w, h, c.colourType, c.depth, c.interlaced, rows, palette));

    ASSERT_EQ(p.width(), w);
    ASSERT_EQ(p.height(), h);
    EXPECT_EQ(p.hasTransparency(), (c.colourType & PNG_COLOR_MASK_ALPHA) != 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int r, g, b;
            if (c.colourType == PNG_COLOR_TYPE_PALETTE) {
                const png_color e = palette[sample(x, y, 0)];
                r = e.red, g = e.green, b = e.blue;
            } else if (channels <= 2) {
                r = g = b = to8(sample(x, y, 0));
            } else {
                r = to8(sample(x, y, 0)), g = to8(sample(x, y, 1)), b = to8(sample(x, y, 2));
            }
            ASSERT_EQ(test::rgbAt(p.pixels, x, y), std::uint32_t(r << 16 | g << 8 | b)) << "(" << x << ", " << y << ")";
            if (p.hasTransparency()) {
                ASSERT_EQ(p.alpha[y * w + x], to8(sample(x, y, channels - 1)));
            }
        }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PngDecoder,
    ::testing::Values(PngCase {"Grey1", PNG_COLOR_TYPE_GRAY, 1, false}, PngCase {"Grey2", PNG_COLOR_TYPE_GRAY, 2, false},
                      PngCase {"Grey4", PNG_COLOR_TYPE_GRAY, 4, false}, PngCase {"Grey8", PNG_COLOR_TYPE_GRAY, 8, false},
                      PngCase {"Grey16", PNG_COLOR_TYPE_GRAY, 16, false},
                      PngCase {"GreyAlpha8", PNG_COLOR_TYPE_GA, 8, false},
                      PngCase {"GreyAlpha16", PNG_COLOR_TYPE_GA, 16, true},
                      PngCase {"Rgb8", PNG_COLOR_TYPE_RGB, 8, false}, PngCase {"Rgb16", PNG_COLOR_TYPE_RGB, 16, false},
                      PngCase {"Rgba8", PNG_COLOR_TYPE_RGBA, 8, false},
                      PngCase {"Rgba8Adam7", PNG_COLOR_TYPE_RGBA, 8, true},
                      PngCase {"Rgba16", PNG_COLOR_TYPE_RGBA, 16, false},
                      PngCase {"Rgb8Adam7", PNG_COLOR_TYPE_RGB, 8, true},
                      PngCase {"Palette1", PNG_COLOR_TYPE_PALETTE, 1, false},
                      PngCase {"Palette4", PNG_COLOR_TYPE_PALETTE, 4, true},
                      PngCase {"Palette8", PNG_COLOR_TYPE_PALETTE, 8, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PngDecoder, TransparencyChunkMakesPixelsTransparent)
{
    const std::vector<png_color> palette = {{255, 0, 0}, {0, 255, 0}};
    const std::vector<Bytes> rows = {Bytes {0, 1, 0}};
    const Picture p = decodePng(writePng(3, 1, PNG_COLOR_TYPE_PALETTE, 8, false, rows, palette, Bytes {0}));
    ASSERT_TRUE(p.hasTransparency());
    EXPECT_EQ(p.alpha, (Bytes {0, 255, 0}));

    png_color_16 key {};
    key.red = 10, key.green = 20, key.blue = 30;
    const std::vector<Bytes> rgb = {Bytes {10, 20, 30, 10, 20, 31}};
    const Picture q = decodePng(writePng(2, 1, PNG_COLOR_TYPE_RGB, 8, false, rgb, {}, {}, &key));
    EXPECT_EQ(q.alpha, (Bytes {0, 255}));
}

TEST(PngDecoder, TruncatedAndCorruptedFilesAreRefused)
{
    const Bytes file = encodePng(test::photoLike(40, 30, 2));
    for (std::size_t cut = 0; cut < file.size(); cut += 13) {
        try {
            decodePng(ByteView(file.data(), cut));
            ADD_FAILURE() << "cut at " << cut << " was accepted";
        } catch (const ImagingError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("PNG イメージが不正です (", 0), 0u) << e.what();
        }
    }
    std::uint32_t seed = 99;
    for (int round = 0; round < 300; ++round) {
        Bytes broken = file;
        seed = seed * 1103515245u + 12345u;
        broken[8 + (seed >> 8) % (broken.size() - 8)] ^= static_cast<std::uint8_t>(seed >> 24 | 1);
        // The checksums catch every single-byte change.
        EXPECT_THROW(decodePng(broken), ImagingError) << "round " << round;
    }
}
