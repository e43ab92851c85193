// Reduction: small cases whose every pixel is known.

#include <gtest/gtest.h>

#include <vector>

#include "tests/zoom/calc/calcsupport.h"
#include "zoom/calc/zoomcalc.h"

using namespace clipora;
using namespace clipora::test;
using clipora::zoom::Transparency;

namespace {
const Transparency off{false, 0x00FF00FF, 50};

std::vector<int> reduced(const Bitmap24& source, int w, int h, const Transparency& t = off)
{
    Bitmap24 target(w, h, 7);
    zoom::zoomdown(source, target, t);
    return greyLevels(target);
}
}  // namespace

TEST(Zoomdown, ShortenedFootprintPutsAnExactHalfJustBelow)
{
    // Weights 0.999999 and 0.999998 over Wt = 2: 127.4997.
    EXPECT_EQ(reduced(greys(2, 1, {0, 255}), 1, 1), std::vector<int>{127});
    EXPECT_EQ(reduced(greys(2, 1, {255, 255}), 1, 1), std::vector<int>{255});
    EXPECT_EQ(reduced(greys(2, 1, {3, 3}), 1, 1), std::vector<int>{3});
}

TEST(Zoomdown, PartlyCoveredColumnsAreWeighted)
{
    // Footprints 0 .. 1.499999 and 1.5 .. 2.999999.
    EXPECT_EQ(reduced(greys(3, 1, {0, 90, 200}), 2, 1), (std::vector<int>{30, 163}));
}

TEST(Zoomdown, GrowingSideRepeatsOrMixesSourcePixels)
{
    // 1 x 4 to 2 x 2: each target row is the mean of two source rows.
    EXPECT_EQ(reduced(greys(1, 4, {10, 20, 30, 40}), 2, 2), (std::vector<int>{15, 15, 35, 35}));
}

TEST(Zoomdown, TransparentShareIsTakenOffTheWeight)
{
    // Wt = 2 - 0.999999, coverage about 0.5, A = 50.
    const std::uint32_t key = 0x000000FF;
    Bitmap24 source = greys(2, 1, {0, 100});
    paint(source, 0, 0, key);
    EXPECT_EQ(reduced(source, 1, 1, {true, key, 50}), std::vector<int>{100});
    Bitmap24 target(1, 1);
    zoom::zoomdown(source, target, {true, key, 40});
    EXPECT_EQ(colourAt(target, 0, 0), key);
}

TEST(Zoomdown, WhollyTransparentFootprintGivesTheTransparentColourForAnyRate)
{
    const std::uint32_t key = 0x00445566;
    Bitmap24 source(4, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            paint(source, x, y, key);
    paint(source, 3, 1, 0x00000000);
    for (int rate : {0, 50, 100, 5000}) {
        Bitmap24 target(2, 1);
        zoom::zoomdown(source, target, {true, key, rate});
        EXPECT_EQ(colourAt(target, 0, 0), key) << "rate " << rate;
    }
}

TEST(Zoomdown, NegativeRateRefusesEveryPixelEvenWithoutTransparency)
{
    Bitmap24 target(2, 2);
    zoom::zoomdown(greys(4, 4, std::vector<int>(16, 90)), target, {false, 0x00123456, -1});
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(colourAt(target, x, y), 0x00123456u);
}

TEST(Zoomdown, UniformColourStaysExact)
{
    for (int level : {0, 1, 127, 128, 254, 255}) {
        const Bitmap24 source = greys(37, 23, std::vector<int>(37 * 23, level));
        EXPECT_EQ(reduced(source, 5, 4), std::vector<int>(20, level)) << "level " << level;
        EXPECT_EQ(reduced(source, 11, 23), std::vector<int>(11 * 23, level)) << "level " << level;
    }
}

TEST(Zoomdown, ReportsProgressAfterEachRow)
{
    std::vector<int> seen;
    Bitmap24 target(3, 8);
    zoom::zoomdown(greys(6, 16, std::vector<int>(96, 1)), target, off, [&](int p) { seen.push_back(p); });
    EXPECT_EQ(seen, (std::vector<int>{12, 25, 38, 50, 62, 75, 88, 100}));
}
