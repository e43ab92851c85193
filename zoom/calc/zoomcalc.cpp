#include "zoom/calc/zoomcalc.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "zoom/calc/kernels.h"

namespace clipora::zoom {

int roundHalfEven(double v) { return detail::roundToInt(v); }

int zoomcalc(int p00, int p10, int p01, int p11, double fx, double fy, Nbvalid nbvalid)
{
    return detail::zoomcalcByte(p00, p10, p01, p11, fx, fy, nbvalid);
}

double coverage(Nbvalid nbvalid, double fx, double fy) { return detail::coverageOf(nbvalid, fx, fy); }

bool accepted(double coverage, int rate) { return detail::isAccepted(coverage, rate); }

double rotationangle(int degree, int hundredths)
{
    return (degree + hundredths / 100.0) * std::numbers::pi / 180;
}

Size rotatedsize(int width, int height, double angle)
{
    if (!std::isfinite(angle))
        throw std::invalid_argument("rotatedsize: the angle is not a finite number");
    const double c = std::cos(angle), s = std::sin(angle);
    const double a = c * width - s * height;
    const double b = c * width + s * height;
    const double d = s * width - c * height;
    const double e = s * width + c * height;
    return {static_cast<int>(std::ceil(std::max(std::fabs(a), std::fabs(b)))),
            static_cast<int>(std::ceil(std::max(std::fabs(d), std::fabs(e))))};
}

namespace detail {

void fillRows(Bitmap24& target, Bgr colour, const Progress& progress)
{
    for (int y = 0; y < target.height(); ++y) {
        std::uint8_t* out = target.row(y);
        for (int x = 0; x < target.width(); ++x, out += 3)
            colour.store(out);
        if (progress)
            progress(progressAfterRow(y, target.height()));
    }
}

}  // namespace detail
}  // namespace clipora::zoom
