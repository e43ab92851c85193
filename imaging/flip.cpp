#include "flip.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace clipora {

Bitmap24 mirroredLeftRight(const Bitmap24& source)
{
    const int width = source.width();
    Bitmap24 flipped(width, source.height());
    for (int y = 0; y < source.height(); ++y) {
        const std::uint8_t* src = source.row(y) + 3 * static_cast<std::size_t>(width);
        std::uint8_t* dst = flipped.row(y);
        for (int x = 0; x < width; ++x) {
            src -= 3;
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            dst += 3;
        }
    }
    return flipped;
}

Bitmap24 mirroredUpsideDown(const Bitmap24& source)
{
    const int height = source.height();
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(source.width());
    Bitmap24 flipped(source.width(), height);
    for (int y = 0; y < height; ++y)
        std::memcpy(flipped.row(height - 1 - y), source.row(y), rowBytes);
    return flipped;
}

}  // namespace clipora
