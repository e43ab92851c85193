// Rotation about the centre: the per-axis tables, the exact per-pixel
// sample, the public entry and the portable loop.

#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "zoom/calc/kernels.h"

namespace clipora::zoom {

namespace detail {

RotatePlan planRotate(int srcWidth, int srcHeight, int width, int height, double angle, ColourValue gap,
                      bool noFrameCorrection)
{
    RotatePlan plan;
    plan.srcWidth = srcWidth;
    plan.srcHeight = srcHeight;
    plan.width = width;
    plan.height = height;
    plan.c = std::cos(angle);
    plan.s = std::sin(angle);
    plan.offsetX = srcWidth / 2.0 - 0.5;
    plan.offsetY = srcHeight / 2.0 - 0.5;
    plan.gap = Bgr(gap);
    plan.noFrameCorrection = noFrameCorrection;
    plan.cdx.resize(width);
    plan.sdx.resize(width);
    for (int x = 0; x < width; ++x) {
        const double dx = (x + 0.5) - width / 2.0;
        plan.cdx[x] = plan.c * dx;
        plan.sdx[x] = plan.s * dx;
    }
    plan.cdy.resize(height);
    plan.sdy.resize(height);
    for (int y = 0; y < height; ++y) {
        const double dy = (y + 0.5) - height / 2.0;
        plan.cdy[y] = plan.c * dy;
        plan.sdy[y] = plan.s * dy;
    }
    return plan;
}

namespace {

// The source position sampled by target pixel (x, y):
// sx = c dx + s dy + (W / 2 - 0.5), sy = -s dx + c dy + (H / 2 - 0.5).
struct Sample {
    int x0, y0;
    double fx, fy;
    Sample(const RotatePlan& plan, int x, int y)
    {
        const double sx = plan.cdx[x] + plan.sdy[y] + plan.offsetX;
        const double sy = -plan.sdx[x] + plan.cdy[y] + plan.offsetY;
        const double fx0 = std::floor(sx), fy0 = std::floor(sy);
        x0 = static_cast<int>(fx0);
        y0 = static_cast<int>(fy0);
        fx = sx - fx0;
        fy = sy - fy0;
    }
};

}  // namespace

void rotatePixel(std::uint8_t* out, const Bitmap24& source, const RotatePlan& plan, int x, int y,
                 const Transparency& transparency)
{
    const Sample at(plan, x, y);
    const std::uint8_t gap[3] = {plan.gap.b, plan.gap.g, plan.gap.r};
    const Bgr key(transparency.colour);
    // A neighbour outside the picture is absent and has the gap colour.
    const std::uint8_t* p[4];
    Nbvalid nb = 0;
    for (int k = 0; k < 4; ++k) {
        const int col = at.x0 + (k & 1), row = at.y0 + (k >> 1);
        if (col >= 0 && col < plan.srcWidth && row >= 0 && row < plan.srcHeight) {
            p[k] = source.pixel(col, row);
            nb |= 1u << k;
        } else {
            p[k] = gap;
        }
        if (transparency.on && key.matches(p[k]))
            nb &= ~(1u << k);
    }
    if (!plan.noFrameCorrection)
        nb = nbAll;
    samplePixel(out, p[0], p[1], p[2], p[3], nb, at.fx, at.fy, transparency.rate, plan.gap);
}

void rotatePortable(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                    const Progress& progress, const RotatePlan& plan)
{
    const Bgr key(transparency.colour);
    const std::size_t stride = source.stride();
    const auto ahead = static_cast<std::uintptr_t>(rotationAhead(plan, stride));  // wraps as it should
    // Tiles of a band of rows by a run of columns, as in the vector code: a
    // turned row crosses thousands of source rows, a tile a compact patch.
    constexpr int bandRows = 32, tileColumns = 256;
    for (int band = 0; band < plan.height; band += bandRows) {
        const int bandEnd = std::min(band + bandRows, plan.height);
        for (int tile = 0; tile < plan.width; tile += tileColumns) {
            const int tileEnd = std::min(tile + tileColumns, plan.width);
            for (int y = band; y < bandEnd; ++y) {
                std::uint8_t* out = target.row(y) + 3 * static_cast<std::size_t>(tile);
                for (int x = tile; x < tileEnd; ++x, out += 3) {
                    const Sample at(plan, x, y);
                    if (at.x0 >= 0 && at.x0 < plan.srcWidth - 1 && at.y0 >= 0 && at.y0 < plan.srcHeight - 1) {
                        const std::uint8_t* p00 = source.pixel(at.x0, at.y0);
                        const std::uint8_t* p10 = p00 + 3;
                        const std::uint8_t* p01 = p00 + stride;
                        const std::uint8_t* p11 = p01 + 3;
                        if (x % 2 == 0)
                            prefetchPixelPair(reinterpret_cast<std::uintptr_t>(p00) + ahead, stride);
                        if (!transparency.on || !plan.noFrameCorrection ||
                            !(key.matches(p00) || key.matches(p10) || key.matches(p01) || key.matches(p11))) {
                            const double fxfy = at.fx * at.fy;
                            for (int c = 0; c < 3; ++c)
                                out[c] = bilinearByte(p00[c], p10[c], p01[c], p11[c], at.fx, at.fy, fxfy);
                            continue;
                        }
                    } else if (at.x0 < -1 || at.x0 >= plan.srcWidth || at.y0 < -1 || at.y0 >= plan.srcHeight) {
                        // All four neighbours lie outside: with frame correction
                        // the blend of four gap colours, without it coverage 0;
                        // the gap colour either way.
                        plan.gap.store(out);
                        continue;
                    }
                    rotatePixel(out, source, plan, x, y, transparency);
                }
            }
        }
        // Progress for each row of the band, in order, once the band is done.
        if (progress)
            for (int y = band; y < bandEnd; ++y)
                progress(progressAfterRow(y, plan.height));
    }
}

}  // namespace detail

void rotate(const Bitmap24& source, Bitmap24& target, double angle, ColourValue gapColour, bool noFrameCorrection,
            const Transparency& transparency, const Progress& progress)
{
    if (!std::isfinite(angle))
        throw std::invalid_argument("rotate: the angle is not a finite number");
    if (target.empty())
        return;
    if (source.empty())
        throw std::invalid_argument("rotate: the source picture is empty");
    if (transparency.rate < 0) {
        detail::fillRows(target, detail::Bgr(gapColour), progress);
        return;
    }
    const detail::RotatePlan plan = detail::planRotate(source.width(), source.height(), target.width(),
                                                       target.height(), angle, gapColour, noFrameCorrection);
    switch (detail::currentIsa()) {
    case detail::Isa::avx512: detail::rotateAvx512(source, target, transparency, progress, plan); break;
    case detail::Isa::avx2: detail::rotateAvx2(source, target, transparency, progress, plan); break;
    case detail::Isa::portable: detail::rotatePortable(source, target, transparency, progress, plan); break;
    }
}

}  // namespace clipora::zoom
