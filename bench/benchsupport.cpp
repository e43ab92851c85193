#include "benchsupport.h"

#include <cstdint>
#include <random>

namespace clipora::bench {

const Bitmap24& photo4000x3000()
{
    static const Bitmap24 picture = [] {
        const int w = 4000, h = 3000;
        Bitmap24 b(w, h);
        std::mt19937 random(1234);
        for (int y = 0; y < h; ++y) {
            std::uint8_t* p = b.row(y);
            for (int x = 0; x < w; ++x, p += 3) {
                const int n = static_cast<int>(random() % 25) - 12;
                auto clamp = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
                p[0] = clamp((x + y) * 127 / (w + h) + 64 + n);
                p[1] = clamp(y * 255 / h + n);
                p[2] = clamp(x * 255 / w + n);
            }
        }
        return b;
    }();
    return picture;
}

}  // namespace clipora::bench
