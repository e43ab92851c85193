#pragma once
// The resize computations written the plain way, pixel by pixel, every
// quantity recomputed where it is used. The shipped implementations must
// give the same bytes. Also used by the benchmarks as the slow baseline.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

#include "imaging/bitmap24.h"

namespace clipora::reference {

using Progress = std::function<void(int)>;

inline int R(double v) { return static_cast<int>(std::nearbyint(v)); }

inline std::uint8_t toByte(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

inline int redOf(std::uint32_t colour) { return colour & 0xFF; }
inline int greenOf(std::uint32_t colour) { return (colour >> 8) & 0xFF; }
inline int blueOf(std::uint32_t colour) { return (colour >> 16) & 0xFF; }

inline bool hasColour(const std::uint8_t* pixel, std::uint32_t colour)
{
    return pixel[2] == redOf(colour) && pixel[1] == greenOf(colour) && pixel[0] == blueOf(colour);
}

inline void setColour(std::uint8_t* pixel, std::uint32_t colour)
{
    pixel[2] = static_cast<std::uint8_t>(redOf(colour));
    pixel[1] = static_cast<std::uint8_t>(greenOf(colour));
    pixel[0] = static_cast<std::uint8_t>(blueOf(colour));
}

// The neighbour flags of one pixel, in the order p00, p10, p01, p11.
struct Nbvalid {
    int f00 = 1, f10 = 1, f01 = 1, f11 = 1;
};

inline int zoomcalc(int p00, int p10, int p01, int p11, double fx, double fy, const Nbvalid& nb)
{
    double v = 0;
    const int pattern = nb.f00 * 1000 + nb.f10 * 100 + nb.f01 * 10 + nb.f11;
    switch (pattern) {
    case 1111: v = p00 + fx * (p10 - p00) + fy * (p01 - p00) + fx * fy * (p00 + p11 - p10 - p01); break;
    case 1110: v = p00 + fx * (p10 - p00) + fy * (p01 - p00); break;
    case 1101: v = p00 + fx * (p10 - p00) + fy * (p11 - p10); break;
    case 1011: v = p00 + fx * (p11 - p01) + fy * (p01 - p00); break;
    case 111: v = (p10 + p01 - p11) + fx * (p11 - p01) + fy * (p11 - p10); break;
    case 1100: v = p00 + fx * (p10 - p00); break;
    case 1010: v = p00 + fy * (p01 - p00); break;
    case 1001: v = p00 + (fx + fy) * (p11 - p00) / 2; break;
    case 110: v = (p10 + p01) / 2.0 + (fx - fy) * (p10 - p01) / 2; break;
    case 101: v = p10 + fy * (p11 - p10); break;
    case 11: v = p01 + fx * (p11 - p01); break;
    case 1000: v = p00; break;
    case 100: v = p10; break;
    case 10: v = p01; break;
    case 1: v = p11; break;
    }
    return toByte(R(v));
}

inline double coverage(const Nbvalid& nb, double fx, double fy)
{
    return nb.f00 * (1 - fx) * (1 - fy) + nb.f10 * fx * (1 - fy) + nb.f01 * (1 - fx) * fy + nb.f11 * fx * fy;
}

inline bool accepted(double coverage, int F)
{
    const long long A = R(coverage * 100);
    return A >= 100 - static_cast<long long>(F) && A >= 1;
}

// Fills target pixel (x, y) from the four neighbours p[0..3] = p00, p10,
// p01, p11 with the flags nb, or with `refused`.
inline void interpolate(Bitmap24& target, int x, int y, const std::uint8_t* const p[4], const Nbvalid& nb, double fx,
                        double fy, int F, std::uint32_t refused)
{
    std::uint8_t* out = target.pixel(x, y);
    if (accepted(coverage(nb, fx, fy), F)) {
        for (int c : {2, 1, 0})  // red, green, blue
            out[c] = static_cast<std::uint8_t>(zoomcalc(p[0][c], p[1][c], p[2][c], p[3][c], fx, fy, nb));
    } else {
        setColour(out, refused);
    }
}

inline void zoomup(const Bitmap24& source, Bitmap24& target, bool transparent, std::uint32_t T, int F,
                   const Progress& progress = {})
{
    const int W = source.width(), H = source.height(), newx = target.width(), newy = target.height();
    const double rx = static_cast<double>(W) / newx, ry = static_cast<double>(H) / newy;
    for (int y = 0; y < newy; ++y) {
        const double sy = (y + 0.5) * ry - 0.5;
        const int y0 = static_cast<int>(std::floor(sy));
        const double fy = sy - y0;
        const int top = std::max(y0, 0);
        const int bottom = y0 + 1 <= H - 1 ? y0 + 1 : H - 1;
        for (int x = 0; x < newx; ++x) {
            const double sx = (x + 0.5) * rx - 0.5;
            const int x0 = static_cast<int>(std::floor(sx));
            const double fx = sx - x0;
            const int left = std::max(x0, 0);
            const int right = x0 + 1 <= W - 1 ? x0 + 1 : W - 1;
            const std::uint8_t* p[4] = {source.pixel(left, top), source.pixel(right, top), source.pixel(left, bottom),
                                        source.pixel(right, bottom)};
            Nbvalid nb;
            if (transparent) {
                nb.f00 = !hasColour(p[0], T);
                nb.f10 = !hasColour(p[1], T);
                nb.f01 = !hasColour(p[2], T);
                nb.f11 = !hasColour(p[3], T);
            }
            interpolate(target, x, y, p, nb, fx, fy, F, T);
        }
        if (progress)
            progress(R(static_cast<double>(y + 1) / newy * 100));
    }
}

inline void zoomdown(const Bitmap24& source, Bitmap24& target, bool transparent, std::uint32_t T, int F,
                     const Progress& progress = {})
{
    const int W = source.width(), H = source.height(), newx = target.width(), newy = target.height();
    const double rx = static_cast<double>(W) / newx, ry = static_cast<double>(H) / newy;
    const float area = static_cast<float>(static_cast<double>(std::int64_t{W} * H) /
                                          static_cast<double>(std::int64_t{newx} * newy));
    auto weight = [](int j, double X0, double X1) -> double {
        if (j > X0 && j + 1 < X1)
            return 1;
        if (j <= X0 && j + 1 < X1)
            return 1 - (X0 - j);
        if (j > X0 && j + 1 >= X1)
            return X1 - j;
        return X1 - X0;
    };
    for (int y = 0; y < newy; ++y) {
        for (int x = 0; x < newx; ++x) {
            const double X0 = x * rx, X1 = (x + 1) * rx - 0.000001;
            const double Y0 = y * ry, Y1 = (y + 1) * ry - 0.000001;
            double Sr = 0, Sg = 0, Sb = 0;
            float Wt = area;
            for (int i = static_cast<int>(std::floor(Y0)); i <= static_cast<int>(std::floor(Y1)); ++i) {
                for (int j = static_cast<int>(std::floor(X0)); j <= static_cast<int>(std::floor(X1)); ++j) {
                    const double wx = weight(j, X0, X1);
                    const double wy = weight(i, Y0, Y1);
                    const std::uint8_t* p = source.pixel(j, i);
                    if (transparent && hasColour(p, T)) {
                        Wt = static_cast<float>(Wt - wx * wy);
                    } else {
                        Sr += wx * wy * p[2];
                        Sg += wx * wy * p[1];
                        Sb += wx * wy * p[0];
                    }
                }
            }
            const double coverage = static_cast<double>(Wt) / area;
            std::uint8_t* out = target.pixel(x, y);
            if (accepted(coverage, F)) {
                out[2] = toByte(R(Sr / Wt));
                out[1] = toByte(R(Sg / Wt));
                out[0] = toByte(R(Sb / Wt));
            } else {
                setColour(out, T);
            }
        }
        if (progress)
            progress(R(static_cast<double>(y + 1) / newy * 100));
    }
}

inline void rotate(const Bitmap24& source, Bitmap24& target, double angle, std::uint32_t G, bool edge,
                   bool transparent, std::uint32_t T, int F, const Progress& progress = {})
{
    const int W = source.width(), H = source.height(), newx = target.width(), newy = target.height();
    const double c = std::cos(angle), s = std::sin(angle);
    const std::uint8_t gap[3] = {static_cast<std::uint8_t>(blueOf(G)), static_cast<std::uint8_t>(greenOf(G)),
                                 static_cast<std::uint8_t>(redOf(G))};
    for (int y = 0; y < newy; ++y) {
        for (int x = 0; x < newx; ++x) {
            const double dx = (x + 0.5) - newx / 2.0;
            const double dy = (y + 0.5) - newy / 2.0;
            const double sx = c * dx + s * dy + (W / 2.0 - 0.5);
            const double sy = -s * dx + c * dy + (H / 2.0 - 0.5);
            const int x0 = static_cast<int>(std::floor(sx));
            const int y0 = static_cast<int>(std::floor(sy));
            const double fx = sx - x0, fy = sy - y0;
            const int column[4] = {x0, x0 + 1, x0, x0 + 1};
            const int row[4] = {y0, y0, y0 + 1, y0 + 1};
            const std::uint8_t* p[4];
            int flag[4];
            for (int k = 0; k < 4; ++k) {
                const bool present = row[k] >= 0 && row[k] <= H - 1 && column[k] >= 0 && column[k] <= W - 1;
                p[k] = present ? source.pixel(column[k], row[k]) : gap;
                flag[k] = present ? 1 : 0;
                if (transparent && hasColour(p[k], T))
                    flag[k] = 0;
                if (!edge)
                    flag[k] = 1;
            }
            interpolate(target, x, y, p, Nbvalid{flag[0], flag[1], flag[2], flag[3]}, fx, fy, F, G);
        }
        if (progress)
            progress(R(static_cast<double>(y + 1) / newy * 100));
    }
}

}  // namespace clipora::reference
