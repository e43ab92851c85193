// The shipped computations against the plain pixel-by-pixel reference, on
// random pictures, sizes, colours, rates and angles, for every
// implementation this processor can run.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/zoom/calc/calcsupport.h"
#include "tests/zoom/calc/reference.h"
#include "zoom/calc/kernels.h"
#include "zoom/calc/zoomcalc.h"

using namespace clipora;
using namespace clipora::test;
using clipora::zoom::detail::Isa;

namespace {

class MatchesReference : public ::testing::TestWithParam<Isa> {
protected:
    void SetUp() override
    {
        if (!zoom::detail::isaAvailable(GetParam()))
            GTEST_SKIP() << "this processor cannot run it";
        saved_ = zoom::detail::currentIsa();
        zoom::detail::useIsa(GetParam());
    }
    void TearDown() override { zoom::detail::useIsa(saved_); }

private:
    Isa saved_ = Isa::portable;
};

// Random pictures of several kinds, some with areas of the colour `key`.
struct Maker {
    std::mt19937 random;
    explicit Maker(unsigned seed) : random(seed) {}

    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    bool chance(double p) { return std::bernoulli_distribution(p)(random); }

    Bitmap24 picture(int w, int h, std::uint32_t& key)
    {
        Bitmap24 b;
        switch (between(0, 3)) {
        case 0: b = photoLike(w, h, random()); break;
        case 1: b = randomBitmap(w, h, random()); break;
        default: {  // few colours in blocks: every neighbour pattern occurs
            const std::uint32_t palette[4] = {static_cast<std::uint32_t>(random() & 0xFFFFFF), 0x000000, 0xFFFFFF,
                                              static_cast<std::uint32_t>(random() & 0xFFFFFF)};
            const int block = between(1, 4);
            std::vector<int> pick(static_cast<std::size_t>((w / block + 1) * (h / block + 1)));
            for (int& p : pick)
                p = between(0, 3);
            b = Bitmap24(w, h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    paint(b, x, y, palette[pick[static_cast<std::size_t>((y / block) * (w / block + 1) + x / block)]]);
        }
        }
        key = chance(0.8) ? colourAt(b, between(0, w - 1), between(0, h - 1)) : random() & 0xFFFFFF;
        if (chance(0.5)) {  // a rectangle of the key colour
            const int x0 = between(0, w - 1), y0 = between(0, h - 1);
            const int x1 = between(x0, w - 1), y1 = between(y0, h - 1);
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x)
                    paint(b, x, y, key);
        }
        return b;
    }

    int rate()
    {
        static const int rates[] = {0, 1, 24, 25, 49, 50, 51, 75, 99, 100, 250, -1};
        return chance(0.2) ? between(0, 100) : rates[between(0, 11)];
    }
};

struct ProgressLog {
    std::vector<int> progress;
    zoom::Progress callback()
    {
        return [this](int p) { progress.push_back(p); };
    }
};

std::string describe(const char* what, int w, int h, int nw, int nh, bool on, std::uint32_t key, int rate)
{
    std::ostringstream s;
    s << what << " " << w << "x" << h << " -> " << nw << "x" << nh << (on ? " transparent " : " opaque ")
      << std::hex << key << std::dec << " rate " << rate;
    return s.str();
}

// How many channel values of a plain bilinear enlargement of `source` to
// nw x nh lie within `within` of a half, before rounding (0: exactly on one).
long long halvesWithin(const Bitmap24& source, int nw, int nh, double within)
{
    const double rx = static_cast<double>(source.width()) / nw, ry = static_cast<double>(source.height()) / nh;
    long long count = 0;
    for (int y = 0; y < nh; ++y) {
        const double sy = (y + 0.5) * ry - 0.5, fy = sy - std::floor(sy);
        const int top = std::max(0, static_cast<int>(std::floor(sy)));
        const int bottom = std::min(static_cast<int>(std::floor(sy)) + 1, source.height() - 1);
        for (int x = 0; x < nw; ++x) {
            const double sx = (x + 0.5) * rx - 0.5, fx = sx - std::floor(sx);
            const int left = std::max(0, static_cast<int>(std::floor(sx)));
            const int right = std::min(static_cast<int>(std::floor(sx)) + 1, source.width() - 1);
            for (int c = 0; c < 3; ++c) {
                const int p00 = source.pixel(left, top)[c], p10 = source.pixel(right, top)[c];
                const int p01 = source.pixel(left, bottom)[c], p11 = source.pixel(right, bottom)[c];
                const double v = p00 + fx * (p10 - p00) + fy * (p01 - p00) + fx * fy * (p00 + p11 - p10 - p01);
                count += std::fabs(v - std::floor(v) - 0.5) <= within;
            }
        }
    }
    return count;
}

}  // namespace

TEST_P(MatchesReference, Zoomup)
{
    Maker make(101);
    for (int n = 0; n < 160; ++n) {
        const int w = make.between(1, n < 120 ? 24 : 90), h = make.between(1, 20);
        std::uint32_t key;
        const Bitmap24 source = make.picture(w, h, key);
        // Mostly enlargements, some with a side unchanged or shrinking.
        const int nw = make.chance(0.85) ? make.between(w, 3 * w + 40) : make.between(1, w);
        const int nh = make.chance(0.85) ? make.between(h, 3 * h + 5) : make.between(1, h);
        const bool on = make.chance(0.7);
        const int rate = make.rate();
        Bitmap24 expected(nw, nh, 0), actual(nw, nh, 1);
        ProgressLog ref, got;
        reference::zoomup(source, expected, on, key, rate, ref.callback());
        zoom::zoomup(source, actual, {on, key, rate}, got.callback());
        const std::string what = describe("zoomup", w, h, nw, nh, on, key, rate);
        ASSERT_TRUE(samePixels(expected, actual)) << what;
        ASSERT_EQ(ref.progress, got.progress) << what;
    }
}

TEST_P(MatchesReference, Zoomdown)
{
    Maker make(202);
    for (int n = 0; n < 160; ++n) {
        const int w = make.between(1, n < 120 ? 60 : 200), h = make.between(1, 40);
        std::uint32_t key;
        const Bitmap24 source = make.picture(w, h, key);
        // Mostly reductions, some with one side growing.
        const int nw = make.chance(0.85) ? make.between(1, w) : make.between(w, 2 * w + 3);
        const int nh = make.chance(0.85) ? make.between(1, h) : make.between(h, 2 * h + 3);
        const bool on = make.chance(0.7);
        const int rate = make.rate();
        Bitmap24 expected(nw, nh, 0), actual(nw, nh, 1);
        ProgressLog ref, got;
        reference::zoomdown(source, expected, on, key, rate, ref.callback());
        zoom::zoomdown(source, actual, {on, key, rate}, got.callback());
        const std::string what = describe("zoomdown", w, h, nw, nh, on, key, rate);
        ASSERT_TRUE(samePixels(expected, actual)) << what;
        ASSERT_EQ(ref.progress, got.progress) << what;
    }
}

TEST_P(MatchesReference, Rotate)
{
    Maker make(303);
    for (int n = 0; n < 160; ++n) {
        const int w = make.between(1, n < 120 ? 30 : 90), h = make.between(1, 30);
        std::uint32_t key;
        const Bitmap24 source = make.picture(w, h, key);
        static const int rightAngles[] = {0, 90, 180, -90, -180, 45};
        const int degree = make.chance(0.3) ? rightAngles[make.between(0, 5)] : make.between(-180, 180);
        const int hundredths = make.chance(0.5) ? 0 : make.between(0, 99);
        const double angle = zoom::rotationangle(degree, hundredths);
        zoom::Size size = zoom::rotatedsize(w, h, angle);
        if (make.chance(0.1))  // a target of another size
            size = {make.between(1, 2 * w), make.between(1, 2 * h)};
        const bool on = make.chance(0.6);
        const bool edge = make.chance(0.7);
        const std::uint32_t gap = make.chance(0.5) ? key : make.random() & 0xFFFFFF;
        const int rate = make.rate();
        Bitmap24 expected(size.width, size.height, 0), actual(size.width, size.height, 1);
        ProgressLog ref, got;
        reference::rotate(source, expected, angle, gap, edge, on, key, rate, ref.callback());
        zoom::rotate(source, actual, angle, gap, edge, {on, key, rate}, got.callback());
        const std::string what = describe("rotate", w, h, size.width, size.height, on, key, rate) + " angle " +
                                 std::to_string(degree) + "+" + std::to_string(hundredths) + "/100 gap " +
                                 std::to_string(gap) + (edge ? " no frame correction" : " frame correction");
        ASSERT_TRUE(samePixels(expected, actual)) << what;
        ASSERT_EQ(ref.progress, got.progress) << what;
    }
}

// Larger pictures, as the fast paths meet them: long rows and many rows.
TEST_P(MatchesReference, PhotoSizedRuns)
{
    const Bitmap24 photo = photoLike(403, 301, 77);
    const std::uint32_t key = colourAt(photo, 0, 0);
    for (bool on : {false, true}) {
        const zoom::Transparency t{on, key, 50};
        {
            Bitmap24 expected(605, 452), actual(605, 452);
            reference::zoomup(photo, expected, on, key, 50);
            zoom::zoomup(photo, actual, t);
            EXPECT_TRUE(samePixels(expected, actual)) << "zoomup, transparency " << on;
        }
        {
            // Exactly 1.5 times: sixths and halves put a tenth of the values
            // on halves, and rows of 1 809 values end inside a run of four.
            const Bitmap24 even = photoLike(402, 300, 78);
            Bitmap24 expected(603, 450), actual(603, 450);
            reference::zoomup(even, expected, on, key, 50);
            zoom::zoomup(even, actual, t);
            EXPECT_TRUE(samePixels(expected, actual)) << "zoomup by 1.5, transparency " << on;
        }
        for (const auto& [nw, nh] : {std::pair{161, 120}, std::pair{100, 75}, std::pair{402, 300}}) {
            Bitmap24 expected(nw, nh), actual(nw, nh);
            reference::zoomdown(photo, expected, on, key, 50);
            zoom::zoomdown(photo, actual, t);
            EXPECT_TRUE(samePixels(expected, actual)) << "zoomdown to " << nw << ", transparency " << on;
        }
        {
            const double angle = zoom::rotationangle(30, 0);
            const zoom::Size size = zoom::rotatedsize(403, 301, angle);
            Bitmap24 expected(size.width, size.height), actual(size.width, size.height);
            reference::rotate(photo, expected, angle, 0x000000, true, on, key, 50);
            zoom::rotate(photo, actual, angle, 0x000000, true, t);
            EXPECT_TRUE(samePixels(expected, actual)) << "rotate, transparency " << on;
        }
    }
}

// Whole-number ratios: most footprint weights are exactly 1.
TEST_P(MatchesReference, WholeNumberReductions)
{
    Bitmap24 photo = photoLike(400, 300, 78);
    const std::uint32_t key = colourAt(photo, 0, 0);
    for (int y = 100; y < 180; ++y)
        for (int x = 150; x < 260; ++x)
            paint(photo, x, y, key);
    for (bool on : {false, true})
        for (const auto& [nw, nh] : {std::pair{100, 75}, std::pair{200, 150}, std::pair{80, 60}, std::pair{400, 100}}) {
            Bitmap24 expected(nw, nh), actual(nw, nh);
            reference::zoomdown(photo, expected, on, key, 50);
            zoom::zoomdown(photo, actual, {on, key, 50});
            EXPECT_TRUE(samePixels(expected, actual)) << "to " << nw << " x " << nh << ", transparency " << on;
        }
}

// Whole-number ratios with the transparent colour: blocks without it, wholly
// of it (refused whatever the rate, up to 16 x 16 blocks) and partly of it,
// with rectangles of the key on and off the block grid and single key
// pixels; blocks up to 64 wide, and one wider.
TEST_P(MatchesReference, WholeNumberReductionsWithTheTransparentColour)
{
    Maker make(808);
    long long wholly = 0;
    static const std::pair<int, int> blocks[] = {{1, 2}, {2, 2}, {3, 2}, {4, 4}, {5, 3}, {8, 8}, {16, 16}, {64, 1},
                                                 {2, 128}, {65, 1}};
    for (const auto& [kx, ky] : blocks)
        for (int n = 0; n < 8; ++n) {
            const int nw = make.between(1, 3000 / kx / 8 + 1), nh = make.between(1, 8), w = nw * kx, h = nh * ky;
            std::uint32_t key;
            Bitmap24 source = make.picture(w, h, key);
            for (int r = make.between(0, 3); r > 0; --r) {
                const int x0 = make.chance(0.5) ? make.between(0, nw - 1) * kx : make.between(0, w - 1);
                const int y0 = make.chance(0.5) ? make.between(0, nh - 1) * ky : make.between(0, h - 1);
                const int x1 = std::min(w, x0 + make.between(1, 3) * kx), y1 = std::min(h, y0 + make.between(1, 2) * ky);
                for (int y = y0; y < y1; ++y)
                    for (int x = x0; x < x1; ++x)
                        paint(source, x, y, key);
            }
            for (int k = make.between(0, 20); k > 0; --k)
                paint(source, make.between(0, w - 1), make.between(0, h - 1), key);
            for (int y = 0; y < nh; ++y)
                for (int x = 0; x < nw; ++x) {
                    bool all = true;
                    for (int i = 0; i < ky && all; ++i)
                        for (int j = 0; j < kx && all; ++j)
                            all = colourAt(source, x * kx + j, y * ky + i) == key;
                    wholly += all;
                }
            const int rate = make.rate();
            Bitmap24 expected(nw, nh, 0), actual(nw, nh, 1);
            reference::zoomdown(source, expected, true, key, rate);
            zoom::zoomdown(source, actual, {true, key, rate});
            ASSERT_TRUE(samePixels(expected, actual)) << describe("zoomdown", w, h, nw, nh, true, key, rate);
        }
    EXPECT_GT(wholly, 200);
}

// Whole-number ratios put block sums exactly on halves of the area; the
// shortened far edges then decide: just below the half unless every value
// in the block's last row and column is 0. Sparse pictures of small values
// make both kinds of tie common; the cases count that they occur.
TEST_P(MatchesReference, WholeNumberReductionsOnTies)
{
    Maker make(707);
    long long ties[2] = {0, 0};  // with every edge value 0, with some above 0
    static const std::pair<int, int> blocks[] = {{2, 2}, {4, 4}, {2, 1}, {1, 4}, {3, 2}, {8, 2}, {16, 16}};
    for (const auto& [kx, ky] : blocks)
        for (int n = 0; n < 6; ++n) {
            const int nw = make.between(1, 40), nh = make.between(1, 6), w = nw * kx, h = nh * ky;
            Bitmap24 source(w, h);
            for (int y = 0; y < h; ++y)
                for (int i = 0; i < 3 * w; ++i)
                    source.row(y)[i] = static_cast<std::uint8_t>(make.chance(0.7) ? 0 : make.between(0, n < 3 ? 3 : 255));
            for (int y = 0; y < nh; ++y)
                for (int x = 0; x < nw; ++x)
                    for (int c = 0; c < 3; ++c) {
                        int sum = 0, edge = 0;
                        for (int i = 0; i < ky; ++i)
                            for (int j = 0; j < kx; ++j) {
                                const int v = source.pixel(x * kx + j, y * ky + i)[c];
                                sum += v;
                                edge += (i == ky - 1 || j == kx - 1) ? v : 0;
                            }
                        if (2 * (sum % (kx * ky)) == kx * ky)
                            ++ties[edge > 0];
                    }
            Bitmap24 expected(nw, nh, 0), actual(nw, nh, 1);
            reference::zoomdown(source, expected, false, 0x123456, 50);
            zoom::zoomdown(source, actual, {false, 0x123456, 50});
            ASSERT_TRUE(samePixels(expected, actual)) << describe("zoomdown", w, h, nw, nh, false, 0x123456, 50);
        }
    EXPECT_GT(ties[0], 50);
    EXPECT_GT(ties[1], 100);
}

// Sample positions on exact quarters and halves (enlargements by 2, 4 and
// 8; a turn by 0 degrees into a target one pixel larger samples halfway
// between pixels; 180 degrees lands a hair off the halves) put many channel
// values exactly on, or within rounding noise of, n + 0.5, where only the
// exact evaluation order decides the byte.
TEST_P(MatchesReference, ValuesOnRoundingBoundaries)
{
    Maker make(505);
    long long halves = 0;
    for (int n = 0; n < 48; ++n) {
        const int w = make.between(1, 40), h = make.between(1, 12);
        std::uint32_t key;
        const Bitmap24 source = make.picture(w, h, key);
        const bool on = make.chance(0.5);
        const int rate = make.rate();
        const int factor = 1 << make.between(1, 3);
        {
            const int nw = w * factor, nh = h * (make.chance(0.5) ? factor : 1);
            halves += halvesWithin(source, nw, nh, 0);
            Bitmap24 expected(nw, nh, 0), actual(nw, nh, 1);
            reference::zoomup(source, expected, on, key, rate);
            zoom::zoomup(source, actual, {on, key, rate});
            ASSERT_TRUE(samePixels(expected, actual)) << describe("zoomup", w, h, nw, nh, on, key, rate);
        }
        for (const int degree : {0, 180}) {
            const double angle = zoom::rotationangle(degree, 0);
            const int nw = w + make.between(0, 1), nh = h + make.between(0, 1);
            const bool edge = make.chance(0.5);
            Bitmap24 expected(nw, nh, 0), actual(nw, nh, 1);
            reference::rotate(source, expected, angle, key, edge, on, key, rate);
            zoom::rotate(source, actual, angle, key, edge, {on, key, rate});
            ASSERT_TRUE(samePixels(expected, actual))
                << describe("rotate", w, h, nw, nh, on, key, rate) << " angle " << degree;
        }
        {
            // Halving: two-pixel means fall a millionth below the half.
            const int nw = std::max(1, w / 2), nh = std::max(1, h / 2);
            Bitmap24 expected(nw, nh, 0), actual(nw, nh, 1);
            reference::zoomdown(source, expected, on, key, rate);
            zoom::zoomdown(source, actual, {on, key, rate});
            ASSERT_TRUE(samePixels(expected, actual)) << describe("zoomdown", w, h, nw, nh, on, key, rate);
        }
    }
    // The cases really reach the boundaries.
    EXPECT_GT(halves, 1000);
}

// Enlargements whose values lie within the single-precision screen's margin
// of a half but not on it, where the screen must send them back to the
// double-precision blend: hunted among random pictures and sizes (every
// size is another set of fractions), then compared.
TEST_P(MatchesReference, ZoomupNearTies)
{
    Maker make(909);
    long long near = 0;
    for (int n = 0; n < 4000 && near < 3000; ++n) {
        const int w = make.between(2, 120), h = make.between(2, 60);
        const Bitmap24 source = randomBitmap(w, h, make.random());
        const int nw = make.between(w, 3 * w), nh = make.between(h, 3 * h);
        const long long found = halvesWithin(source, nw, nh, 1.0 / 8192) - halvesWithin(source, nw, nh, 0);
        if (found == 0)
            continue;
        near += found;
        Bitmap24 expected(nw, nh, 0), actual(nw, nh, 1);
        reference::zoomup(source, expected, false, 0x123456, 50);
        zoom::zoomup(source, actual, {false, 0x123456, 50});
        ASSERT_TRUE(samePixels(expected, actual)) << describe("zoomup", w, h, nw, nh, false, 0x123456, 50);
    }
    EXPECT_GE(near, 3000);
}

// The mean of a reduced pixel's channel c as the plain code forms it, before
// rounding, and its distance from the nearest half.
double distanceFromHalf(const Bitmap24& source, int nw, int nh, int x, int y, int c)
{
    const double rx = static_cast<double>(source.width()) / nw, ry = static_cast<double>(source.height()) / nh;
    const float area = static_cast<float>(static_cast<double>(source.width() * source.height()) / (nw * nh));
    const double X0 = x * rx, X1 = (x + 1) * rx - 0.000001, Y0 = y * ry, Y1 = (y + 1) * ry - 0.000001;
    double sum = 0;
    for (int i = static_cast<int>(std::floor(Y0)); i <= static_cast<int>(std::floor(Y1)); ++i)
        for (int j = static_cast<int>(std::floor(X0)); j <= static_cast<int>(std::floor(X1)); ++j)
            sum += zoom::detail::footprintWeight(j, X0, X1) * zoom::detail::footprintWeight(i, Y0, Y1) *
                   source.pixel(j, i)[c];
    const double mean = sum / area;
    return std::fabs(mean - std::floor(mean) - 0.5);
}

// Reductions whose means lie within 1e-4 of a half, where a cheaper
// evaluation of the sums could round the other way: hunted among random
// pictures, then compared. At ratios 2^k / q the weights are multiples of
// 1 / q and the area 4^k / q^2, so before the far edges are shortened the
// means are multiples of 4^-k, which can be exact halves; the shortening
// moves them by about 1e-6 times the values.
TEST_P(MatchesReference, ZoomdownNearTies)
{
    Maker make(606);
    int near = 0;
    for (int n = 0; n < 4000 && near < 20; ++n) {
        static const std::pair<int, int> ratios[] = {{8, 3}, {4, 3}, {8, 5}, {16, 5}, {16, 3}};
        const auto [from, to] = ratios[make.between(0, 4)];
        const int nw = make.between(8, 24), nh = make.between(1, 3);
        const Bitmap24 source = randomBitmap(nw * from / to, nh * from / to, make.random());
        bool hasNearTie = false;
        for (int y = 0; y < nh && !hasNearTie; ++y)
            for (int x = 0; x < nw && !hasNearTie; ++x)
                for (int c = 0; c < 3; ++c)
                    hasNearTie = hasNearTie || distanceFromHalf(source, nw, nh, x, y, c) < 1e-4;
        if (!hasNearTie)
            continue;
        ++near;
        const bool on = make.chance(0.3);
        Bitmap24 expected(nw, nh, 0), actual(nw, nh, 1);
        reference::zoomdown(source, expected, on, 0x123456, 50);
        zoom::zoomdown(source, actual, {on, 0x123456, 50});
        ASSERT_TRUE(samePixels(expected, actual))
            << describe("zoomdown", source.width(), source.height(), nw, nh, on, 0x123456, 50);
    }
    EXPECT_GE(near, 20);
}

// The reduction's vector code rounds sum x (1 / weight) and divides only
// near a half; with the margin at its widest every mean takes the division.
TEST_P(MatchesReference, ZoomdownThroughDivision)
{
    const double saved = zoom::detail::reductionTieMargin;
    zoom::detail::reductionTieMargin = 0.5;
    Maker make(404);
    for (int n = 0; n < 60; ++n) {
        const int w = make.between(1, 70), h = make.between(1, 30);
        std::uint32_t key;
        const Bitmap24 source = make.picture(w, h, key);
        const int nw = make.between(1, w), nh = make.between(1, h);
        const bool on = make.chance(0.5);
        const int rate = make.rate();
        Bitmap24 expected(nw, nh, 0), actual(nw, nh, 1);
        reference::zoomdown(source, expected, on, key, rate);
        zoom::zoomdown(source, actual, {on, key, rate});
        EXPECT_TRUE(samePixels(expected, actual)) << describe("zoomdown", w, h, nw, nh, on, key, rate);
    }
    zoom::detail::reductionTieMargin = saved;
}

INSTANTIATE_TEST_SUITE_P(Implementations, MatchesReference,
                         ::testing::Values(Isa::portable, Isa::avx2, Isa::avx512),
                         [](const ::testing::TestParamInfo<Isa>& info) {
                             return std::string(zoom::detail::isaName(info.param));
                         });

// CLIPORA_SIMD: a named path this processor runs is taken silently; one it
// lacks, or a name it does not know, gives the best path and one warning.
TEST(SimdSetting, ChoosesThePathAndWarnsWhenItCannot)
{
    const Isa best = zoom::detail::bestIsa();
    std::string warning;
    EXPECT_EQ(zoom::detail::isaFromSetting(nullptr, warning), best);
    EXPECT_EQ(warning, "");
    EXPECT_EQ(zoom::detail::isaFromSetting("", warning), best);
    EXPECT_EQ(warning, "");
    for (const Isa isa : {Isa::portable, Isa::avx2, Isa::avx512}) {
        const Isa chosen = zoom::detail::isaFromSetting(zoom::detail::isaName(isa), warning);
        if (zoom::detail::isaAvailable(isa)) {
            EXPECT_EQ(chosen, isa);
            EXPECT_EQ(warning, "");
        } else {
            EXPECT_EQ(chosen, best);
            EXPECT_NE(warning.find("cannot run"), std::string::npos) << warning;
        }
    }
    EXPECT_EQ(zoom::detail::isaFromSetting("sse2", warning), best);
    EXPECT_EQ(warning, std::string("CLIPORA_SIMD=sse2: not one of avx512, avx2, portable; using ") +
                           zoom::detail::isaName(best));
    EXPECT_EQ(warning.find('\n'), std::string::npos);
}
