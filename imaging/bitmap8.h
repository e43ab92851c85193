#pragma once
// An 8-bit palettised picture: one palette index per pixel, rows from the
// top padded to a multiple of four bytes, and a palette of up to 256 colours.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace clipora {

struct PaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t flags = 0;
    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

class Bitmap8 {
public:
    Bitmap8() = default;
    // Every index starts at 0. Throws ImagingError on a negative or huge size.
    Bitmap8(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }
    std::size_t stride() const { return stride_; }

    std::uint8_t* row(int y) { return data_.data() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t* row(int y) const { return data_.data() + static_cast<std::size_t>(y) * stride_; }

    // At most 256 entries; setting more throws ImagingError.
    const std::vector<PaletteEntry>& palette() const { return palette_; }
    void setPalette(std::vector<PaletteEntry> palette);

private:
    int width_ = 0;
    int height_ = 0;
    std::size_t stride_ = 0;
    std::vector<std::uint8_t> data_;
    std::vector<PaletteEntry> palette_;
};

}  // namespace clipora
