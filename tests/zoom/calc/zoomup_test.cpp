// Enlargement: small cases whose every pixel is known.

#include <gtest/gtest.h>

#include <vector>

#include "tests/zoom/calc/calcsupport.h"
#include "zoom/calc/zoomcalc.h"

using namespace clipora;
using namespace clipora::test;
using clipora::zoom::Transparency;

namespace {
const Transparency off{false, 0x00FF00FF, 50};
}

TEST(Zoomup, OnePixelFillsTheWholeTarget)
{
    Bitmap24 source(1, 1);
    paint(source, 0, 0, 0x00123456);
    Bitmap24 target(7, 5, 0);
    zoom::zoomup(source, target, off);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(colourAt(target, x, y), 0x00123456u) << x << ", " << y;
}

TEST(Zoomup, TwoPixelsToFourSampleAtQuarterPositions)
{
    // sx = -0.25, 0.25, 0.75, 1.25; the outer ones clamp to the edge pixels.
    Bitmap24 target(4, 1);
    zoom::zoomup(greys(2, 1, {0, 100}), target, off);
    EXPECT_EQ(greyLevels(target), (std::vector<int>{0, 25, 75, 100})) << pixelText(target);
}

TEST(Zoomup, EdgesClampToTheLastRowAndColumn)
{
    Bitmap24 target(6, 6);
    zoom::zoomup(greys(2, 2, {0, 60, 120, 180}), target, off);
    EXPECT_EQ(greyLevels(target), (std::vector<int>{0,   0,   20,  40,  60,  60,  0,   0,   20,  40,  60,  60,
                                                    40,  40,  60,  80,  100, 100, 80,  80,  100, 120, 140, 140,
                                                    120, 120, 140, 160, 180, 180, 120, 120, 140, 160, 180, 180}))
        << pixelText(target);
}

TEST(Zoomup, OnlyBottomRightTransparentUsesThePlaneOfTheOtherThree)
{
    // 2 x 2 to 1 x 1 samples at fx = fy = 0.5; coverage 0.75, A = 75.
    const std::uint32_t key = 0x00010203;
    Bitmap24 source = greys(2, 2, {10, 50, 90, 0});
    paint(source, 1, 1, key);
    for (int rate : {25, 50, 100}) {
        Bitmap24 target(1, 1);
        zoom::zoomup(source, target, {true, key, rate});
        EXPECT_EQ(greyLevels(target), (std::vector<int>{70})) << "rate " << rate;  // 10 + 20 + 40
    }
    Bitmap24 target(1, 1);
    zoom::zoomup(source, target, {true, key, 24});
    EXPECT_EQ(colourAt(target, 0, 0), key);
}

TEST(Zoomup, AllNeighboursTransparentGiveTheTransparentColourForAnyRate)
{
    const std::uint32_t key = 0x00204080;
    Bitmap24 source(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            paint(source, x, y, key);
    for (int rate : {0, 50, 100, 1000}) {
        Bitmap24 target(5, 4, 0);
        zoom::zoomup(source, target, {true, key, rate});
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                ASSERT_EQ(colourAt(target, x, y), key) << "rate " << rate;
    }
}

TEST(Zoomup, NegativeRateRefusesEveryPixelEvenWithoutTransparency)
{
    Bitmap24 target(5, 3);
    zoom::zoomup(greys(2, 2, {0, 60, 120, 180}), target, {false, 0x00336699, -5});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(colourAt(target, x, y), 0x00336699u);
}

TEST(Zoomup, ReportsProgressAfterEachRowRoundedToEven)
{
    std::vector<int> seen;
    Bitmap24 target(3, 8);
    zoom::zoomup(greys(2, 2, {0, 60, 120, 180}), target, off, [&](int p) { seen.push_back(p); });
    EXPECT_EQ(seen, (std::vector<int>{12, 25, 38, 50, 62, 75, 88, 100}));
}

TEST(Zoomup, EmptyTargetIsLeftAloneAndEmptySourceRefused)
{
    Bitmap24 empty;
    zoom::zoomup(greys(1, 1, {5}), empty, off);
    Bitmap24 target(2, 2);
    EXPECT_THROW(zoom::zoomup(Bitmap24(), target, off), std::invalid_argument);
}
