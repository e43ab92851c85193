// Area-averaging reduction: the footprint tables, the exact per-pixel mean,
// the public entry and the portable loop.

#include <stdexcept>

#include "zoom/calc/kernels.h"

namespace clipora::zoom {

namespace detail {

double reductionTieMargin = 1e-9;

FootprintAxis planFootprints(int srcSize, int size)
{
    FootprintAxis axis;
    axis.size = size;
    axis.first.resize(size);
    axis.count.resize(size);
    const double r = static_cast<double>(srcSize) / size;
    std::vector<double> x0(size), x1(size);
    axis.span = 1;
    for (int x = 0; x < size; ++x) {
        // The far edge is shortened by a millionth, so a footprint that ends
        // exactly on a whole number k stops in source pixel k - 1.
        x0[x] = x * r;
        x1[x] = (x + 1) * r - 0.000001;
        const int first = std::clamp(static_cast<int>(std::floor(x0[x])), 0, srcSize - 1);
        const int last = std::min(static_cast<int>(std::floor(x1[x])), srcSize - 1);
        axis.first[x] = first;
        axis.count[x] = std::max(0, last - first + 1);
        axis.span = std::max(axis.span, axis.count[x]);
    }
    axis.weight.assign(static_cast<std::size_t>(axis.span) * size, 0.0);
    for (int x = 0; x < size; ++x)
        for (int k = 0; k < axis.count[x]; ++k)
            axis.weight[static_cast<std::size_t>(k) * size + x] = footprintWeight(axis.first[x] + k, x0[x], x1[x]);
    return axis;
}

ZoomdownPlan planZoomdown(int srcWidth, int srcHeight, int width, int height)
{
    ZoomdownPlan plan;
    plan.srcWidth = srcWidth;
    plan.srcHeight = srcHeight;
    plan.width = width;
    plan.height = height;
    const std::int64_t srcPixels = std::int64_t{srcWidth} * srcHeight;
    const std::int64_t pixels = std::int64_t{width} * height;
    plan.area = static_cast<float>(static_cast<double>(srcPixels) / static_cast<double>(pixels));
    plan.across = planFootprints(srcWidth, width);
    plan.down = planFootprints(srcHeight, height);
    return plan;
}

void reducePixel(std::uint8_t* out, const Bitmap24& source, const ZoomdownPlan& plan, int x, int y,
                 const Transparency& transparency)
{
    const Bgr key(transparency.colour);
    double sum[3] = {0, 0, 0};
    float weight = plan.area;
    const int firstColumn = plan.across.first[x];
    for (int ki = 0; ki < plan.down.count[y]; ++ki) {
        const double wy = plan.down.w(ki, y);
        const std::uint8_t* p = source.pixel(firstColumn, plan.down.first[y] + ki);
        for (int kj = 0; kj < plan.across.count[x]; ++kj, p += 3) {
            const double wx = plan.across.w(kj, x);
            if (transparency.on && key.matches(p)) {
                weight = static_cast<float>(weight - wx * wy);
            } else {
                for (int c = 0; c < 3; ++c)
                    sum[c] += wx * wy * p[c];
            }
        }
    }
    if (!isAccepted(static_cast<double>(weight) / plan.area, transparency.rate)) {
        key.store(out);
        return;
    }
    for (int c = 2; c >= 0; --c)  // red, green, blue
        out[c] = clampToByte(roundToInt(sum[c] / weight));
}

void zoomdownPortable(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                      const Progress& progress, const ZoomdownPlan& plan)
{
    for (int y = 0; y < plan.height; ++y) {
        std::uint8_t* out = target.row(y);
        for (int x = 0; x < plan.width; ++x, out += 3)
            reducePixel(out, source, plan, x, y, transparency);
        if (progress)
            progress(progressAfterRow(y, plan.height));
    }
}

}  // namespace detail

void zoomdown(const Bitmap24& source, Bitmap24& target, const Transparency& transparency, const Progress& progress)
{
    if (target.empty())
        return;
    if (source.empty())
        throw std::invalid_argument("zoomdown: the source picture is empty");
    if (transparency.rate < 0) {
        detail::fillRows(target, detail::Bgr(transparency.colour), progress);
        return;
    }
    const detail::ZoomdownPlan plan =
        detail::planZoomdown(source.width(), source.height(), target.width(), target.height());
    const detail::Isa isa = detail::currentIsa();
    if (const detail::WholeRatio ratio = detail::wholeRatioOf(plan);
        ratio && (!transparency.on || ratio.kx <= detail::wholeKeyedMaxKx)) {
        detail::zoomdownWhole(source, target, transparency, progress, plan, ratio, isa != detail::Isa::portable);
        return;
    }
    switch (isa) {
    case detail::Isa::avx512: detail::zoomdownAvx512(source, target, transparency, progress, plan); break;
    case detail::Isa::avx2: detail::zoomdownAvx2(source, target, transparency, progress, plan); break;
    case detail::Isa::portable: detail::zoomdownPortable(source, target, transparency, progress, plan); break;
    }
}

}  // namespace clipora::zoom
