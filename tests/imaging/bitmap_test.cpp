#include <gtest/gtest.h>

#include <algorithm>

#include "imaging/bitmap24.h"
#include "imaging/bitmap8.h"
#include "imaging/errors.h"
#include "imaging/picture.h"
#include "tests/support/testsupport.h"

using namespace clipora;
using clipora::test::makeBitmap;
using clipora::test::rgbAt;

namespace {
// Pixel (x, y) carries its own coordinates, so any misplaced copy shows.
Bitmap24 coordinates(int w, int h)
{
    return makeBitmap(w, h, [](int x, int y) { return static_cast<std::uint32_t>((x << 8) | y); });
}
}  // namespace

TEST(Bitmap24, RowsArePaddedToFourBytes)
{
    EXPECT_EQ(Bitmap24(1, 1).stride(), 4u);
    EXPECT_EQ(Bitmap24(4, 1).stride(), 12u);
    EXPECT_EQ(Bitmap24(5, 1).stride(), 16u);
    EXPECT_EQ(Bitmap24(0, 3).stride(), 0u);
    EXPECT_TRUE(Bitmap24(0, 3).empty());
}

TEST(Bitmap24, NewPixelsAreWhiteAndBlueComesFirst)
{
    Bitmap24 b(3, 2);
    EXPECT_EQ(rgbAt(b, 2, 1), 0xFFFFFFu);
    b.pixel(1, 0)[0] = 0x11;
    b.pixel(1, 0)[2] = 0x33;
    EXPECT_EQ(rgbAt(b, 1, 0), 0x33FF11u);
}

TEST(Bitmap24, RefusesNegativeAndHugeSizes)
{
    EXPECT_THROW(Bitmap24(-1, 5), ImagingError);
    EXPECT_THROW(Bitmap24(100000, 100000), ImagingError);
}

TEST(Bitmap24, ResizeKeepsTopLeftAndWhitensNewArea)
{
    Bitmap24 b = coordinates(4, 3);
    b.resize(6, 2);
    ASSERT_EQ(b.width(), 6);
    ASSERT_EQ(b.height(), 2);
    EXPECT_EQ(rgbAt(b, 3, 1), (3u << 8) | 1u);
    EXPECT_EQ(rgbAt(b, 4, 0), 0xFFFFFFu);
    b.resize(2, 4);
    EXPECT_EQ(rgbAt(b, 1, 1), (1u << 8) | 1u);
    EXPECT_EQ(rgbAt(b, 1, 3), 0xFFFFFFu);
}

struct CopyCase {
    const char* name;
    int sx, sy, w, h, dx, dy;
};

void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.name; }

class Bitmap24Copy : public ::testing::TestWithParam<CopyCase> {};

// Compared against reading the rectangle out first and then writing it.
TEST_P(Bitmap24Copy, ActsAsReadThenWrite)
{
    const CopyCase c = GetParam();
    const Bitmap24 original = coordinates(9, 7);
    Bitmap24 expected = original;
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            const int sx = c.sx + x, sy = c.sy + y, dx = c.dx + x, dy = c.dy + y;
            if (sx >= 0 && sy >= 0 && dx >= 0 && dy >= 0 && sx < 9 && sy < 7 && dx < 9 && dy < 7)
                std::copy_n(original.pixel(sx, sy), 3, expected.pixel(dx, dy));
        }
    Bitmap24 actual = original;
    actual.copyRect(c.sx, c.sy, c.w, c.h, c.dx, c.dy);
    EXPECT_TRUE(clipora::test::samePixels(expected, actual));
}

INSTANTIATE_TEST_SUITE_P(Cases, Bitmap24Copy,
                         ::testing::Values(CopyCase{"ToCorner", 3, 2, 4, 3, 0, 0},
                                           CopyCase{"OverlapDownRight", 0, 0, 6, 5, 2, 1},
                                           CopyCase{"OverlapUpLeft", 2, 1, 6, 5, 0, 0},
                                           CopyCase{"SameRowRight", 0, 3, 7, 1, 2, 3},
                                           CopyCase{"SourceOutsideLeft", -1, 0, 4, 3, 0, 0},
                                           CopyCase{"PastFarEdges", 5, 4, 10, 10, 0, 0},
                                           CopyCase{"Empty", 3, 3, 0, 2, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Bitmap8, HoldsIndicesAndAPaletteOfAtMost256)
{
    Bitmap8 b(5, 2);
    EXPECT_EQ(b.stride(), 8u);
    EXPECT_EQ(b.row(1)[4], 0);
    b.setPalette(std::vector<PaletteEntry>(256));
    EXPECT_EQ(b.palette().size(), 256u);
    EXPECT_THROW(b.setPalette(std::vector<PaletteEntry>(257)), ImagingError);
}

TEST(Picture, TransparentPixelsKeepTheTargetAndPartialOnesBlend)
{
    Picture p;
    p.pixels = makeBitmap(3, 1, [](int, int) { return 0x000000u; });
    p.alpha = {0, 255, 128};
    const Bitmap24 flat = flattenPicture(p);
    EXPECT_EQ(rgbAt(flat, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(flat, 1, 0), 0x000000u);
    EXPECT_EQ(rgbAt(flat, 2, 0), 0x7F7F7Fu);  // 255 * 127 / 255
}

TEST(Messages, PlaceholdersAreFilled)
{
    EXPECT_EQ(formatMessage(messages::jpegError, 42), "JPEG エラー #42");
    EXPECT_EQ(formatMessage(messages::cannotOpen, "/tmp/a b.png"), "ファイル /tmp/a b.png は開けません");
    EXPECT_EQ(formatMessage(messages::unsupportedExtension, ""), "拡張子 . の画像形式は処理できません");
}
