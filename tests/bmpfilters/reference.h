#pragma once
// A plain, slow reduction to the static palette written from the rules alone,
// sharing no code or tables with bmpfilters/: the oracle for both the generic
// dither and the fast reduction.

#include <array>
#include <cstdint>
#include <vector>

#include "imaging/bitmap24.h"
#include "imaging/bitmap8.h"

namespace clipora::reference {

struct Reduced {
    Bitmap24 dithered;  // every pixel a palette colour
    Bitmap8 indices;    // no palette set
};

inline int clampByte(int v)
{
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

// Level of v for runs of equal levels starting at 0.
template <std::size_t N>
int levelOf(int v, const std::array<int, N>& runs)
{
    int level = 0;
    for (int end = runs[0]; v >= end; end += runs[++level]) {
    }
    return level;
}

inline Reduced reduce(const Bitmap24& source)
{
    constexpr std::array<int, 6> redBlueRuns{26, 51, 51, 51, 52, 25};
    constexpr std::array<int, 7> greenRuns{22, 42, 43, 43, 43, 41, 22};
    constexpr std::array<int, 6> redBlueValues{0, 51, 102, 153, 204, 255};
    constexpr std::array<int, 7> greenValues{0, 43, 85, 128, 171, 214, 255};

    const int w = source.width();
    const int h = source.height();
    // The whole picture as the working copy, with one column of margin on
    // either side and one row below to catch the shares that fall outside.
    const int stride = w + 2;
    std::vector<std::array<int, 3>> work(static_cast<std::size_t>(stride) * (h + 1), {0, 0, 0});
    auto at = [&](int x, int y) -> std::array<int, 3>& { return work[static_cast<std::size_t>(y) * stride + x + 1]; };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                at(x, y)[c] = source.pixel(x, y)[c];

    Reduced out{Bitmap24(w, h), Bitmap8(w, h)};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::array<int, 3> c = at(x, y);  // blue, green, red
            const std::array<int, 3> level{levelOf(c[0], redBlueRuns), levelOf(c[1], greenRuns),
                                           levelOf(c[2], redBlueRuns)};
            const std::array<int, 3> q{redBlueValues[level[0]], greenValues[level[1]], redBlueValues[level[2]]};
            for (int ch = 0; ch < 3; ++ch) {
                out.dithered.pixel(x, y)[ch] = static_cast<std::uint8_t>(q[ch]);
                const int e = q[ch] - c[ch];
                auto give = [&](std::array<int, 3>& n, int weight) { n[ch] = clampByte(n[ch] - weight * e / 16); };
                give(at(x + 1, y), 7);
                give(at(x - 1, y + 1), 3);
                give(at(x, y + 1), 5);
                give(at(x + 1, y + 1), 1);
            }
            // The index of the dithered colour, looked up from its own channels.
            out.indices.row(y)[x] = static_cast<std::uint8_t>(
                42 * levelOf(q[2], redBlueRuns) + 6 * levelOf(q[1], greenRuns) + levelOf(q[0], redBlueRuns));
        }
    }
    return out;
}

}  // namespace clipora::reference
