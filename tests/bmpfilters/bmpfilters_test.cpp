#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>

#include "bmpfilters/bmpfilters.h"
#include "imaging/errors.h"
#include "reference.h"
#include "tests/support/testsupport.h"

using namespace clipora;
using clipora::test::makeBitmap;
using clipora::test::rgbAt;
using clipora::test::sameIndices;
using clipora::test::samePixels;

namespace {

std::uint32_t rgb(int r, int g, int b)
{
    return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
}

// The generic road: DitherBitmap, then each dithered pixel's levels.
Bitmap8 reduceThroughDitherBitmap(const Bitmap24& source)
{
    const StaticColourTables& t = staticColourTables();
    const Bitmap24 dithered = DitherBitmap(source, TQuantizeToStaticColor{});
    Bitmap8 result(source.width(), source.height());
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x) {
            const std::uint8_t* p = dithered.pixel(x, y);
            result.row(y)[x] = static_cast<std::uint8_t>(42 * t.RedLevel[p[2]] + 6 * t.GreenLevel[p[1]] + t.BlueLevel[p[0]]);
        }
    return result;
}

// Bytes crowded at both ends of the range, so that shares saturate often.
Bitmap24 nearTheEnds(int width, int height, std::uint32_t seed)
{
    std::mt19937 random(seed);
    auto channel = [&] { return (random() & 1) ? random() % 20 : 255 - random() % 20; };
    return makeBitmap(width, height, [&](int, int) { return rgb(channel(), channel(), channel()); });
}

}  // namespace

TEST(StaticColourTables, LevelRunsEndWhereTheyShould)
{
    const StaticColourTables& t = staticColourTables();
    struct Edge {
        int value, red, green;
    };
    for (const Edge e : {Edge{0, 0, 0}, Edge{21, 0, 0}, Edge{22, 0, 1}, Edge{25, 0, 1}, Edge{26, 1, 1},
                         Edge{63, 1, 1}, Edge{64, 1, 2}, Edge{76, 1, 2}, Edge{77, 2, 2}, Edge{178, 3, 4},
                         Edge{179, 4, 4}, Edge{230, 4, 5}, Edge{231, 5, 5}, Edge{233, 5, 5}, Edge{234, 5, 6},
                         Edge{255, 5, 6}}) {
        EXPECT_EQ(t.RedLevel[e.value], e.red) << e.value;
        EXPECT_EQ(t.BlueLevel[e.value], e.red) << e.value;
        EXPECT_EQ(t.GreenLevel[e.value], e.green) << e.value;
    }
    // A level's value maps back to that level, so palette colours are fixed points.
    for (std::size_t level = 0; level < RedValue.size(); ++level) {
        EXPECT_EQ(t.RedLevel[RedValue[level]], level);
        EXPECT_EQ(t.BlueLevel[BlueValue[level]], level);
    }
    for (std::size_t level = 0; level < GreenValue.size(); ++level)
        EXPECT_EQ(t.GreenLevel[GreenValue[level]], level);
}

TEST(StaticColourTables, PaletteIsRedMajorWithNamedCorners)
{
    initBmpFilters();
    initBmpFilters();  // a second start changes nothing
    const std::vector<PaletteEntry>& p = staticColourTables().StaticPalette;
    ASSERT_EQ(p.size(), 252u);
    EXPECT_EQ(p[0], (PaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(p[251], (PaletteEntry{255, 255, 255, 0}));
    EXPECT_EQ(p[210], (PaletteEntry{255, 0, 0, 0}));
    EXPECT_EQ(p[36], (PaletteEntry{0, 255, 0, 0}));
    EXPECT_EQ(p[5], (PaletteEntry{0, 0, 255, 0}));
    EXPECT_EQ(p[42 * 2 + 6 * 3 + 4], (PaletteEntry{102, 128, 204, 0}));
}

TEST(ClampByte, SaturatesAtBothEnds)
{
    EXPECT_EQ(ClampByte(-300), 0);
    EXPECT_EQ(ClampByte(-1), 0);
    EXPECT_EQ(ClampByte(0), 0);
    EXPECT_EQ(ClampByte(200), 200);
    EXPECT_EQ(ClampByte(255), 255);
    EXPECT_EQ(ClampByte(256), 255);
    EXPECT_EQ(ClampByte(1 << 30), 255);
}

TEST(ReduceToStaticPalette, MidGreyBecomesACheckerboard)
{
    const Bitmap24 grey = makeBitmap(4, 2, [](int, int) { return rgb(128, 128, 128); });

    const Bitmap24 dithered = DitherBitmap(grey, TQuantizeToStaticColor{});
    const std::uint32_t light = rgb(153, 128, 153), dark = rgb(102, 128, 102);
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(rgbAt(dithered, x, 0), x % 2 ? dark : light) << "row 0, column " << x;
        EXPECT_EQ(rgbAt(dithered, x, 1), x % 2 ? light : dark) << "row 1, column " << x;
    }

    const Bitmap8 reduced = ReduceToStaticPalette(grey);
    const std::uint8_t expected[2][4] = {{147, 104, 147, 104}, {104, 147, 104, 147}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(reduced.row(y)[x], expected[y][x]) << "pixel (" << x << ", " << y << ")";
}

struct SinglePixel {
    const char* name;
    std::uint32_t colour;     // 0xRRGGBB
    std::uint32_t quantized;  // 0xRRGGBB
    int index;
};

class ReduceSinglePixel : public ::testing::TestWithParam<SinglePixel> {};

TEST_P(ReduceSinglePixel, GetsItsLevelsColourAndIndex)
{
    const SinglePixel c = GetParam();
    const Bitmap24 source = makeBitmap(1, 1, [&](int, int) { return c.colour; });
    EXPECT_EQ(rgbAt(DitherBitmap(source, TQuantizeToStaticColor{}), 0, 0), c.quantized);
    const Bitmap8 reduced = ReduceToStaticPalette(source);
    ASSERT_EQ(reduced.width(), 1);
    ASSERT_EQ(reduced.height(), 1);
    EXPECT_EQ(reduced.row(0)[0], c.index);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReduceSinglePixel,
                         ::testing::Values(SinglePixel{"Black", 0x000000, 0x000000, 0},
                                           SinglePixel{"White", 0xFFFFFF, 0xFFFFFF, 251},
                                           SinglePixel{"PureRed", 0xFF0000, 0xFF0000, 210},
                                           SinglePixel{"LastValuesBelowTopLevels", rgb(230, 233, 230),
                                                       rgb(204, 214, 204), 202},
                                           SinglePixel{"FirstValuesOfTopLevels", rgb(231, 234, 231), 0xFFFFFF, 251}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReduceToStaticPalette, PaletteColoursPassUnchanged)
{
    // Every palette colour once, shuffled, on a 21 by 12 picture.
    std::vector<int> order(252);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    const auto& palette = staticColourTables().StaticPalette;
    const Bitmap24 source = makeBitmap(21, 12, [&](int x, int y) {
        const PaletteEntry& e = palette[order[y * 21 + x]];
        return rgb(e.red, e.green, e.blue);
    });

    EXPECT_TRUE(samePixels(source, DitherBitmap(source, TQuantizeToStaticColor{})));
    const Bitmap8 reduced = ReduceToStaticPalette(source);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 21; ++x)
            ASSERT_EQ(reduced.row(y)[x], order[y * 21 + x]) << "pixel (" << x << ", " << y << ")";
}

TEST(ReduceToStaticPalette, ResultCarriesACopyOfThePalette)
{
    const Bitmap8 reduced = ReduceToStaticPalette(test::photoLike(5, 4, 1));
    EXPECT_EQ(reduced.palette(), staticColourTables().StaticPalette);
}

TEST(ReduceToStaticPalette, EmptySourceGivesEmptyResultWithPalette)
{
    for (const auto& [w, h] : {std::pair{0, 0}, std::pair{0, 5}, std::pair{7, 0}}) {
        const Bitmap8 reduced = ReduceToStaticPalette(Bitmap24(w, h));
        EXPECT_EQ(reduced.width(), w);
        EXPECT_EQ(reduced.height(), h);
        EXPECT_EQ(reduced.palette().size(), 252u);
    }
}

TEST(ReduceToStaticPalette, LeavesTheSourceAlone)
{
    const Bitmap24 source = test::randomBitmap(13, 9, 3);
    const Bitmap24 copy = source;
    ReduceToStaticPalette(source);
    DitherBitmap(source, TQuantizeToStaticColor{});
    EXPECT_TRUE(samePixels(copy, source));
}

TEST(FilterBitmap, RefusesAnEightBitSource)
{
    const Bitmap8 eightBit(3, 2);
    auto expectRefusal = [](auto&& call) {
        try {
            call();
            ADD_FAILURE() << "no error";
        } catch (const ImagingError& e) {
            EXPECT_STREQ(e.what(), "BitmapFiletr accepts only 24Bit DIB");
        }
    };
    expectRefusal([&] { FilterBitmap(eightBit, DitherFilter, nullptr); });
    expectRefusal([&] { DitherBitmap(eightBit, TQuantizeToStaticColor{}); });
    expectRefusal([&] { ReduceToStaticPalette(eightBit); });
}

namespace {
// Without `scribble`: counts the window bytes that differ from the source
// pixel they should hold (zeros outside the picture). With it: writes over
// every byte the window offers.
struct WindowProbe {
    const Bitmap24* source;
    bool scribble = false;
    int wrongBytes = 0;
    int calls = 0;
};

void probeWindow(int x, int y, const FilterWindow& window, std::uint8_t* out, void* data)
{
    auto& probe = *static_cast<WindowProbe*>(data);
    ++probe.calls;
    const Bitmap24& s = *probe.source;
    for (int k = 0; k < FilterWindow::slotCount; ++k)
        for (int dx = -FilterWindow::margin; dx <= FilterWindow::margin; ++dx) {
            std::uint8_t* p = window.at(k, dx);
            if (probe.scribble) {
                std::fill_n(p, 3, std::uint8_t{0xA5});
                continue;
            }
            const int sx = x + dx, sy = y - 5 + k;
            const bool inside = sx >= 0 && sy >= 0 && sx < s.width() && sy < s.height();
            for (int c = 0; c < 3; ++c)
                if (p[c] != (inside ? s.pixel(sx, sy)[c] : 0))
                    ++probe.wrongBytes;
        }
    out[0] = static_cast<std::uint8_t>(x);
    out[1] = static_cast<std::uint8_t>(y);
    out[2] = 7;
}
}  // namespace

TEST(FilterBitmap, WindowHoldsTheElevenRowsAroundThePixel)
{
    const Bitmap24 source = test::randomBitmap(8, 13, 5);
    WindowProbe probe{&source};
    const Bitmap24 result = FilterBitmap(source, probeWindow, &probe);
    EXPECT_EQ(probe.calls, 8 * 13);
    EXPECT_EQ(probe.wrongBytes, 0);
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(rgbAt(result, x, y), rgb(7, y, x));
}

TEST(FilterBitmap, WritesIntoTheWindowNeverReachTheSource)
{
    const Bitmap24 source = test::randomBitmap(4, 15, 6);
    const Bitmap24 copy = source;
    WindowProbe probe{&source, true};
    FilterBitmap(source, probeWindow, &probe);
    EXPECT_TRUE(samePixels(copy, source));
}

struct Picture {
    const char* name;
    int width, height;
    Bitmap24 (*make)(int, int, std::uint32_t);
};

void PrintTo(const Picture& p, std::ostream* os)
{
    *os << p.name << " " << p.width << "x" << p.height;
}

class ReduceAgainstReference : public ::testing::TestWithParam<Picture> {};

// The fast reduction and the generic dither both agree with the plain one,
// index for index and pixel for pixel.
TEST_P(ReduceAgainstReference, SameIndicesAndColours)
{
    const Picture p = GetParam();
    for (std::uint32_t seed = 1; seed <= 3; ++seed) {
        const Bitmap24 source = p.make(p.width, p.height, seed);
        const reference::Reduced expected = reference::reduce(source);
        ASSERT_TRUE(sameIndices(expected.indices, ReduceToStaticPalette(source))) << "seed " << seed;
        ASSERT_TRUE(samePixels(expected.dithered, DitherBitmap(source, TQuantizeToStaticColor{}))) << "seed " << seed;
        ASSERT_TRUE(sameIndices(expected.indices, reduceThroughDitherBitmap(source))) << "seed " << seed;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReduceAgainstReference,
    ::testing::Values(Picture{"OnePixel", 1, 1, test::randomBitmap}, Picture{"OneColumn", 1, 37, test::randomBitmap},
                      Picture{"OneRow", 41, 1, test::randomBitmap}, Picture{"TwoByTwo", 2, 2, test::randomBitmap},
                      Picture{"FiveWideJustUnderAVector", 5, 9, test::randomBitmap},
                      Picture{"SixWideOneVectorAndTail", 6, 7, test::randomBitmap},
                      Picture{"OddRandom", 53, 29, test::randomBitmap},
                      Picture{"OddPhotoLike", 167, 61, test::photoLike},
                      Picture{"TallPhotoLike", 3, 251, test::photoLike},
                      Picture{"SaturatingWide", 99, 17, nearTheEnds},
                      Picture{"SaturatingUnderAVector", 5, 61, nearTheEnds},
                      Picture{"SaturatingOneColumn", 1, 33, nearTheEnds}),
    [](const auto& info) { return std::string(info.param.name); });
