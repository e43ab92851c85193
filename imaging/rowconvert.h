#pragma once
// Row conversions shared by the readers that hand over interleaved samples:
// channel order, alpha split off into the picture's coverage, and samples of
// more than 8 bits reduced to 8.

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "picture.h"

namespace clipora::rows {

// A sample of `bits` bits (9 to 16) to 8 bits: v * 255 / max, rounded to
// the nearest.
inline std::uint8_t to8(unsigned v, unsigned bits)
{
    const unsigned max = (1u << bits) - 1;
    v = std::min(v, max);
    return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
}

// `channels` is 3 (red, green, blue) or 4 (with alpha, straight, not
// premultiplied). Writes blue, green, red to `out` and the alpha to `cover`
// (which may be null when channels is 3).
template <typename Sample>
void fromRgb(const Sample* in, int width, int channels, unsigned bits, std::uint8_t* out, std::uint8_t* cover)
{
    for (int x = 0; x < width; ++x, in += channels) {
        if constexpr (sizeof(Sample) == 1) {
            out[3 * x] = in[2];
            out[3 * x + 1] = in[1];
            out[3 * x + 2] = in[0];
            if (channels == 4)
                cover[x] = in[3];
        } else {
            out[3 * x] = to8(in[2], bits);
            out[3 * x + 1] = to8(in[1], bits);
            out[3 * x + 2] = to8(in[0], bits);
            if (channels == 4)
                cover[x] = to8(in[3], bits);
        }
    }
}

// Blue, green, red, alpha (8 bits each) to the picture's row and coverage.
inline void fromBgra(const std::uint8_t* in, int width, std::uint8_t* out, std::uint8_t* cover)
{
    for (int x = 0; x < width; ++x) {
        std::memcpy(out + 3 * x, in + 4 * x, 3);
        cover[x] = in[4 * x + 3];
    }
}

// A picture whose coverage is opaque everywhere carries none.
// Colours stored multiplied by their alpha, made straight: c 255 / a,
// rounded, at most 255. Fully transparent pixels keep theirs.
inline void unpremultiply(Picture& picture)
{
    for (int y = 0; y < picture.height(); ++y) {
        std::uint8_t* p = picture.pixels.row(y);
        const std::uint8_t* cover = picture.alpha.data() + static_cast<std::size_t>(y) * picture.width();
        for (int x = 0; x < picture.width(); ++x, p += 3) {
            const unsigned a = cover[x];
            if (a == 0 || a == 255)
                continue;
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<std::uint8_t>(std::min(255u, (p[c] * 255u + a / 2) / a));
        }
    }
}

inline void dropOpaqueAlpha(Picture& picture)
{
    if (std::all_of(picture.alpha.begin(), picture.alpha.end(), [](std::uint8_t a) { return a == 255; }))
        picture.alpha.clear();
}

}  // namespace clipora::rows
