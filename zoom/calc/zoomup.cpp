// Bilinear enlargement: the tables, the public entry and the portable loop.

#include <stdexcept>

#include "zoom/calc/kernels.h"

namespace clipora::zoom {

namespace detail {

ZoomupPlan planZoomup(int srcWidth, int srcHeight, int width, int height)
{
    ZoomupPlan plan;
    plan.srcWidth = srcWidth;
    plan.srcHeight = srcHeight;
    plan.width = width;
    plan.height = height;
    // One axis: the sample position of each target pixel's centre, its two
    // source neighbours (clamped into the picture, where they stay present)
    // and the fraction between them.
    auto axis = [](int srcSize, int size, std::vector<int>& low, std::vector<int>& high, std::vector<double>& frac) {
        const double r = static_cast<double>(srcSize) / size;
        low.resize(size);
        high.resize(size);
        frac.resize(size);
        for (int x = 0; x < size; ++x) {
            const double s = (x + 0.5) * r - 0.5;
            const double f = std::floor(s);
            const int x0 = static_cast<int>(f);
            frac[x] = s - f;
            low[x] = std::clamp(x0, 0, srcSize - 1);
            high[x] = std::clamp(x0 + 1, 0, srcSize - 1);
        }
    };
    axis(srcWidth, width, plan.left, plan.right, plan.fx);
    axis(srcHeight, height, plan.top, plan.bottom, plan.fy);
    return plan;
}

void zoomupPortable(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                    const Progress& progress, const ZoomupPlan& plan)
{
    const Bgr key(transparency.colour);
    const bool keyed = transparency.on;
    for (int y = 0; y < plan.height; ++y) {
        const std::uint8_t* top = source.row(plan.top[y]);
        const std::uint8_t* bottom = source.row(plan.bottom[y]);
        const double fy = plan.fy[y];
        std::uint8_t* out = target.row(y);
        for (int x = 0; x < plan.width; ++x, out += 3) {
            const std::uint8_t* p00 = top + 3 * plan.left[x];
            const std::uint8_t* p10 = top + 3 * plan.right[x];
            const std::uint8_t* p01 = bottom + 3 * plan.left[x];
            const std::uint8_t* p11 = bottom + 3 * plan.right[x];
            const double fx = plan.fx[x];
            Nbvalid nb = nbAll;
            if (keyed)
                nb = (key.matches(p00) ? 0 : nbP00) | (key.matches(p10) ? 0 : nbP10) |
                     (key.matches(p01) ? 0 : nbP01) | (key.matches(p11) ? 0 : nbP11);
            if (nb == nbAll) {
                // Four present neighbours always give coverage 1 (A = 100),
                // accepted for every rate >= 0.
                const double fxfy = fx * fy;
                for (int c = 0; c < 3; ++c)
                    out[c] = bilinearByte(p00[c], p10[c], p01[c], p11[c], fx, fy, fxfy);
            } else {
                samplePixel(out, p00, p10, p01, p11, nb, fx, fy, transparency.rate, key);
            }
        }
        if (progress)
            progress(progressAfterRow(y, plan.height));
    }
}

}  // namespace detail

void zoomup(const Bitmap24& source, Bitmap24& target, const Transparency& transparency, const Progress& progress)
{
    if (target.empty())
        return;
    if (source.empty())
        throw std::invalid_argument("zoomup: the source picture is empty");
    if (transparency.rate < 0) {
        // 100 - F exceeds every A: each pixel is refused.
        detail::fillRows(target, detail::Bgr(transparency.colour), progress);
        return;
    }
    const detail::ZoomupPlan plan =
        detail::planZoomup(source.width(), source.height(), target.width(), target.height());
    switch (detail::currentIsa()) {
    case detail::Isa::avx512: detail::zoomupAvx512(source, target, transparency, progress, plan); break;
    case detail::Isa::avx2: detail::zoomupAvx2(source, target, transparency, progress, plan); break;
    case detail::Isa::portable: detail::zoomupPortable(source, target, transparency, progress, plan); break;
    }
}

}  // namespace clipora::zoom
