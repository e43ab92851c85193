#include <algorithm>
#include <cstring>
#include <string>

#include "bitmap24.h"
#include "bitmap8.h"
#include "errors.h"
#include "limits.h"

namespace clipora {

void checkPictureSize(std::int64_t width, std::int64_t height)
{
    if (width < 0 || height < 0 || width > maxPictureSide || height > maxPictureSide ||
        width * height > maxPicturePixels)
        throw ImagingError(formatMessage(messages::pictureTooLarge,
                                         std::to_string(width) + " x " + std::to_string(height)));
}

std::size_t Bitmap24::strideFor(int width)
{
    return (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
}

Bitmap24::Bitmap24(int width, int height, std::uint8_t fill)
{
    checkPictureSize(width, height);
    width_ = width;
    height_ = height;
    stride_ = strideFor(width);
    data_.assign(stride_ * static_cast<std::size_t>(height), fill);
}

void Bitmap24::resize(int width, int height)
{
    if (width == width_ && height == height_)
        return;
    Bitmap24 grown(width, height);
    const std::size_t bytes = 3 * static_cast<std::size_t>(std::min(width, width_));
    for (int y = 0; y < std::min(height, height_); ++y)
        std::memcpy(grown.row(y), row(y), bytes);
    *this = std::move(grown);
}

void Bitmap24::copyRect(int sx, int sy, int w, int h, int dx, int dy)
{
    // Clip against both rectangles so every touched pixel lies inside.
    auto clipAxis = [](int& s, int& d, int& n, int limit) {
        if (s < 0) { d -= s; n += s; s = 0; }
        if (d < 0) { s -= d; n += d; d = 0; }
        n = std::min({n, limit - s, limit - d});
    };
    clipAxis(sx, dx, w, width_);
    clipAxis(sy, dy, h, height_);
    if (w <= 0 || h <= 0)
        return;
    const std::size_t bytes = 3 * static_cast<std::size_t>(w);
    // Walk rows in the direction that never overwrites a row before it is read;
    // memmove handles overlap within a row.
    if (dy <= sy) {
        for (int i = 0; i < h; ++i)
            std::memmove(pixel(dx, dy + i), pixel(sx, sy + i), bytes);
    } else {
        for (int i = h - 1; i >= 0; --i)
            std::memmove(pixel(dx, dy + i), pixel(sx, sy + i), bytes);
    }
}

void Bitmap24::fill(std::uint8_t blue, std::uint8_t green, std::uint8_t red)
{
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* p = row(y);
        for (int x = 0; x < width_; ++x, p += 3) {
            p[0] = blue;
            p[1] = green;
            p[2] = red;
        }
    }
}

Bitmap8::Bitmap8(int width, int height)
{
    checkPictureSize(width, height);
    width_ = width;
    height_ = height;
    stride_ = (static_cast<std::size_t>(width) + 3) & ~static_cast<std::size_t>(3);
    data_.assign(stride_ * static_cast<std::size_t>(height), 0);
}

void Bitmap8::setPalette(std::vector<PaletteEntry> palette)
{
    if (palette.size() > 256)
        throw ImagingError("palette of more than 256 colours");
    palette_ = std::move(palette);
}

}  // namespace clipora
