#pragma once
// A decoded picture as a reader produced it: its pixels, which of them it
// leaves transparent, and what kind of file it came from.

#include <cstdint>
#include <vector>

#include "bitmap24.h"

namespace clipora {

enum class PictureKind { Bitmap, Icon, Metafile, Jpeg, Gif, Png, Webp, Avif, Heif, Tiff };

struct Picture {
    PictureKind kind = PictureKind::Bitmap;
    Bitmap24 pixels;
    // Coverage per pixel, width * height bytes, rows from the top without
    // padding: 0 transparent, 255 opaque. Empty when every pixel is opaque.
    std::vector<std::uint8_t> alpha;

    int width() const { return pixels.width(); }
    int height() const { return pixels.height(); }
    bool hasTransparency() const { return !alpha.empty(); }
};

// Draws the picture onto `target` at (0, 0), at its own size, clipped to the
// target: opaque pixels replace, transparent ones leave the target's pixel,
// partly covered ones blend (rounded to nearest).
void drawPicture(const Picture& picture, Bitmap24& target);

// The picture over a background of one colour, at the picture's size.
Bitmap24 flattenPicture(const Picture& picture, std::uint8_t blue = 255, std::uint8_t green = 255,
                        std::uint8_t red = 255);

}  // namespace clipora
