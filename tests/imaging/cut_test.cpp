#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "imaging/cut.h"
#include "imaging/errors.h"
#include "tests/support/testsupport.h"

using namespace clipora;
using clipora::test::rgbAt;

namespace {

// What the save road does, step by step: a white canvas, the picture drawn
// onto it, the area moved to the corner, the canvas cut to the area's size.
Bitmap24 cutTheLongWay(const Picture& picture, int canvasW, int canvasH, const CutArea& a)
{
    Bitmap24 canvas(canvasW, canvasH);
    drawPicture(picture, canvas);
    Bitmap24 out(a.width(), a.height());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const int sx = a.xl + x, sy = a.yu + y;
            if (sx >= 0 && sy >= 0 && sx < canvasW && sy < canvasH)
                std::copy_n(canvas.pixel(sx, sy), 3, out.pixel(x, y));
        }
    return out;
}

struct CutCase {
    const char* name;
    int canvasW, canvasH;
    CutArea area;
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.name; }

}  // namespace

class Cut : public ::testing::TestWithParam<CutCase> {};

TEST_P(Cut, MatchesDrawingOnWhiteThenCutting)
{
    const CutCase c = GetParam();
    Picture picture;
    picture.pixels = test::randomBitmap(40, 30, 3);
    EXPECT_TRUE(test::samePixels(cutTheLongWay(picture, c.canvasW, c.canvasH, c.area),
                                 cutArea(picture, c.canvasW, c.canvasH, c.area)));
    // Half the pixels transparent, a few partly covered.
    picture.alpha.resize(40 * 30);
    for (std::size_t i = 0; i < picture.alpha.size(); ++i)
        picture.alpha[i] = static_cast<std::uint8_t>(i % 2 ? 255 : i % 7 ? 0 : 100);
    EXPECT_TRUE(test::samePixels(cutTheLongWay(picture, c.canvasW, c.canvasH, c.area),
                                 cutArea(picture, c.canvasW, c.canvasH, c.area)));
}

INSTANTIATE_TEST_SUITE_P(Areas, Cut,
                         ::testing::Values(CutCase {"Inside", 40, 30, {10, 20, 30, 28}},
                                           CutCase {"WholePicture", 40, 30, {0, 0, 40, 30}},
                                           CutCase {"LeftAndUpperEdgeMinusOne", 40, 30, {-1, -1, 5, 4}},
                                           CutCase {"PastTheFarEdges", 40, 30, {35, 25, 45, 33}},
                                           CutCase {"CanvasSmallerThanPicture", 20, 10, {15, 5, 25, 15}},
                                           CutCase {"CanvasLargerThanPicture", 300, 300, {0, 0, 300, 300}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Cut, AreaFromTenTwentyGivesAHundredByFiftyPieceStartingThere)
{
    const Bitmap24 picture = test::randomBitmap(200, 100, 9);
    const Bitmap24 piece = cutArea(picture, CutArea {10, 20, 110, 70});
    ASSERT_EQ(piece.width(), 100);
    ASSERT_EQ(piece.height(), 50);
    EXPECT_EQ(rgbAt(piece, 0, 0), rgbAt(picture, 10, 20));
    EXPECT_EQ(rgbAt(piece, 99, 49), rgbAt(picture, 109, 69));
}

TEST(Cut, EmptyAreasAreRefused)
{
    const Bitmap24 picture = test::randomBitmap(10, 10, 1);
    EXPECT_THROW(cutArea(picture, (CutArea {5, 5, 5, 9})), ImagingError);
    EXPECT_THROW(cutArea(picture, (CutArea {0, 3, 10, 3})), ImagingError);
}

// A partly covered pixel over white takes the nearest integer to the exact
// blend (v * a + 255 * (255 - a)) / 255; 255 is odd, so there are no ties.
// Every value and coverage, through both roads: flattening and cutting.
TEST(Cut, PartlyCoveredPixelsOverWhiteRoundToTheNearestValue)
{
    Picture picture;
    picture.pixels = test::makeBitmap(256, 256, [](int x, int) { return 0x010101u * static_cast<std::uint32_t>(x); });
    picture.alpha.resize(256 * 256);
    for (std::size_t i = 0; i < picture.alpha.size(); ++i)
        picture.alpha[i] = static_cast<std::uint8_t>(i / 256);
    const Bitmap24 flat = flattenPicture(picture);
    const Bitmap24 cut = cutArea(picture, 256, 256, CutArea {0, 0, 256, 256});
    int wrong = 0;
    for (int a = 0; a < 256; ++a)
        for (int v = 0; v < 256; ++v) {
            const int exact255 = v * a + 255 * (255 - a);  // the blend times 255
            for (const Bitmap24* b : {&flat, &cut}) {
                const int got = b->pixel(v, a)[0];
                if (std::abs(255 * got - exact255) > 127 && wrong++ < 5)
                    ADD_FAILURE() << "value " << v << " coverage " << a << " gives " << got << " instead of "
                                  << (exact255 + 127) / 255 << (b == &flat ? " (flattened)" : " (cut)");
            }
        }
    EXPECT_EQ(wrong, 0);
}
