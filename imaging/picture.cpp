#include "picture.h"

#include <algorithm>
#include <cstring>

namespace clipora {

void drawPicture(const Picture& picture, Bitmap24& target)
{
    const int w = std::min(picture.width(), target.width());
    const int h = std::min(picture.height(), target.height());
    const std::size_t pictureWidth = static_cast<std::size_t>(picture.width());
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = picture.pixels.row(y);
        std::uint8_t* dst = target.row(y);
        if (!picture.hasTransparency()) {
            std::memcpy(dst, src, 3 * static_cast<std::size_t>(w));
            continue;
        }
        const std::uint8_t* cover = picture.alpha.data() + static_cast<std::size_t>(y) * pictureWidth;
        for (int x = 0; x < w; ++x) {
            const unsigned a = cover[x];
            if (a == 255) {
                std::memcpy(dst + 3 * x, src + 3 * x, 3);
            } else if (a != 0) {
                for (int c = 0; c < 3; ++c) {
                    const unsigned v = src[3 * x + c] * a + dst[3 * x + c] * (255 - a);
                    dst[3 * x + c] = static_cast<std::uint8_t>((v + 127) / 255);
                }
            }
        }
    }
}

Bitmap24 flattenPicture(const Picture& picture, std::uint8_t blue, std::uint8_t green, std::uint8_t red)
{
    if (!picture.hasTransparency())
        return picture.pixels;
    Bitmap24 out(picture.width(), picture.height());
    if (blue != 255 || green != 255 || red != 255)
        out.fill(blue, green, red);
    drawPicture(picture, out);
    return out;
}

}  // namespace clipora
