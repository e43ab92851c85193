#include <gtest/gtest.h>

#include <algorithm>

#include <gif_lib.h>

#include "imaging/codecs.h"
#include "imaging/errors.h"
#include "tests/support/testsupport.h"

using namespace clipora;

namespace {

Bitmap8 sampleIndices(int w, int h, int colours)
{
    Bitmap8 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.row(y)[x] = static_cast<std::uint8_t>((x * 31 + y * 17) % colours);
    std::vector<PaletteEntry> palette;
    for (int i = 0; i < colours; ++i)
        palette.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                           static_cast<std::uint8_t>(i * 7), 0});
    b.setPalette(palette);
    return b;
}

int appendOut(GifFileType* gif, const GifByteType* data, int n)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

struct GifLayout {
    int screenW, screenH, left, top, w, h;
    bool interlaced;
    int transparent;  // -1 for none
    bool globalTable;
};

// A GIF89a written with giflib directly: four colours, pixel (x, y) of the
// image carrying index (x + 2y) % 4.
Bytes writeGif(const GifLayout& l)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendOut, &error);
    GifColorType colours[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, l.screenW, l.screenH, 8, 0, l.globalTable ? map : nullptr);
    if (l.transparent >= 0) {
        GraphicsControlBlock control {};
        control.TransparentColor = l.transparent;
        GifByteType block[4];
        EGifGCBToExtension(&control, block);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block);
    }
    EGifPutImageDesc(gif, l.left, l.top, l.w, l.h, l.interlaced, l.globalTable ? nullptr : map);
    std::vector<GifPixelType> line(l.w);
    auto put = [&](int y) {
        for (int x = 0; x < l.w; ++x)
            line[x] = static_cast<GifPixelType>((x + 2 * y) % 4);
        EGifPutLine(gif, line.data(), l.w);
    };
    if (l.interlaced) {
        const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < l.h; y += step[pass])
                put(y);
    } else {
        for (int y = 0; y < l.h; ++y)
            put(y);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

}  // namespace

TEST(GifEncoder, WritesAPlainGif87aWithOneLocalTable)
{
    const Bitmap8 picture = sampleIndices(21, 9, 252);
    const Bytes file = encodeGif(picture);
    ASSERT_GT(file.size(), 13u + 10 + 768 + 2);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "GIF87a");
    EXPECT_EQ(file[6] | file[7] << 8, 21);  // logical screen
    EXPECT_EQ(file[8] | file[9] << 8, 9);
    EXPECT_EQ(file[10] & 0x80, 0);          // no global colour table
    const std::size_t image = 13;
    EXPECT_EQ(file[image], 0x2C);  // the image follows directly: no extension block
    EXPECT_EQ(file[image + 1] | file[image + 2] << 8, 0);
    EXPECT_EQ(file[image + 3] | file[image + 4] << 8, 0);
    EXPECT_EQ(file[image + 5] | file[image + 6] << 8, 21);
    EXPECT_EQ(file[image + 7] | file[image + 8] << 8, 9);
    const std::uint8_t flags = file[image + 9];
    EXPECT_EQ(flags & 0x80, 0x80);  // local table
    EXPECT_EQ(flags & 0x40, 0);     // not interlaced
    EXPECT_EQ(flags & 0x07, 7);     // 2^(7+1) = 256 entries
    const std::size_t table = image + 10;
    EXPECT_EQ(file[table + 3 * 5 + 0], 5);        // entry 5: red
    EXPECT_EQ(file[table + 3 * 5 + 1], 250);      // green
    EXPECT_EQ(file[table + 3 * 252], 0);          // unused entries are black
    EXPECT_EQ(file[table + 3 * 255 + 2], 0);
    EXPECT_EQ(file[table + 768], 8);  // minimum code size
    EXPECT_EQ(file.back(), 0x3B);     // trailer
}

TEST(GifEncoder, IndicesRoundTripThroughTheDecoder)
{
    for (auto [w, h] : {std::pair {1, 1}, {1, 40}, {40, 1}, {123, 45}}) {
        const Bitmap8 picture = sampleIndices(w, h, 252);
        const Picture decoded = decodeGif(encodeGif(picture));
        ASSERT_EQ(decoded.width(), w);
        ASSERT_EQ(decoded.height(), h);
        EXPECT_FALSE(decoded.hasTransparency());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const PaletteEntry e = picture.palette()[picture.row(y)[x]];
                ASSERT_EQ(test::rgbAt(decoded.pixels, x, y), std::uint32_t(e.red << 16 | e.green << 8 | e.blue));
            }
    }
}

TEST(GifDecoder, InterlacedTransparentAndPlacedImages)
{
    const std::uint32_t colour[4] = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    for (const GifLayout l : {GifLayout {10, 19, 0, 0, 10, 19, true, -1, false},
                              GifLayout {12, 9, 2, 3, 5, 4, false, 1, true},
                              GifLayout {0, 0, 0, 0, 6, 5, false, 0, false}}) {
        const Picture p = decodeGif(writeGif(l));
        EXPECT_EQ(p.kind, PictureKind::Gif);
        ASSERT_EQ(p.width(), std::max(l.screenW, l.left + l.w));
        ASSERT_EQ(p.height(), std::max(l.screenH, l.top + l.h));
        const bool anyTransparent = l.transparent >= 0 || p.width() > l.w || p.height() > l.h;
        ASSERT_EQ(p.hasTransparency(), anyTransparent);
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x) {
                const int ix = x - l.left, iy = y - l.top;
                const bool inside = ix >= 0 && iy >= 0 && ix < l.w && iy < l.h;
                const int index = inside ? (ix + 2 * iy) % 4 : -1;
                const bool opaque = inside && index != l.transparent;
                if (anyTransparent) {
                    ASSERT_EQ(p.alpha[y * p.width() + x], opaque ? 255 : 0) << x << "," << y;
                }
                if (opaque) {
                    ASSERT_EQ(test::rgbAt(p.pixels, x, y), colour[index]) << x << "," << y;
                }
            }
    }
}

TEST(GifDecoder, BrokenFilesRaiseTheGifError)
{
    try {
        decodeGif(Bytes {'G', 'I', 'F', '8', '9'});
        FAIL() << "no error";
    } catch (const ImagingError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("GIF エラー #", 0), 0u) << e.what();
    }
    const Bytes file = encodeGif(sampleIndices(60, 50, 252));
    // Cut anywhere before the image data ends: refused, never half-shown.
    for (std::size_t cut = 0; cut + 2 < file.size(); cut += 11)
        EXPECT_THROW(decodeGif(ByteView(file.data(), cut)), ImagingError) << "cut at " << cut;
    std::uint32_t seed = 7;
    for (int round = 0; round < 300; ++round) {
        Bytes broken = file;
        seed = seed * 1103515245u + 12345u;
        broken[(seed >> 8) % broken.size()] ^= static_cast<std::uint8_t>(seed >> 24 | 1);
        try {
            decodeGif(broken);
        } catch (const ImagingError&) {
        }
    }
}
