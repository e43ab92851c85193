// The metafile player: real files written by other programs compared with
// reference renderings, and small files written here, record by record,
// whose pixels are known.

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "imaging/errors.h"
#include "metafilebuilder.h"
#include "tests/support/testsupport.h"
#include "metafile/metafile.h"
#include "metafile/metafiletext.h"

using namespace clipora;
using namespace clipora::test;

namespace {

const std::filesystem::path fixtures = std::filesystem::path(CLIPORA_TEST_DATA) / "metafiles";

Bytes readFixture(const std::string& name)
{
    std::ifstream in(fixtures / name, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Picture readMetafile(const std::string& name, const Bytes& bytes)
{
    return name.ends_with(".wmf") ? readWmf(bytes) : readEmf(bytes);
}

// The pixel as 0xAARRGGBB; transparent pixels read as transparent white.
QRgb argb(const Picture& p, int x, int y)
{
    const std::uint8_t* px = p.pixels.pixel(x, y);
    const int a = p.hasTransparency() ? p.alpha[static_cast<std::size_t>(y) * p.width() + x] : 255;
    return qRgba(px[2], px[1], px[0], a);
}

QImage toImage(const Picture& p)
{
    QImage image(p.width(), p.height(), QImage::Format_ARGB32);
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x)
            image.setPixel(x, y, argb(p, x, y));
    return image;
}

constexpr QRgb transparent = 0x00ffffff;
constexpr QRgb opaqueRed = 0xffff0000, opaqueGreen = 0xff00ff00, opaqueBlue = 0xff0000ff;
constexpr QRgb opaqueBlack = 0xff000000, opaqueWhite = 0xffffffff;

// Counts pixels that differ by more than `tolerance` in some channel,
// alpha included, and names the first.
::testing::AssertionResult closeTo(const QImage& expected, const QImage& actual, int tolerance,
                                   double allowedShare)
{
    if (expected.size() != actual.size())
        return ::testing::AssertionFailure() << "size " << actual.width() << "x" << actual.height() << ", expected "
                                             << expected.width() << "x" << expected.height();
    long long differing = 0;
    QString first;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb e = expected.pixel(x, y), a = actual.pixel(x, y);
            const int d = std::max({std::abs(qRed(e) - qRed(a)), std::abs(qGreen(e) - qGreen(a)),
                                    std::abs(qBlue(e) - qBlue(a)), std::abs(qAlpha(e) - qAlpha(a))});
            if (d > tolerance) {
                if (differing++ == 0)
                    first = QStringLiteral("first at (%1, %2): %3, expected %4")
                                .arg(x)
                                .arg(y)
                                .arg(a, 8, 16, QLatin1Char('0'))
                                .arg(e, 8, 16, QLatin1Char('0'));
            }
        }
    }
    const double share = static_cast<double>(differing) / (expected.width() * expected.height());
    if (share > allowedShare)
        return ::testing::AssertionFailure() << differing << " pixels differ; " << first.toStdString();
    return ::testing::AssertionSuccess();
}

// A 96 x 96 pixel WMF, one unit a pixel.
WmfWriter pixelWmf(int width = 96, int height = 96) { return WmfWriter(width, height, 96); }

void selectNewBrush(WmfWriter& w, std::uint32_t colour, int slot)
{
    w.add(wmfCreateBrush, wmfBrush(0, colour));
    w.add(wmfSelectObject, {slot});
}

void selectNullPen(WmfWriter& w, int slot)
{
    w.add(wmfCreatePen, wmfPen(5, 0, 0));
    w.add(wmfSelectObject, {slot});
}

}  // namespace

// Real files

struct FixtureCase {
    const char* file;
    int width, height;
    double mismatchedShare;  // pixels allowed to differ from the office suite's rendering
};

void PrintTo(const FixtureCase& c, std::ostream* out)
{
    *out << c.file;
}

// Our drawing beside the office suite's rendering of the same file (made
// once by make-fixtures.sh), both on white. Two measures, loose enough for
// two rasterisers and two font renderers, tight enough for a shift or a
// stretch of a few percent:
// - the ink's bounding box (pixels more than inkLevel from white): each
//   edge within 3% of the reference ink's width or height, and at least
//   within a pixel (two rasterisers round a shape's edge apart);
// - pixels that match nothing within one pixel of their place (by more than
//   mismatchLevel in some channel): at most a few percent of the picture.
// Checked by hand: moving our drawing 3 pixels sideways fails four of the
// five files, stretching it by 4% fails all five.
constexpr int inkLevel = 64;
constexpr int mismatchLevel = 96;
constexpr double edgeTolerance = 0.03;

QImage onWhite(const QImage& image)
{
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter(&out).drawImage(0, 0, image);
    return out;
}

int distance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

QRect inkBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (distance(image.pixel(x, y), qRgb(255, 255, 255)) > inkLevel)
                box |= QRect(x, y, 1, 1);
    return box;
}

// The share of pixels of `actual` that differ from every reference pixel
// within one pixel of their place.
double mismatchedShare(const QImage& expected, const QImage& actual)
{
    long long mismatched = 0;
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            int best = 255;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (expected.valid(x + dx, y + dy))
                        best = std::min(best, distance(expected.pixel(x + dx, y + dy), actual.pixel(x, y)));
            mismatched += best > mismatchLevel;
        }
    }
    return static_cast<double>(mismatched) / (static_cast<double>(actual.width()) * actual.height());
}

class MetafileFixture : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(MetafileFixture, DrawsAsTheOfficeSuiteRendersIt)
{
    const FixtureCase c = GetParam();
    const Picture picture = readMetafile(c.file, readFixture(c.file));
    EXPECT_EQ(picture.kind, PictureKind::Metafile);
    ASSERT_EQ(picture.width(), c.width);
    ASSERT_EQ(picture.height(), c.height);
    const QString reference = QString::fromStdString((fixtures / (std::string(c.file) + ".png")).string());
    const QImage expected = onWhite(QImage(reference));
    ASSERT_EQ(expected.size(), QSize(c.width, c.height)) << reference.toStdString();
    const QImage actual = onWhite(toImage(picture));

    const QRect e = inkBox(expected), a = inkBox(actual);
    ASSERT_FALSE(e.isEmpty());
    const double dx = std::max(1.0, edgeTolerance * e.width()), dy = std::max(1.0, edgeTolerance * e.height());
    EXPECT_LE(std::abs(a.left() - e.left()), dx) << "left edge of the ink";
    EXPECT_LE(std::abs(a.right() - e.right()), dx) << "right edge of the ink";
    EXPECT_LE(std::abs(a.top() - e.top()), dy) << "top edge of the ink";
    EXPECT_LE(std::abs(a.bottom() - e.bottom()), dy) << "bottom edge of the ink";
    EXPECT_LE(mismatchedShare(expected, actual), c.mismatchedShare);
}

INSTANTIATE_TEST_SUITE_P(Files, MetafileFixture,
                         // Measured: 4.3%, 0.3%, 0.3%, 1.5% and 0.1% (thin plot lines and
                         // markers fall between pixels differently).
                         ::testing::Values(FixtureCase{"gnuplot-plot.emf", 319, 239, 0.06},
                                           FixtureCase{"office-drawing.emf", 302, 227, 0.01},
                                           FixtureCase{"office-drawing.wmf", 302, 227, 0.01},
                                           FixtureCase{"office-font-width.emf", 378, 76, 0.025},
                                           FixtureCase{"office-font-width.wmf", 378, 76, 0.01}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST(MetafileFixtures, MaskPairLeavesTheBitmapsCornersTransparent)
{
    // The office suite writes a bitmap with transparency as two raster
    // operations (in the EMF with an RLE8 mask): around the disc nothing may show.
    for (const char* file : {"office-drawing.emf", "office-drawing.wmf"}) {
        SCOPED_TRACE(file);
        const Picture p = readMetafile(file, readFixture(file));
        // The disc's bitmap covers (178, 136)-(238, 196); its corners are outside the disc.
        EXPECT_EQ(qAlpha(argb(p, 180, 138)), 0);
        EXPECT_EQ(qAlpha(argb(p, 236, 194)), 0);
        EXPECT_EQ(argb(p, 208, 166), opaqueBlue);  // the square at its middle
        EXPECT_EQ(argb(p, 208, 141), opaqueRed);   // the disc above it
        EXPECT_EQ(qAlpha(argb(p, 2, 2)), 0);       // nothing drawn in the page corner
    }
}

TEST(MetafileFixtures, WmfAndEmfOfOneDrawingAgree)
{
    const Picture wmf = readWmf(readFixture("office-drawing.wmf"));
    const Picture emf = readEmf(readFixture("office-drawing.emf"));
    // Outlines and text may fall a pixel apart; most of the picture may not.
    EXPECT_TRUE(closeTo(toImage(emf), toImage(wmf), 64, 0.06));
}

TEST(MetafileFixtures, EveryCutShortFileIsRefused)
{
    for (const char* file : {"gnuplot-plot.emf", "office-drawing.emf", "office-drawing.wmf", "office-font-width.emf",
                             "office-font-width.wmf"}) {
        SCOPED_TRACE(file);
        const Bytes whole = readFixture(file);
        ASSERT_FALSE(whole.empty());
        std::vector<std::size_t> lengths;
        for (std::size_t n = 0; n < 128; ++n)
            lengths.push_back(n);
        for (std::size_t n = 128; n < whole.size(); n += whole.size() / 97)
            lengths.push_back(n);
        for (std::size_t n = 1; n <= 24; ++n)
            lengths.push_back(whole.size() - n);
        for (std::size_t n : lengths) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
            EXPECT_THROW(readMetafile(file, cut), ImagingError) << "cut at " << n;
        }
    }
}

TEST(MetafileFixtures, DamagedBytesNeverCrash)
{
    std::mt19937 random(20240611);
    for (const char* file : {"gnuplot-plot.emf", "office-drawing.emf", "office-drawing.wmf", "office-font-width.emf",
                             "office-font-width.wmf"}) {
        SCOPED_TRACE(file);
        const Bytes whole = readFixture(file);
        for (int round = 0; round < 60; ++round) {
            Bytes damaged = whole;
            for (int i = 0; i < 4; ++i) {
                const std::size_t at = random() % damaged.size();
                damaged[at] = static_cast<std::uint8_t>(round % 3 == 0 ? 0xff : random());
            }
            try {
                const Picture p = readMetafile(file, damaged);
                EXPECT_GT(p.width(), 0);
            } catch (const ImagingError&) {
                // refusing is fine; crashing or hanging is not
            }
        }
    }
}

// Headers and sizes

TEST(WmfSize, PlaceableBoxInItsUnitsPerInchAt96Dpi)
{
    struct Case {
        int right, bottom, inch, width, height;
    } cases[] = {{96, 48, 96, 96, 48}, {1440, 720, 1440, 96, 48}, {8000, 6000, 2540, 302, 227}};
    for (const Case& c : cases) {
        WmfWriter w(c.right, c.bottom, c.inch);
        w.add(wmfRectangle, {c.bottom, c.right, 0, 0});
        const Picture p = readWmf(w.bytes());
        EXPECT_EQ(p.width(), c.width);
        EXPECT_EQ(p.height(), c.height);
    }
}

TEST(WmfSize, WithoutPlaceableHeaderTheDrawnExtent)
{
    WmfWriter w(0, 0, 96, false);
    w.add(wmfRectangle, {70, 50, 20, 10});  // (10, 20)-(50, 70)
    const Picture p = readWmf(w.bytes());
    EXPECT_EQ(p.width(), 40);
    EXPECT_EQ(p.height(), 50);
    EXPECT_EQ(qAlpha(argb(p, 20, 25)), 255);
}

TEST(EmfSize, FrameIn100thsOfAMillimetreAt96Dpi)
{
    EmfWriter e(192, 96);
    e.add(emrRectangle, {0, 0, 192, 96});
    const Picture p = readEmf(e.bytes());
    EXPECT_EQ(p.width(), 192);
    EXPECT_EQ(p.height(), 96);
}

// Shapes, objects and state

TEST(WmfDrawing, FilledRectangleOnTransparentGround)
{
    WmfWriter w = pixelWmf();
    selectNewBrush(w, ref(255, 0, 0), 0);
    selectNullPen(w, 1);
    w.add(wmfRectangle, {60, 50, 20, 10});
    const Picture p = readWmf(w.bytes());
    EXPECT_EQ(argb(p, 30, 40), opaqueRed);
    EXPECT_EQ(argb(p, 5, 5), transparent);
    EXPECT_EQ(argb(p, 70, 40), transparent);
}

TEST(WmfDrawing, WindowIsMappedOntoThePicture)
{
    // Window (0, 0)-(1000, 1000) on a 96-pixel picture: the rectangle
    // (500, 0)-(1000, 500) is its top right quarter.
    WmfWriter w = pixelWmf();
    w.add(wmfSetWindowOrg, {0, 0});
    w.add(wmfSetWindowExt, {1000, 1000});
    selectNewBrush(w, ref(0, 0, 255), 0);
    selectNullPen(w, 1);
    w.add(wmfRectangle, {500, 1000, 0, 500});
    const Picture p = readWmf(w.bytes());
    EXPECT_EQ(argb(p, 72, 24), opaqueBlue);
    EXPECT_EQ(argb(p, 24, 24), transparent);
    EXPECT_EQ(argb(p, 72, 72), transparent);
}

TEST(WmfDrawing, NewObjectsTakeTheLowestFreeSlot)
{
    WmfWriter w = pixelWmf();
    w.add(wmfCreateBrush, wmfBrush(0, ref(255, 0, 0)));  // slot 0
    w.add(wmfCreateBrush, wmfBrush(0, ref(0, 255, 0)));  // slot 1
    w.add(wmfDeleteObject, {0});
    w.add(wmfCreateBrush, wmfBrush(0, ref(0, 0, 255)));  // slot 0 again
    selectNullPen(w, 2);
    w.add(wmfSelectObject, {0});
    w.add(wmfRectangle, {40, 40, 0, 0});
    w.add(wmfSelectObject, {1});
    w.add(wmfRectangle, {90, 90, 50, 50});
    const Picture p = readWmf(w.bytes());
    EXPECT_EQ(argb(p, 20, 20), opaqueBlue);
    EXPECT_EQ(argb(p, 70, 70), opaqueGreen);
}

TEST(WmfDrawing, RestoreDcBringsBackTheBrush)
{
    WmfWriter w = pixelWmf();
    selectNullPen(w, 0);
    selectNewBrush(w, ref(255, 0, 0), 1);
    w.add(wmfSaveDc, {});
    selectNewBrush(w, ref(0, 255, 0), 2);
    w.add(wmfRestoreDc, {-1});
    w.add(wmfRectangle, {40, 40, 0, 0});
    EXPECT_EQ(argb(readWmf(w.bytes()), 20, 20), opaqueRed);
}

TEST(WmfDrawing, ClipRectanglesAndRegions)
{
    struct Case {
        const char* name;
        std::function<void(WmfWriter&)> clip;
        QRgb inside, outside;  // at (20, 20) and (70, 70)
    };
    const Case cases[] = {
        {"intersect", [](WmfWriter& w) { w.add(wmfIntersectClipRect, {50, 50, 0, 0}); }, opaqueRed, transparent},
        {"exclude", [](WmfWriter& w) { w.add(wmfExcludeClipRect, {50, 50, 0, 0}); }, transparent, opaqueRed},
        {"region",
         [](WmfWriter& w) {
             // A region of one scan (60, 60)-(90, 90), selected as clip.
             Bytes r;
             for (int v : {0, 6, 1, 0, 40, 1, 2, 60, 60, 90, 90, 2, 60, 90, 60, 90, 2})
                 put16(r, v);
             w.add(wmfCreateRegion, r);
             w.add(wmfSelectClipRegion, {2});
         },
         transparent, opaqueRed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WmfWriter w = pixelWmf();
        selectNullPen(w, 0);
        selectNewBrush(w, ref(255, 0, 0), 1);
        c.clip(w);
        w.add(wmfRectangle, {96, 96, 0, 0});
        const Picture p = readWmf(w.bytes());
        EXPECT_EQ(argb(p, 20, 20), c.inside);
        EXPECT_EQ(argb(p, 70, 70), c.outside);
    }
}

TEST(WmfDrawing, PieIsDrawnCounterClockwiseFromStartToEnd)
{
    // From the radial at 3 o'clock to the one at 12 o'clock: the upper right quarter.
    WmfWriter w = pixelWmf();
    selectNullPen(w, 0);
    selectNewBrush(w, ref(0, 255, 0), 1);
    w.add(wmfPie, {0, 48, 48, 96, 88, 88, 8, 8});
    const Picture p = readWmf(w.bytes());
    EXPECT_EQ(argb(p, 64, 32), opaqueGreen);
    EXPECT_EQ(argb(p, 32, 32), transparent);
    EXPECT_EQ(argb(p, 32, 64), transparent);
    EXPECT_EQ(argb(p, 64, 64), transparent);
}

TEST(WmfDrawing, XorPenInvertsWhatItCrosses)
{
    WmfWriter w = pixelWmf();
    selectNullPen(w, 0);
    selectNewBrush(w, ref(255, 255, 255), 1);
    w.add(wmfRectangle, {48, 96, 0, 0});  // top half white
    selectNewBrush(w, ref(255, 0, 0), 2);
    w.add(wmfSetRop2, {7});                // R2_XORPEN
    w.add(wmfRectangle, {96, 96, 0, 48});  // right half
    const Picture p = readWmf(w.bytes());
    EXPECT_EQ(argb(p, 70, 20), 0xff00ffff);  // white xor red
    EXPECT_EQ(argb(p, 20, 20), opaqueWhite);
    // Over the transparent ground the picture is taken as white.
    EXPECT_EQ(argb(p, 70, 70), 0xff00ffff);
    EXPECT_EQ(argb(p, 20, 70), transparent);
}

TEST(WmfDrawing, HatchGapsFollowTheBackgroundMode)
{
    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode == 1 ? "transparent" : "opaque");
        WmfWriter w = pixelWmf();
        w.add(wmfSetBkMode, {mode});
        w.add(wmfSetBkColor, {0, 0xff});  // blue
        w.add(wmfCreateBrush, wmfBrush(2, ref(255, 0, 0), 0));  // horizontal hatch, red
        w.add(wmfSelectObject, {0});
        selectNullPen(w, 1);
        w.add(wmfRectangle, {96, 96, 0, 0});
        const Picture p = readWmf(w.bytes());
        int red = 0, blue = 0, clear = 0;
        for (int y = 8; y < 24; ++y) {
            const QRgb c = argb(p, 40, y);
            red += c == opaqueRed;
            blue += c == opaqueBlue;
            clear += qAlpha(c) == 0;
        }
        EXPECT_EQ(red, 2);  // one line every 8 pixels
        EXPECT_EQ(mode == 2 ? blue : clear, 14);
    }
}

TEST(WmfDrawing, UnknownRecordsAreSkipped)
{
    WmfWriter w = pixelWmf();
    w.add(0x0999, {1, 2, 3, 4});
    selectNewBrush(w, ref(0, 0, 255), 0);
    selectNullPen(w, 1);
    w.add(wmfRectangle, {96, 96, 0, 0});
    EXPECT_EQ(argb(readWmf(w.bytes()), 40, 40), opaqueBlue);
}

TEST(EmfDrawing, WorldTransformAndPaths)
{
    EmfWriter e(96, 96);
    e.add(emrCreateBrush, {1, 0, static_cast<std::int32_t>(ref(255, 0, 0)), 0});
    e.add(emrSelectObject, {1});
    e.add(emrSelectObject, {static_cast<std::int32_t>(0x80000008)});  // NULL_PEN
    Bytes xform;
    for (float f : {2.f, 0.f, 0.f, 2.f, 0.f, 0.f})
        putFloat(xform, f);
    e.add(emrSetWorldTransform, xform);
    // A triangle (0, 0), (40, 0), (0, 40) as a path: doubled by the transform.
    e.add(emrBeginPath, Bytes{});
    e.add(emrMoveTo, {0, 0});
    e.add(emrLineTo, {40, 0});
    e.add(emrLineTo, {0, 40});
    e.add(emrCloseFigure, Bytes{});
    e.add(emrEndPath, Bytes{});
    e.add(emrFillPath, {0, 0, 0, 0});
    const Picture p = readEmf(e.bytes());
    EXPECT_EQ(argb(p, 10, 10), opaqueRed);
    EXPECT_EQ(argb(p, 60, 10), opaqueRed);  // only within reach when doubled
    EXPECT_EQ(argb(p, 70, 70), transparent);
}

TEST(EmfDrawing, ShapesCoverWhatTheyShould)
{
    // A star of five points drawn as one polygon: its middle is inside
    // under the winding rule and outside under the alternate rule.
    auto star = [](Bytes& p) {
        for (int v : {0, 0, 0, 0, 5})
            put32(p, static_cast<std::uint32_t>(v));
        for (int v : {48, 4, 74, 88, 6, 36, 90, 36, 22, 88})
            put16(p, v);
    };
    struct Case {
        const char* name;
        std::function<void(EmfWriter&)> draw;
        std::vector<QPoint> inside, outside;
    };
    const Case cases[] = {
        {"ellipse", [](EmfWriter& e) { e.add(emrEllipse, {8, 8, 88, 88}); }, {{48, 48}, {10, 48}}, {{12, 12}, {84, 84}}},
        {"rounded rectangle", [](EmfWriter& e) { e.add(44, {8, 8, 88, 88, 40, 40}); }, {{48, 48}, {10, 48}, {48, 10}},
         {{10, 10}, {86, 86}}},
        {"chord from 3 to 12 o'clock", [](EmfWriter& e) { e.add(46, {8, 8, 88, 88, 88, 48, 48, 8}); }, {{74, 22}},
         {{52, 44}, {30, 60}}},
        {"star, alternate", [&](EmfWriter& e) {
             e.add(19, {1});
             Bytes p;
             star(p);
             e.add(emrPolygon16, p);
         },
         {{48, 20}}, {{48, 50}}},
        {"star, winding", [&](EmfWriter& e) {
             e.add(19, {2});
             Bytes p;
             star(p);
             e.add(emrPolygon16, p);
         },
         {{48, 20}, {48, 50}}, {{5, 90}}},
        {"Bezier path", [](EmfWriter& e) {
             e.add(emrBeginPath, Bytes{});
             e.add(emrMoveTo, {8, 88});
             Bytes p;
             for (int v : {0, 0, 0, 0, 3})
                 put32(p, static_cast<std::uint32_t>(v));
             for (int v : {8, 8, 88, 8, 88, 88})
                 put16(p, v);
             e.add(88, p);  // EMR_POLYBEZIERTO16
             e.add(emrCloseFigure, Bytes{});
             e.add(emrEndPath, Bytes{});
             e.add(emrFillPath, {0, 0, 0, 0});
         },
         {{48, 50}, {30, 70}}, {{48, 12}, {4, 4}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmfWriter e(96, 96);
        e.add(emrCreateBrush, {1, 0, static_cast<std::int32_t>(ref(0, 0, 255)), 0});
        e.add(emrSelectObject, {1});
        e.add(emrSelectObject, {static_cast<std::int32_t>(0x80000008)});  // NULL_PEN
        c.draw(e);
        const Picture p = readEmf(e.bytes());
        for (QPoint at : c.inside)
            EXPECT_EQ(argb(p, at.x(), at.y()), opaqueBlue) << at.x() << ", " << at.y();
        for (QPoint at : c.outside)
            EXPECT_EQ(argb(p, at.x(), at.y()), transparent) << at.x() << ", " << at.y();
    }
}

TEST(EmfDrawing, ClipRegionInDeviceUnits)
{
    EmfWriter e(96, 96);
    Bytes rgn;
    put32(rgn, 32 + 16);  // region data: header and one rectangle
    put32(rgn, 5);        // RGN_COPY
    for (int v : {32, 1, 1, 16, 0, 0, 48, 48, 0, 0, 48, 48})
        put32(rgn, static_cast<std::uint32_t>(v));
    e.add(emrExtSelectClipRgn, rgn);
    e.add(emrCreateBrush, {1, 0, static_cast<std::int32_t>(ref(0, 255, 0)), 0});
    e.add(emrSelectObject, {1});
    e.add(emrSelectObject, {static_cast<std::int32_t>(0x80000008)});
    e.add(emrRectangle, {0, 0, 96, 96});
    const Picture p = readEmf(e.bytes());
    EXPECT_EQ(argb(p, 20, 20), opaqueGreen);
    EXPECT_EQ(argb(p, 70, 70), transparent);
}

TEST(EmfDrawing, GradientAndAlphaBlend)
{
    EmfWriter e(96, 96);
    // A horizontal gradient from black to white over (0, 0)-(96, 48).
    Bytes g;
    for (int v : {0, 0, 96, 48, 2, 1, 0})
        put32(g, static_cast<std::uint32_t>(v));
    for (int v : {0, 0})
        put32(g, static_cast<std::uint32_t>(v));
    for (int c : {0, 0, 0, 0})
        put16(g, c);
    for (int v : {96, 48})
        put32(g, static_cast<std::uint32_t>(v));
    for (int c : {0xff00, 0xff00, 0xff00, 0})
        put16(g, c);
    put32(g, 0);
    put32(g, 1);
    e.add(emrGradientFill, g);
    // A red 1 x 1 bitmap blended at half strength over (0, 48)-(96, 96).
    const DibParts red = makeDib(1, 1, 24, {}, {0, 0, 255, 0});
    Bytes a;
    for (int v : {0, 0, 0, 0, 0, 48, 96, 48})
        put32(a, static_cast<std::uint32_t>(v));
    put32(a, 0x00800000);  // source constant alpha 128, no per-pixel alpha
    for (int v : {0, 0})
        put32(a, static_cast<std::uint32_t>(v));
    for (float f : {1.f, 0.f, 0.f, 1.f, 0.f, 0.f})
        putFloat(a, f);
    put32(a, 0);
    put32(a, 0);
    put32(a, 108);
    put32(a, static_cast<std::uint32_t>(red.info.size()));
    put32(a, 108 + static_cast<std::uint32_t>(red.info.size()));
    put32(a, static_cast<std::uint32_t>(red.bits.size()));
    put32(a, 1);
    put32(a, 1);
    append(a, red.info);
    append(a, red.bits);
    e.add(emrAlphaBlend, a);
    const Picture p = readEmf(e.bytes());
    EXPECT_LT(qRed(argb(p, 5, 20)), 20);
    EXPECT_GT(qRed(argb(p, 90, 20)), 235);
    const QRgb half = argb(p, 48, 70);
    EXPECT_NEAR(qAlpha(half), 128, 2);
    EXPECT_EQ(qRed(half), 255);
    EXPECT_EQ(qGreen(half), 0);
}

// Bitmaps and raster operations

struct BitmapCase {
    const char* name;
    DibParts dib;
};

// 2 x 2 bitmaps whose top row is red, green and bottom row blue, white.
std::vector<BitmapCase> twoByTwoBitmaps()
{
    const std::vector<QRgb> table = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
    std::vector<BitmapCase> cases;
    // Rows are stored bottom-up, each padded to four bytes.
    cases.push_back({"1 bit", makeDib(2, 2, 1, {qRgb(0, 0, 255), qRgb(255, 255, 255)}, {0x40, 0, 0, 0, 0x40, 0, 0, 0})});
    cases.push_back({"4 bits", makeDib(2, 2, 4, table, {0x23, 0, 0, 0, 0x01, 0, 0, 0})});
    cases.push_back({"8 bits", makeDib(2, 2, 8, table, {2, 3, 0, 0, 0, 1, 0, 0})});
    cases.push_back({"16 bits", makeDib(2, 2, 16, {}, {0x1f, 0x00, 0xff, 0x7f, 0x00, 0x7c, 0xe0, 0x03})});
    cases.push_back({"24 bits", makeDib(2, 2, 24, {}, {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0})});
    cases.push_back({"32 bits", makeDib(2, 2, 32, {}, {255, 0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 0, 0, 255, 0, 0})});
    // RLE8: bottom row blue, white; top row red, green; end of bitmap.
    cases.push_back({"RLE8", makeDib(2, 2, 8, table, {1, 2, 1, 3, 0, 0, 1, 0, 1, 1, 0, 1}, 1)});
    // RLE4: runs of two pixels alternating the nibbles.
    cases.push_back({"RLE4", makeDib(2, 2, 4, table, {2, 0x23, 0, 0, 2, 0x01, 0, 1}, 2)});
    // The 1-bit case has no red or green: it is checked for blue and white below.
    return cases;
}

TEST(MetafileBitmaps, EveryDepthAndCompressionDecodes)
{
    for (const BitmapCase& c : twoByTwoBitmaps()) {
        SCOPED_TRACE(c.name);
        for (bool emf : {false, true}) {
            SCOPED_TRACE(emf ? "EMF" : "WMF");
            Picture p;
            if (emf) {
                EmfWriter e(96, 96);
                e.add(emrStretchDiBits, emfStretchDib(0, 0, 96, 96, 0, 0, 2, 2, 0x00CC0020, c.dib));
                p = readEmf(e.bytes());
            } else {
                WmfWriter w = pixelWmf();
                w.add(wmfStretchDib, stretchDibParams(0, 0, 96, 96, 2, 2, 0x00CC0020, c.dib));
                p = readWmf(w.bytes());
            }
            if (std::string(c.name) == "1 bit") {
                EXPECT_EQ(argb(p, 24, 24), opaqueBlue);
                EXPECT_EQ(argb(p, 72, 24), opaqueWhite);
                continue;
            }
            EXPECT_EQ(argb(p, 24, 24), opaqueRed);
            EXPECT_EQ(argb(p, 72, 24), opaqueGreen);
            EXPECT_EQ(argb(p, 24, 72), opaqueBlue);
            EXPECT_EQ(argb(p, 72, 72), opaqueWhite);
        }
    }
}

TEST(MetafileBitmaps, PixelsAnRleBitmapSkipsStayUntouched)
{
    const std::vector<QRgb> table = {qRgb(255, 0, 0), qRgb(0, 255, 0)};
    // 4 x 2: bottom row one red pixel then a delta of two to the right and
    // a green pixel; top row skipped by end of line; end of bitmap.
    const DibParts dib = makeDib(4, 2, 8, table, {1, 0, 0, 2, 2, 0, 1, 1, 0, 0, 0, 1}, 1);
    WmfWriter w = pixelWmf();
    w.add(wmfStretchDib, stretchDibParams(0, 0, 96, 96, 4, 2, 0x00CC0020, dib));
    const Picture p = readWmf(w.bytes());
    EXPECT_EQ(argb(p, 12, 72), opaqueRed);
    EXPECT_EQ(argb(p, 36, 72), transparent);
    EXPECT_EQ(argb(p, 60, 72), transparent);
    EXPECT_EQ(argb(p, 84, 72), opaqueGreen);
    EXPECT_EQ(argb(p, 12, 24), transparent);
}

TEST(MetafileBitmaps, RasterOperationsOnAKnownDestination)
{
    // Destination: grey 0x606060 over the left half, transparent on the right.
    // Source: one pixel 0xC0A000 (R, G, B). Brush: 0x0000F0.
    struct Case {
        const char* name;
        std::uint32_t rop;
        QRgb overGrey, overNothing;
    } cases[] = {
        {"SRCCOPY", 0x00CC0020, 0xffc0a000, 0xffc0a000},
        {"SRCPAINT", 0x00EE0086, 0xffe0e060, 0xffffffff},
        {"SRCAND", 0x008800C6, 0xff402000, 0xffc0a000},
        {"SRCINVERT", 0x00660046, 0xffa0c060, 0xff3f5fff},
        {"NOTSRCCOPY", 0x00330008, 0xff3f5fff, 0xff3f5fff},
        {"DSTINVERT", 0x00550009, 0xff9f9f9f, 0xff000000},
        {"PATCOPY", 0x00F00021, 0xff0000f0, 0xff0000f0},
        {"BLACKNESS", 0x00000042, opaqueBlack, opaqueBlack},
        {"WHITENESS", 0x00FF0062, opaqueWhite, opaqueWhite},
    };
    const DibParts pixel = makeDib(1, 1, 24, {}, {0x00, 0xa0, 0xc0, 0});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WmfWriter w = pixelWmf();
        selectNullPen(w, 0);
        selectNewBrush(w, ref(0x60, 0x60, 0x60), 1);
        w.add(wmfRectangle, {96, 48, 0, 0});
        selectNewBrush(w, ref(0, 0, 0xf0), 2);
        w.add(wmfStretchDib, stretchDibParams(0, 0, 96, 96, 1, 1, c.rop, pixel));
        const Picture p = readWmf(w.bytes());
        EXPECT_EQ(argb(p, 24, 48), c.overGrey);
        EXPECT_EQ(argb(p, 72, 48), c.overNothing);
    }
}

TEST(MetafileBitmaps, MaskPairsKeepTheGroundTransparent)
{
    // A 2 x 1 image: blue left, its right pixel masked out.
    const DibParts mask = makeDib(2, 1, 1, {qRgb(0, 0, 0), qRgb(255, 255, 255)}, {0x40, 0, 0, 0});  // white right
    const DibParts inverted = makeDib(2, 1, 1, {qRgb(0, 0, 0), qRgb(255, 255, 255)}, {0x80, 0, 0, 0});
    const DibParts imageOnBlack = makeDib(2, 1, 24, {}, {255, 0, 0, 0, 0, 0, 0, 0});
    const DibParts imageOnWhite = makeDib(2, 1, 24, {}, {255, 0, 0, 255, 255, 255, 0, 0});
    struct Case {
        const char* name;
        std::vector<std::pair<std::uint32_t, const DibParts*>> steps;
    } cases[] = {
        // AND the mask (white keeps), then OR the image on black.
        {"and mask, paint image", {{0x008800C6, &mask}, {0x00EE0086, &imageOnBlack}}},
        // OR the inverted mask (black keeps), then AND the image on white: the office suites' way.
        {"paint inverted mask, and image", {{0x00EE0086, &inverted}, {0x008800C6, &imageOnWhite}}},
        // XOR, AND, XOR.
        {"invert, and, invert", {{0x00660046, &imageOnBlack}, {0x008800C6, &mask}, {0x00660046, &imageOnBlack}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WmfWriter w = pixelWmf(96, 48);
        for (const auto& [rop, dib] : c.steps)
            w.add(wmfStretchDib, stretchDibParams(0, 0, 96, 48, 2, 1, rop, *dib));
        const Picture p = readWmf(w.bytes());
        EXPECT_EQ(argb(p, 24, 24), opaqueBlue);
        EXPECT_EQ(argb(p, 72, 24), transparent);
    }
}

TEST(MetafileBitmaps, StretchDibSourceCountsFromTheBottomRow)
{
    // A 1 x 2 bottom-up bitmap, red on top of blue: source row 0 from the
    // bottom is the blue pixel.
    const DibParts dib = makeDib(1, 2, 24, {}, {255, 0, 0, 0, 0, 0, 255, 0});
    WmfWriter w = pixelWmf();
    w.add(wmfStretchDib, stretchDibParams(0, 0, 96, 96, 1, 1, 0x00CC0020, dib, 0, 0));
    EXPECT_EQ(argb(readWmf(w.bytes()), 48, 48), opaqueBlue);
}

TEST(MetafileBitmaps, NegativeExtentsMirror)
{
    // A 2 x 1 bitmap, red then green.
    const DibParts dib = makeDib(2, 1, 24, {}, {0, 0, 255, 0, 255, 0, 0, 0});
    struct Case {
        const char* name;
        int x, width, srcX, srcWidth;
    } cases[] = {{"as it is", 0, 96, 0, 2}, {"destination mirrored", 96, -96, 0, 2}, {"source mirrored", 0, 96, 2, -2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmfWriter e(96, 96);
        e.add(emrStretchDiBits, emfStretchDib(c.x, 0, c.width, 96, c.srcX, 0, c.srcWidth, 1, 0x00CC0020, dib));
        const Picture p = readEmf(e.bytes());
        const bool mirrored = c.width < 0 || c.srcWidth < 0;
        EXPECT_EQ(argb(p, 24, 48), mirrored ? opaqueGreen : opaqueRed);
        EXPECT_EQ(argb(p, 72, 48), mirrored ? opaqueRed : opaqueGreen);
    }
}

// Text

TEST(MetafileText, CharsetsDecode)
{
    using metafile::decodeCharset;
    struct Case {
        const char* name;
        int charset;
        std::string bytes;
        std::u16string text;
        std::vector<int> firstByte;
    } cases[] = {
        {"Shift-JIS kanji", 128, "\x93\xfa\x96\x7b\x8c\xea", u"日本語", {0, 2, 4}},
        {"Shift-JIS with ASCII and half-width kana", 128, "A\x82\xa0\xb1", u"Aあｱ", {0, 1, 3}},
        {"Shift-JIS circled one", 128, "\x87\x40", u"①", {0}},
        {"Shift-JIS lead byte at the end", 128, "a\x82", u"a\uFFFD", {0, 1}},
        {"default charset is taken as Shift-JIS", 1, "\x82\xa0", u"あ", {0}},
        {"ANSI", 0, "\x80\xe9", u"€é", {0, 1}},
        {"GB2312", 134, "\xc8\xd5", u"日", {0}},
        {"symbol fonts keep their bytes", 2, "\x61\xb7", u"a\u00b7", {0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = decodeCharset(c.charset, reinterpret_cast<const std::uint8_t*>(c.bytes.data()),
                                           c.bytes.size());
        EXPECT_EQ(decoded.text, QString::fromStdU16String(c.text));
        EXPECT_EQ(decoded.firstByte, c.firstByte);
    }
}

TEST(MetafileText, ShiftJisWmfTextDrawsLikeUtf16EmfText)
{
    // The same words, font and place: Shift-JIS bytes in a WMF with a
    // charset-128 font, UTF-16 in an EMF.
    const std::string gothicSjis = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";  // ＭＳ ゴシック
    WmfWriter w = pixelWmf(192, 96);
    w.add(wmfSetBkMode, {1});
    w.add(wmfSetTextAlign, {24});  // baseline
    w.add(wmfSetTextColor, {0x40, 0x80});
    w.add(wmfCreateFont, wmfFont(-32, 128, gothicSjis));
    w.add(wmfSelectObject, {0});
    Bytes text;
    const std::string words = "\x93\xfa\x96\x7b\x8c\xea\x82\xa9\x82\xc8";  // 日本語かな
    put16(text, static_cast<int>(words.size()));
    for (char ch : words)
        put8(text, static_cast<unsigned char>(ch));
    put16(text, 60);  // y
    put16(text, 10);  // x
    w.add(wmfTextOut, text);
    const Picture fromWmf = readWmf(w.bytes());

    EmfWriter e(192, 96);
    e.add(emrSetBkMode, {1});
    e.add(emrSetTextAlign, {24});
    e.add(emrSetTextColor, {static_cast<std::int32_t>(ref(0x40, 0, 0x80))});
    e.add(emrExtCreateFont, emfFont(1, -32, 128, u"ＭＳ ゴシック"));
    e.add(emrSelectObject, {1});
    e.add(emrExtTextOutW, emfText(10, 60, u"日本語かな"));
    const Picture fromEmf = readEmf(e.bytes());

    EXPECT_TRUE(closeTo(toImage(fromEmf), toImage(fromWmf), 0, 0));
    // Something was drawn along the baseline, in the text colour, and
    // nothing of a background box.
    int inked = 0;
    for (int x = 10; x < 180; ++x)
        for (int y = 30; y < 64; ++y)
            inked += qAlpha(argb(fromWmf, x, y)) == 255 && argb(fromWmf, x, y) == 0xff400080;
    EXPECT_GT(inked, 100);
    EXPECT_EQ(qAlpha(argb(fromWmf, 5, 90)), 0);
}

TEST(MetafileText, EscapementTurnsTheLineCounterClockwise)
{
    // The same word along the baseline and at 90 degrees: the turned one
    // runs upwards from the reference point.
    auto inkBox = [](int escapement) {
        EmfWriter e(192, 192);
        e.add(emrSetBkMode, {1});
        e.add(emrSetTextAlign, {24});
        e.add(emrExtCreateFont, emfFont(1, -24, 0, u"Arial", escapement));
        e.add(emrSelectObject, {1});
        e.add(emrExtTextOutW, emfText(96, 96, u"Metafile"));
        const Picture p = readEmf(e.bytes());
        QRect box;
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x)
                if (qAlpha(argb(p, x, y)) > 128)
                    box |= QRect(x, y, 1, 1);
        return box;
    };
    const QRect flat = inkBox(0), turned = inkBox(900);
    EXPECT_GT(flat.width(), 3 * flat.height());
    EXPECT_GT(flat.left(), 94);
    EXPECT_GT(turned.height(), 3 * turned.width());
    EXPECT_LT(turned.bottom(), 99);  // upwards from (96, 96)
    EXPECT_NEAR(turned.height(), flat.width(), 2);
}

TEST(MetafileText, OpaqueBackgroundFillsTheTextCell)
{
    WmfWriter w = pixelWmf(192, 96);
    w.add(wmfSetBkMode, {2});
    w.add(wmfSetBkColor, {0xff, 0});  // red
    w.add(wmfCreateFont, wmfFont(-32, 0, "Arial"));
    w.add(wmfSelectObject, {0});
    Bytes text;
    put16(text, 2);
    put8(text, 'l');
    put8(text, 'l');
    put16(text, 10);  // y: top of the cell
    put16(text, 10);  // x
    w.add(wmfTextOut, text);
    const Picture p = readWmf(w.bytes());
    EXPECT_EQ(argb(p, 11, 11), opaqueRed);
    EXPECT_EQ(qAlpha(argb(p, 100, 80)), 0);
}

// Broken files

TEST(MetafileErrors, BrokenFilesAreRefusedWithOneMessage)
{
    auto wmfWith = [](const Bytes& records, bool eof = true) {
        WmfWriter w = pixelWmf();
        w.raw(records);
        return w.bytes(eof);
    };
    auto wmfRecord = [](std::uint32_t words, std::uint16_t function, std::initializer_list<int> params) {
        Bytes r;
        put32(r, words);
        put16(r, function);
        for (int v : params)
            put16(r, v);
        return r;
    };
    auto emfWith = [](const Bytes& records, bool eof = true) {
        EmfWriter e(96, 96);
        e.raw(records);
        return e.bytes(eof);
    };
    auto emfRecord = [](std::uint32_t type, std::uint32_t size, std::initializer_list<std::uint32_t> values) {
        Bytes r;
        put32(r, type);
        put32(r, size);
        for (std::uint32_t v : values)
            put32(r, v);
        return r;
    };
    Bytes wrongSignature = EmfWriter(96, 96).bytes();
    wrongSignature[40] = 'X';
    Bytes wmfBadHeader = pixelWmf().bytes();
    wmfBadHeader[22 + 2] = 10;  // header size not 9
    WmfWriter emptyBox(0, 96, 96);
    const DibParts shortDib = makeDib(4, 4, 24, {}, Bytes(20, 0));
    WmfWriter shortBits = pixelWmf();
    shortBits.add(wmfStretchDib, stretchDibParams(0, 0, 10, 10, 4, 4, 0x00CC0020, shortDib));
    const DibParts hugeDib = makeDib(200000, 1, 8, {qRgb(0, 0, 0)}, Bytes(8, 0), 1);
    WmfWriter hugeBitmap = pixelWmf();
    hugeBitmap.add(wmfStretchDib, stretchDibParams(0, 0, 10, 10, 1, 1, 0x00CC0020, hugeDib));

    struct Case {
        const char* name;
        Bytes file;
        bool emf;
        const char* message;
    };
    const char* invalid = messages::invalidMetafile;
    const Case cases[] = {
        {"empty WMF", {}, false, invalid},
        {"empty EMF", {}, true, invalid},
        {"WMF record shorter than its header", wmfWith(wmfRecord(2, wmfRectangle, {})), false, invalid},
        {"WMF record longer than the file", wmfWith(wmfRecord(400, wmfRectangle, {0, 0, 10, 10})), false, invalid},
        {"WMF record too short for its parameters", wmfWith(wmfRecord(5, wmfRectangle, {10, 10})), false, invalid},
        {"WMF polygon with more points than bytes", wmfWith(wmfRecord(6, wmfPolygon, {1000, 0, 0})), false, invalid},
        {"WMF without end record", wmfWith({}, false), false, invalid},
        {"WMF header of the wrong size", wmfBadHeader, false, invalid},
        {"WMF box without width", emptyBox.bytes(), false, invalid},
        {"WMF bitmap bits cut short", shortBits.bytes(), false, invalid},
        {"EMF signature wrong", wrongSignature, true, invalid},
        {"EMF without end record", emfWith({}, false), true, invalid},
        {"EMF record size below 8", emfWith(emfRecord(43, 4, {})), true, invalid},
        {"EMF record past the end", emfWith(emfRecord(43, 4000, {0, 0, 10, 10})), true, invalid},
        {"EMF rectangle too short", emfWith(emfRecord(43, 16, {0, 0})), true, invalid},
        {"EMF polygon count beyond the record", emfWith(emfRecord(emrPolygon16, 32, {0, 0, 0, 0, 0x7fffffff, 0})), true,
         invalid},
        {"EMF text whose string lies outside", emfWith(emfRecord(emrExtTextOutW, 76,
                                                                 {0, 0, 0, 0, 1, 0, 0, 0, 0, 100, 5000, 0, 0, 0, 0,
                                                                  0, 0})),
         true, invalid},
        {"bitmap too large", hugeBitmap.bytes(), false, "画像が大きすぎます"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            (void)(c.emf ? readEmf(c.file) : readWmf(c.file));
            ADD_FAILURE() << "read without error";
        } catch (const ImagingError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
    }
}

TEST(MetafileErrors, NonsenseTransformsAndCoordinatesDrawNothingHarmful)
{
    EmfWriter e(96, 96);
    Bytes xform;
    for (float f : {1e30f, 0.f, 0.f, 1e30f, 0.f, 0.f})
        putFloat(xform, f);
    e.add(emrSetWorldTransform, xform);
    e.add(emrRectangle, {-2000000000, -2000000000, 2000000000, 2000000000});
    Bytes singular;
    for (float f : {0.f, 0.f, 0.f, 0.f, 0.f, 0.f})
        putFloat(singular, f);
    e.add(emrSetWorldTransform, singular);
    e.add(emrEllipse, {-2000000000, 5, 2000000000, 90});
    e.add(emrExtCreateFont, emfFont(1, -2000000000, 0, u"Arial"));
    e.add(emrSelectObject, {1});
    e.add(emrExtTextOutW, emfText(0, 0, u"big"));
    const Picture p = readEmf(e.bytes());
    EXPECT_EQ(p.width(), 96);
}

// The file reader

// Found by fuzzing: header rectangles spanning the whole int range overflowed
// when their width was formed in int.
TEST(EmfHeader, RectanglesSpanningTheIntRangeAreRefusedCleanly)
{
    auto withRects = [](std::initializer_list<std::int32_t> bounds, std::initializer_list<std::int32_t> frame) {
        Bytes file = EmfWriter(10, 10).bytes();
        std::size_t at = 8;
        for (std::int32_t v : bounds) {
            for (int i = 0; i < 4; ++i)
                file[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
            at += 4;
        }
        for (std::int32_t v : frame) {
            for (int i = 0; i < 4; ++i)
                file[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
            at += 4;
        }
        return file;
    };
    const std::int32_t lo = INT32_MIN, hi = INT32_MAX;
    EXPECT_THROW(readEmf(withRects({lo, lo, hi, hi}, {0, 0, 0, 0})), ImagingError);
    EXPECT_THROW(readEmf(withRects({0, 0, 9, 9}, {lo, lo, hi, hi})), ImagingError);
    EXPECT_THROW(readEmf(withRects({0, 0, 9, 9}, {lo, 0, hi, 10})), ImagingError);
}
