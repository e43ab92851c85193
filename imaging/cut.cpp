#include "cut.h"

#include <algorithm>
#include <cstring>

#include "errors.h"

namespace clipora {

namespace {

// Copies the part of the area covered by `source` (clipped to the canvas)
// into `out`, which starts white; `cover` is the source's alpha or null.
void copyCovered(const Bitmap24& source, const std::uint8_t* cover, int canvasWidth, int canvasHeight,
                 const CutArea& area, Bitmap24& out)
{
    const int right = std::min({area.xr, source.width(), canvasWidth});
    const int bottom = std::min({area.yb, source.height(), canvasHeight});
    const int left = std::max(area.xl, 0), top = std::max(area.yu, 0);
    if (right <= left || bottom <= top)
        return;
    const std::size_t bytes = 3 * static_cast<std::size_t>(right - left);
    for (int y = top; y < bottom; ++y) {
        const std::uint8_t* src = source.pixel(left, y);
        std::uint8_t* dst = out.pixel(left - area.xl, y - area.yu);
        if (!cover) {
            std::memcpy(dst, src, bytes);
            continue;
        }
        const std::uint8_t* a = cover + static_cast<std::size_t>(y) * source.width() + left;
        for (int x = 0; x < right - left; ++x) {
            const unsigned alpha = a[x];
            if (alpha == 255) {
                std::memcpy(dst + 3 * x, src + 3 * x, 3);
            } else if (alpha != 0) {
                // Blends over white, as drawPicture does over any colour.
                for (int c = 0; c < 3; ++c)
                    dst[3 * x + c] = static_cast<std::uint8_t>((src[3 * x + c] * alpha + 255 * (255 - alpha) + 127) / 255);
            }
        }
    }
}

}  // namespace

Bitmap24 cutArea(const Picture& picture, int canvasWidth, int canvasHeight, const CutArea& area)
{
    if (area.empty())
        throw ImagingError("切り抜く範囲が空です");
    Bitmap24 out(area.width(), area.height());
    copyCovered(picture.pixels, picture.hasTransparency() ? picture.alpha.data() : nullptr, canvasWidth,
                canvasHeight, area, out);
    return out;
}

Bitmap24 cutArea(const Bitmap24& bitmap, const CutArea& area)
{
    if (area.empty())
        throw ImagingError("切り抜く範囲が空です");
    Bitmap24 out(area.width(), area.height());
    copyCovered(bitmap, nullptr, bitmap.width(), bitmap.height(), area, out);
    return out;
}

}  // namespace clipora
