#pragma once
// Small pictures for the zoom tests.

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/bitmap24.h"
#include "imaging/colour.h"
#include "tests/support/testsupport.h"

namespace clipora::test {

// A w x h picture of grey levels given row by row.
inline Bitmap24 greys(int w, int h, const std::vector<int>& levels)
{
    Bitmap24 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                b.pixel(x, y)[c] = static_cast<std::uint8_t>(levels[static_cast<std::size_t>(y) * w + x]);
    return b;
}

// The pixels of a picture as "b,g,r b,g,r ..." rows separated by " / ",
// readable when a small case fails.
inline std::string pixelText(const Bitmap24& b)
{
    std::string text;
    for (int y = 0; y < b.height(); ++y) {
        if (y)
            text += " / ";
        for (int x = 0; x < b.width(); ++x) {
            const std::uint8_t* p = b.pixel(x, y);
            text += (x ? " " : "") + std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
        }
    }
    return text;
}

// The grey levels of a picture row by row, or -1 for a pixel that is not grey.
inline std::vector<int> greyLevels(const Bitmap24& b)
{
    std::vector<int> levels;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const std::uint8_t* p = b.pixel(x, y);
            levels.push_back(p[0] == p[1] && p[1] == p[2] ? p[0] : -1);
        }
    return levels;
}

// The colour value 0x00BBGGRR of pixel (x, y).
inline std::uint32_t colourAt(const Bitmap24& b, int x, int y)
{
    return ColourValue(Rgb::ofPixel(b.pixel(x, y))).value();
}

inline void paint(Bitmap24& b, int x, int y, ColourValue colour)
{
    colour.rgb().storeInPixel(b.pixel(x, y));
}

}  // namespace clipora::test
