#pragma once
// A 24-bit picture in memory: blue, green, red bytes per pixel, rows from the
// top, each stored row padded to a multiple of four bytes. Operations touch
// only the first 3 * width bytes of a row.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace clipora {

class Bitmap24 {
public:
    Bitmap24() = default;
    // A width by height bitmap, every byte set to `fill` (255: white).
    // Throws ImagingError when the size is negative or too large to hold.
    Bitmap24(int width, int height, std::uint8_t fill = 255);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }
    // Bytes from one row's start to the next: 3 * width rounded up to four.
    std::size_t stride() const { return stride_; }
    static std::size_t strideFor(int width);

    std::uint8_t* row(int y) { return data_.data() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t* row(int y) const { return data_.data() + static_cast<std::size_t>(y) * stride_; }
    std::uint8_t* pixel(int x, int y) { return row(y) + 3 * static_cast<std::size_t>(x); }
    const std::uint8_t* pixel(int x, int y) const { return row(y) + 3 * static_cast<std::size_t>(x); }
    std::uint8_t* data() { return data_.data(); }
    const std::uint8_t* data() const { return data_.data(); }

    // Changes the size keeping the top-left pixels that both sizes share;
    // pixels of newly added area are white.
    void resize(int width, int height);
    // Copies the w by h rectangle at (sx, sy) to (dx, dy) within this bitmap,
    // as if the source pixels were read out first and then written. The
    // rectangles are clipped to the bitmap; parts outside are left alone.
    void copyRect(int sx, int sy, int w, int h, int dx, int dy);
    void fill(std::uint8_t blue, std::uint8_t green, std::uint8_t red);

private:
    int width_ = 0;
    int height_ = 0;
    std::size_t stride_ = 0;
    std::vector<std::uint8_t> data_;
};

}  // namespace clipora
