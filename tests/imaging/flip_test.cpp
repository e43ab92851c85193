// The two flips of a whole picture.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "imaging/flip.h"
#include "tests/support/testsupport.h"

using namespace clipora;
using clipora::test::makeBitmap;
using clipora::test::randomBitmap;
using clipora::test::rgbAt;
using clipora::test::samePixels;

TEST(Mirror, SmallPictureComesOutAsWrittenDown)
{
    // 0xRRGGBB of a 3 by 2 picture, rows from the top.
    const std::uint32_t picture[2][3] = {{0x010203, 0x040506, 0x070809}, {0x0A0B0C, 0x0D0E0F, 0x101112}};
    const Bitmap24 source = makeBitmap(3, 2, [&](int x, int y) { return picture[y][x]; });

    const Bitmap24 leftRight = mirroredLeftRight(source);
    const Bitmap24 upsideDown = mirroredUpsideDown(source);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(rgbAt(leftRight, x, y), picture[y][2 - x]) << "left-right " << x << ", " << y;
            EXPECT_EQ(rgbAt(upsideDown, x, y), picture[1 - y][x]) << "upside-down " << x << ", " << y;
        }
}

struct MirrorSize {
    const char* name;
    int width;
    int height;
};

class MirrorTwice : public ::testing::TestWithParam<MirrorSize> {};

TEST_P(MirrorTwice, RestoresEveryByte)
{
    const Bitmap24 source = randomBitmap(GetParam().width, GetParam().height, 5);
    EXPECT_TRUE(samePixels(source, mirroredLeftRight(mirroredLeftRight(source))));
    EXPECT_TRUE(samePixels(source, mirroredUpsideDown(mirroredUpsideDown(source))));
}

INSTANTIATE_TEST_SUITE_P(Sizes, MirrorTwice,
                         ::testing::Values(MirrorSize{"OddWidthWithPadding", 7, 5}, MirrorSize{"OnePixel", 1, 1},
                                           MirrorSize{"OneColumn", 1, 9}, MirrorSize{"OneRow", 9, 1},
                                           MirrorSize{"Empty", 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Mirror, AcrossTheNarrowSideChangesNothing)
{
    const Bitmap24 column = randomBitmap(1, 6, 1);
    const Bitmap24 row = randomBitmap(6, 1, 2);
    EXPECT_TRUE(samePixels(column, mirroredLeftRight(column)));
    EXPECT_TRUE(samePixels(row, mirroredUpsideDown(row)));
    // ... while the long side does turn round.
    EXPECT_EQ(rgbAt(mirroredUpsideDown(column), 0, 0), rgbAt(column, 0, 5));
    EXPECT_EQ(rgbAt(mirroredLeftRight(row), 0, 0), rgbAt(row, 5, 0));
}
