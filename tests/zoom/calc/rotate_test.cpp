// Rotation: the bounding size and the border rules.

#include <gtest/gtest.h>

#include <limits>
#include <numbers>
#include <vector>

#include "tests/zoom/calc/calcsupport.h"
#include "zoom/calc/zoomcalc.h"

using namespace clipora;
using namespace clipora::test;
using clipora::zoom::Size;
using clipora::zoom::Transparency;

namespace {
const Transparency off{false, 0x00FF00FF, 50};
}

TEST(Rotatedsize, HasNoSnappingAtRightAngles)
{
    struct Case {
        int w, h, degree, hundredths;
        Size expected;
    };
    const std::vector<Case> cases = {
        {200, 100, 90, 0, {101, 200}},  // c W + s H = 100.00000000000001
        {100, 100, 90, 0, {100, 100}},
        {640, 480, 180, 0, {641, 481}},
        {640, 480, -180, 0, {641, 481}},
        {200, 100, 45, 0, {213, 213}},
        {200, 100, 30, 0, {224, 187}},
        {200, 100, 0, 50, {201, 102}},
        {100, 100, 45, 0, {142, 142}},
        {200, 100, 0, 0, {200, 100}},
        {1, 1, 90, 0, {1, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(zoom::rotatedsize(c.w, c.h, zoom::rotationangle(c.degree, c.hundredths)), c.expected)
            << c.w << " x " << c.h << " at " << c.degree << " + " << c.hundredths << "/100";
}

TEST(Rotationangle, AlwaysAddsTheHundredths)
{
    EXPECT_DOUBLE_EQ(zoom::rotationangle(-30, 50), -29.5 * std::numbers::pi / 180);
    EXPECT_DOUBLE_EQ(zoom::rotationangle(90, 0), std::numbers::pi / 2);
    EXPECT_EQ(zoom::rotationangle(0, 0), 0.0);
}

TEST(Rotate, ZeroAngleCopiesThePictureExactly)
{
    const Bitmap24 source = randomBitmap(23, 17, 5);
    for (bool noFrameCorrection : {true, false}) {
        const Size size = zoom::rotatedsize(23, 17, 0.0);
        ASSERT_EQ(size, (Size{23, 17}));
        Bitmap24 target(size.width, size.height, 0);
        zoom::rotate(source, target, 0.0, 0x00FF0000, noFrameCorrection, off);
        EXPECT_TRUE(samePixels(source, target)) << "no frame correction " << noFrameCorrection;
    }
}

TEST(Rotate, HalfTurnSamplesBetweenPixelsAndRefusesTheCorners)
{
    // 641 x 481: every sample lies about half a pixel off; border pixels have
    // coverage one half, corner pixels one quarter.
    const std::uint32_t colour = 0x00605040, gap = 0x000000FF;
    Bitmap24 source(640, 480);
    source.fill(0x60, 0x50, 0x40);
    Bitmap24 target(641, 481, 0);
    zoom::rotate(source, target, zoom::rotationangle(180, 0), gap, true, off);
    for (int y = 0; y < 481; ++y)
        for (int x = 0; x < 641; ++x) {
            const bool corner = (x == 0 || x == 640) && (y == 0 || y == 480);
            ASSERT_EQ(colourAt(target, x, y), corner ? gap : colour) << x << ", " << y;
        }
    // At rate 49 the half-covered border is refused too.
    zoom::rotate(source, target, zoom::rotationangle(180, 0), gap, true, {false, 0, 49});
    EXPECT_EQ(colourAt(target, 0, 200), gap);
    EXPECT_EQ(colourAt(target, 320, 480), gap);
    EXPECT_EQ(colourAt(target, 320, 200), colour);
}

TEST(Rotate, HalfPixelOutsideTheLeftEdgeTakesColumnZeroOrTheGap)
{
    // A target one pixel wider at angle 0 samples sx = x - 0.5: target
    // column 0 lies half a pixel left of the picture (f00 = f01 = 0).
    const Bitmap24 source = greys(3, 2, {10, 20, 30, 40, 50, 60});
    const std::uint32_t gap = 0x00000000;
    Bitmap24 target(4, 2);
    zoom::rotate(source, target, 0.0, gap, true, {false, 0, 50});
    EXPECT_EQ(greyLevels(target), (std::vector<int>{10, 15, 25, 30, 40, 45, 55, 60})) << pixelText(target);
    zoom::rotate(source, target, 0.0, gap, true, {false, 0, 40});
    EXPECT_EQ(greyLevels(target), (std::vector<int>{0, 15, 25, 0, 0, 45, 55, 0})) << pixelText(target);
    // With frame correction the border blends half into the gap colour.
    zoom::rotate(source, target, 0.0, gap, false, {false, 0, 40});
    EXPECT_EQ(greyLevels(target), (std::vector<int>{5, 15, 25, 15, 20, 45, 55, 30})) << pixelText(target);
}

TEST(Rotate, GapEqualToTheTransparentColourFillsOutsideAndTransparentAreas)
{
    const std::uint32_t key = 0x00FF00FF;
    Bitmap24 source = photoLike(40, 30, 9);
    for (int y = 10; y < 20; ++y)
        for (int x = 12; x < 28; ++x)
            paint(source, x, y, key);
    const double angle = zoom::rotationangle(30, 0);
    const Size size = zoom::rotatedsize(40, 30, angle);
    Bitmap24 target(size.width, size.height, 0);
    zoom::rotate(source, target, angle, key, true, {true, key, 50});
    EXPECT_EQ(colourAt(target, 0, 0), key);
    EXPECT_EQ(colourAt(target, size.width - 1, size.height - 1), key);
    EXPECT_EQ(colourAt(target, size.width / 2, size.height / 2), key);  // the turned square's middle
    EXPECT_NE(colourAt(target, size.width / 2, size.height / 2 - 12), key);
}

TEST(Rotate, UniformPictureStaysExactInside)
{
    Bitmap24 source(31, 19);
    source.fill(7, 200, 99);
    const double angle = zoom::rotationangle(-37, 25);
    const Size size = zoom::rotatedsize(31, 19, angle);
    Bitmap24 target(size.width, size.height);
    zoom::rotate(source, target, angle, 0x00000000, true, off);
    EXPECT_EQ(colourAt(target, size.width / 2, size.height / 2), 0x0007C863u);
    EXPECT_EQ(colourAt(target, 0, 0), 0u);
}

TEST(Rotate, NegativeRateGivesTheGapColourEverywhere)
{
    Bitmap24 target(5, 5);
    zoom::rotate(greys(5, 5, std::vector<int>(25, 9)), target, 0.3, 0x00ABCDEF, true, {false, 0, -1});
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(colourAt(target, x, y), 0x00ABCDEFu);
}

TEST(Rotate, RefusesAnAngleThatIsNotANumber)
{
    Bitmap24 target(3, 3);
    EXPECT_THROW(zoom::rotate(greys(1, 1, {1}), target, std::numeric_limits<double>::quiet_NaN(), 0, true, off),
                 std::invalid_argument);
    EXPECT_THROW(zoom::rotatedsize(3, 3, std::numeric_limits<double>::infinity()), std::invalid_argument);
}
