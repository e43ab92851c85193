#pragma once
// Shared inner pieces of the zoom computations: the exact per-pixel rules,
// the per-axis tables, and the entry points of the portable and vector
// implementations. Internal to clipora_zoomcalc (and its tests).

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zoom/calc/zoomcalc.h"

namespace clipora::zoom::detail {

// ---- exact per-pixel rules --------------------------------------------------

inline int roundToInt(double v) { return static_cast<int>(std::nearbyint(v)); }

inline std::uint8_t clampToByte(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// A colour value as the three bytes of a pixel (blue, green, red).
struct Bgr {
    std::uint8_t b, g, r;
    explicit Bgr(ColourValue colour) : b(colour.rgb().b), g(colour.rgb().g), r(colour.rgb().r) {}
    bool matches(const std::uint8_t* p) const { return p[0] == b && p[1] == g && p[2] == r; }
    void store(std::uint8_t* p) const
    {
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }
    // The pixel's three bytes read as one little-endian number (blue in the
    // low byte): the colour's 0xRRGGBB.
    std::uint32_t packed() const { return Rgb{r, g, b}.hex(); }
};

inline double zoomcalcValue(int p00, int p10, int p01, int p11, double fx, double fy, Nbvalid nbvalid)
{
    switch (nbvalid & nbAll) {
    case nbP00 | nbP10 | nbP01 | nbP11:
        return ((p00 + fx * (p10 - p00)) + fy * (p01 - p00)) + (fx * fy) * (p00 + p11 - p10 - p01);
    case nbP00 | nbP10 | nbP01:
        return (p00 + fx * (p10 - p00)) + fy * (p01 - p00);
    case nbP00 | nbP10 | nbP11:
        return (p00 + fx * (p10 - p00)) + fy * (p11 - p10);
    case nbP00 | nbP01 | nbP11:
        return (p00 + fx * (p11 - p01)) + fy * (p01 - p00);
    case nbP10 | nbP01 | nbP11:
        return ((p10 + p01 - p11) + fx * (p11 - p01)) + fy * (p11 - p10);
    case nbP00 | nbP10:
        return p00 + fx * (p10 - p00);
    case nbP00 | nbP01:
        return p00 + fy * (p01 - p00);
    case nbP00 | nbP11:
        return p00 + ((fx + fy) * (p11 - p00)) / 2;
    case nbP10 | nbP01:
        return (p10 + p01) / 2.0 + ((fx - fy) * (p10 - p01)) / 2;
    case nbP10 | nbP11:
        return p10 + fy * (p11 - p10);
    case nbP01 | nbP11:
        return p01 + fx * (p11 - p01);
    case nbP00:
        return p00;
    case nbP10:
        return p10;
    case nbP01:
        return p01;
    case nbP11:
        return p11;
    default:
        return 0;
    }
}

inline std::uint8_t zoomcalcByte(int p00, int p10, int p01, int p11, double fx, double fy, Nbvalid nbvalid)
{
    return clampToByte(roundToInt(zoomcalcValue(p00, p10, p01, p11, fx, fy, nbvalid)));
}

inline double coverageOf(Nbvalid nbvalid, double fx, double fy)
{
    const double f00 = (nbvalid & nbP00) ? 1 : 0, f10 = (nbvalid & nbP10) ? 1 : 0;
    const double f01 = (nbvalid & nbP01) ? 1 : 0, f11 = (nbvalid & nbP11) ? 1 : 0;
    return f00 * (1 - fx) * (1 - fy) + f10 * fx * (1 - fy) + f01 * (1 - fx) * fy + f11 * fx * fy;
}

inline bool isAccepted(double coverage, int rate)
{
    const long long a = roundToInt(coverage * 100);
    return a >= 100 - static_cast<long long>(rate) && a >= 1;
}

// One target pixel of an enlargement or rotation from its four neighbours
// (blue, green, red each), exactly; a refused pixel takes `refused`.
inline void samplePixel(std::uint8_t* out, const std::uint8_t* p00, const std::uint8_t* p10, const std::uint8_t* p01,
                        const std::uint8_t* p11, Nbvalid nbvalid, double fx, double fy, int rate, Bgr refused)
{
    if (!isAccepted(coverageOf(nbvalid, fx, fy), rate)) {
        refused.store(out);
        return;
    }
    for (int c = 2; c >= 0; --c)  // red, green, blue
        out[c] = zoomcalcByte(p00[c], p10[c], p01[c], p11[c], fx, fy, nbvalid);
}

// The bilinear value of one channel with all four neighbours present.
inline std::uint8_t bilinearByte(int p00, int p10, int p01, int p11, double fx, double fy, double fxfy)
{
    const double v = ((p00 + fx * (p10 - p00)) + fy * (p01 - p00)) + fxfy * (p00 + p11 - p10 - p01);
    return clampToByte(roundToInt(v));
}

// R((y + 1) / rows x 100): the progress after target row y.
inline int progressAfterRow(int y, int rows) { return roundToInt(static_cast<double>(y + 1) / rows * 100); }

// Fills every target pixel with one colour, row by row with progress: the
// result whenever the selection rate refuses every pixel.
void fillRows(Bitmap24& target, Bgr colour, const Progress& progress);

// ---- enlargement --------------------------------------------------------------

// Where each target column and row samples the source.
struct ZoomupPlan {
    int srcWidth = 0, srcHeight = 0, width = 0, height = 0;
    std::vector<int> left, right;  // per target column: source columns of p00 and p10
    std::vector<double> fx;
    std::vector<int> top, bottom;  // per target row: source rows of p00 and p01
    std::vector<double> fy;
};
ZoomupPlan planZoomup(int srcWidth, int srcHeight, int width, int height);

void zoomupPortable(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                    const Progress& progress, const ZoomupPlan& plan);
// The vector enlargements first blend in single precision, from each
// source row's horizontal blend A = L + fx (R - L) (computed once per
// source row) as F = A_top + fy (A_bottom - A_top), which equals the plain
// formula in real arithmetic. F lies within `enlargementScreenMargin` of the
// plain double value D, so when F is further than 0.5 - margin from its
// nearest integer r, D rounds to r as well; other groups are blended in
// double precision. The bound, with every value below 256 (where a single-
// precision rounding errs by at most 2^-17) and float(fx), float(fy) within
// 2^-25 of fx, fy:
//   each A:            255 x 2^-25 (fx) + 2^-17 (product) + 2^-17 (sum)  <= 3 x 2^-17
//   A_bottom - A_top:  2 x 3 x 2^-17 + 2^-17 (difference)                <= 7 x 2^-17
//   fy times it:       2^-25 x 256 (fy) + 7 x 2^-17 + 2^-17 (product)    <= 9 x 2^-17
//   F:                 3 x 2^-17 + 9 x 2^-17 + 2^-17 (sum)               = 13 x 2^-17
// and D, seven double roundings of values below 1024, is within 2^-40 of
// the real value: 14 x 2^-17 < 2^-13. |F - r| is computed exactly (Sterbenz).
constexpr float enlargementScreenMargin = 1.0f / 8192;
// Fractions that are multiples of 1/64 (halves, quarters, eighths ...) make
// every step of both blends exact: A is a multiple of 2^-6 below 256 (14
// bits), fy (A_bottom - A_top) and F multiples of 2^-12 below 256 (20
// bits), and the double steps hold as many bits. Then F = D, and F rounds
// as D does even on a half, so such elements are never sent back.
inline bool isShortDyadic(double fraction) { return fraction * 64 == std::floor(fraction * 64); }
// The fractions of a row's elements (three per target pixel) as the vector
// enlargements read them: in double and in single precision, and per group
// of Group elements the bits of those whose fraction is a short dyadic one.
template <class Mask, int Group>
struct ElementFractions {
    std::vector<double> fx;
    std::vector<float> fxf;
    std::vector<Mask> exact;
    explicit ElementFractions(const std::vector<double>& perPixel)
        : fx(3 * perPixel.size() + Group, 0.0), fxf(fx.size(), 0.0f), exact(fx.size() / Group + 1, 0)
    {
        for (std::size_t e = 0; e < 3 * perPixel.size(); ++e) {
            fx[e] = perPixel[e / 3];
            fxf[e] = static_cast<float>(fx[e]);
            if (isShortDyadic(fx[e]))
                exact[e / Group] = static_cast<Mask>(exact[e / Group] | (1u << (e % Group)));
        }
    }
};

// Blends again, in double precision as the plain code does, the `count`
// listed elements of a row that the screen found near a half.
template <class Row>
void blendListed(const Row& top, const Row& bottom, const double* fx, double fy, std::uint8_t* out, int elements,
                 const std::int32_t* near, int count)
{
    for (int k = 0; k < count; ++k) {
        const int e = near[k];
        if (e < elements)
            out[e] = bilinearByte(top.left[e], top.right[e], bottom.left[e], bottom.right[e], fx[e], fy, fx[e] * fy);
    }
}

// The vector rotations first blend in single precision, in the plain
// code's order: ((p00 + f d10) + g d01) + (f g) d11 with f = float(fx),
// g = float(fy). With values below 256 (a rounding errs by at most 2^-17),
// below 512 after the second sum and the last product (2^-16):
//   f d10 and its sum with p00:   255 x 2^-25 + 2^-17 + 2^-17             <= 3 x 2^-17
//   g d01 and the second sum:     255 x 2^-25 + 2^-17 + 2^-16             <= 4 x 2^-17
//   f g (within 3 x 2^-25 of fx fy) times d11 (|d11| <= 510):
//                                 510 x 3 x 2^-25 + 2^-16                 <= 8 x 2^-17
//   the last sum:                 2^-17
// in all 16 x 2^-17 = 2^-13 from the double value (itself within 2^-40 of
// the real one), so a margin of 2^-12 decides as the enlargement's does.
constexpr float rotationScreenMargin = 1.0f / 4096;

// How the vector enlargements blend a row: every element in double precision
// (off), or screened in single precision with the elements near a half
// listed from every group without a branch, or only from the groups that
// have one. The first rows list every group; the share of elements they
// sent back chooses for the others: at most 1 in `nearGroupsLimit` (most
// sizes), only the groups that have one; at most 1 in `everyGroupLimit`
// (sizes whose fractions are sixths, quarters or eighths put many values
// exactly on halves), every group, where that is still quicker than double
// precision throughout; else off. Each implementation sets the limits that
// its own costs give.
enum class Screen { off, listEveryGroup, listNearGroups };
constexpr int enlargementScreenTrialRows = 8;
inline Screen screenAfterTrial(long long screened, long long near, int nearGroupsLimit, int everyGroupLimit)
{
    if (near * nearGroupsLimit <= screened)
        return Screen::listNearGroups;
    return near * everyGroupLimit <= screened ? Screen::listEveryGroup : Screen::off;
}

void zoomupAvx2(const Bitmap24& source, Bitmap24& target, const Transparency& transparency, const Progress& progress,
                const ZoomupPlan& plan);
void zoomupAvx512(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                  const Progress& progress, const ZoomupPlan& plan);

// ---- reduction ----------------------------------------------------------------

// The weight of source column (or row) j in the footprint X0 .. X1.
inline double footprintWeight(int j, double X0, double X1)
{
    if (j > X0)
        return j + 1 < X1 ? 1 : X1 - j;
    return j + 1 < X1 ? 1 - (X0 - j) : X1 - X0;
}

// One axis of a reduction: for each target index the first source index, the
// number of source indices under the footprint, and their weights. Weights
// are stored by term, `span` terms per index (unused ones 0, with indices
// clamped into the picture), so term k of index x is weight[k * size + x].
struct FootprintAxis {
    int size = 0;  // target pixels along the axis
    int span = 0;  // the most source pixels any footprint touches
    std::vector<int> first, count;
    std::vector<double> weight;
    double w(int k, int x) const { return weight[static_cast<std::size_t>(k) * size + x]; }
};
FootprintAxis planFootprints(int srcSize, int size);

struct ZoomdownPlan {
    int srcWidth = 0, srcHeight = 0, width = 0, height = 0;
    float area = 0;
    FootprintAxis across, down;
};
ZoomdownPlan planZoomdown(int srcWidth, int srcHeight, int width, int height);

// One reduced pixel, exactly.
void reducePixel(std::uint8_t* out, const Bitmap24& source, const ZoomdownPlan& plan, int x, int y,
                 const Transparency& transparency);

// A reduced mean taken as sum x (1 / weight) rounds like sum / weight unless
// it lies within this distance of a half; then it is divided exactly. Tests
// raise it to 0.5 to send every mean through the division.
extern double reductionTieMargin;

void zoomdownPortable(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                      const Progress& progress, const ZoomdownPlan& plan);

// A reduction whose footprints are whole kx x ky blocks of the source (see
// zoomdown_whole.cpp); {0, 0} when the plan is not one such.
struct WholeRatio {
    int kx = 0, ky = 0;
    explicit operator bool() const { return kx > 0; }
};
WholeRatio wholeRatioOf(const ZoomdownPlan& plan);
// Adds `bytes` bytes of a source row to 16-bit sums, byte for byte.
using RowAdder = void (*)(std::uint16_t* sums, const std::uint8_t* row, std::size_t bytes);
void addRowPortable(std::uint16_t* sums, const std::uint8_t* row, std::size_t bytes);
void addRowAvx2(std::uint16_t* sums, const std::uint8_t* row, std::size_t bytes);
// For n = kx ky = 2^shift >= 2: the rounded mean of the block whose top-left
// byte is at each of `positions` (a multiple of 16) positions of the column
// sums, into `rounded`. `sums` and `lastRow` (the block row's last source
// row) are readable 3 kx + 32 past `positions`.
void finishWholeRowAvx2(const std::uint16_t* sums, const std::uint8_t* lastRow, std::uint8_t* rounded,
                        std::size_t positions, int kx, int shift);
// Sets bit j % 64 of marks[j / 64] for each of the `width` pixels j of
// `row` that has the colour `key`, and clears the others (whole words).
using KeyMarker = void (*)(std::uint64_t* marks, const std::uint8_t* row, int width, Bgr key);
void markKeyPortable(std::uint64_t* marks, const std::uint8_t* row, int width, Bgr key);
void markKeyAvx2(std::uint64_t* marks, const std::uint8_t* row, int width, Bgr key);
// The widest block the transparent form of zoomdownWhole takes.
constexpr int wholeKeyedMaxKx = 64;
// The reduction of such a plan from integer sums: the same bytes as the
// plain code. With transparency on (kx <= wholeKeyedMaxKx, rate >= 0),
// blocks without the transparent colour are those sums, blocks wholly of it
// the transparent colour, and the others reduced pixel by pixel. `vector`:
// AVX2 may be used.
void zoomdownWhole(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                   const Progress& progress, const ZoomdownPlan& plan, WholeRatio ratio, bool vector);
void zoomdownAvx2(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                  const Progress& progress, const ZoomdownPlan& plan);
void zoomdownAvx512(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                    const Progress& progress, const ZoomdownPlan& plan);

// ---- rotation -----------------------------------------------------------------

struct RotatePlan {
    int srcWidth = 0, srcHeight = 0, width = 0, height = 0;
    double c = 1, s = 0;
    double offsetX = 0, offsetY = 0;  // W / 2 - 0.5, H / 2 - 0.5
    std::vector<double> cdx, sdx;     // per target column: c dx and s dx
    std::vector<double> cdy, sdy;     // per target row: c dy and s dy
    Bgr gap{0};
    bool noFrameCorrection = true;
};
RotatePlan planRotate(int srcWidth, int srcHeight, int width, int height, double angle, ColourValue gap,
                      bool noFrameCorrection);

// One rotated pixel at target (x, y), exactly.
void rotatePixel(std::uint8_t* out, const Bitmap24& source, const RotatePlan& plan, int x, int y,
                 const Transparency& transparency);

void rotatePortable(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                    const Progress& progress, const RotatePlan& plan);
// The vector rotations ask for the source lines that a target pixel reads
// this many rows before it: a turned row crosses many source rows, where the
// processor's own prefetching does not follow. `rotationAhead` is about how
// far (in bytes) those lines lie from the ones the pixel that many rows up
// reads: each target row down moves the source position by (s, c).
constexpr int rotationRowsAhead = 8;
inline long long rotationAhead(const RotatePlan& plan, std::size_t stride)
{
    return std::llround(rotationRowsAhead * plan.s) * 3 +
           std::llround(rotationRowsAhead * plan.c) * static_cast<long long>(stride);
}
// Asks for the line at `address` and the one a source row below. The address
// is a number, not a pointer: it may lie outside the picture, where a
// prefetch is only a wasted hint.
inline void prefetchPixelPair(std::uintptr_t address, std::size_t stride)
{
    __builtin_prefetch(reinterpret_cast<const void*>(address));
    __builtin_prefetch(reinterpret_cast<const void*>(address + stride));
}
void rotateAvx2(const Bitmap24& source, Bitmap24& target, const Transparency& transparency, const Progress& progress,
                const RotatePlan& plan);
void rotateAvx512(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                  const Progress& progress, const RotatePlan& plan);

// ---- choice of implementation ---------------------------------------------------

enum class Isa { portable, avx2, avx512 };
// Whether this processor runs the implementation.
bool isaAvailable(Isa isa);
// The best implementation this processor runs.
Isa bestIsa();
// The implementation the computations use: the one the environment variable
// CLIPORA_SIMD names ("avx512", "avx2" or "portable"; one the processor
// lacks gives way to the best it has, with a line on standard error), else
// the best one; unless tests or benchmarks chose another with useIsa (which
// refuses unavailable ones).
Isa currentIsa();
bool useIsa(Isa isa);
// The implementation an environment setting asks for: `value` the text of
// CLIPORA_SIMD (null when unset). `warning` receives the line to print
// when the request cannot be met as asked, else stays empty.
Isa isaFromSetting(const char* value, std::string& warning);
const char* isaName(Isa isa);

}  // namespace clipora::zoom::detail
