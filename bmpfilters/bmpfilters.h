#pragma once
// Colour reduction of 24-bit bitmaps to the fixed 252-colour palette: 6 levels
// of red, 7 of green and 6 of blue, with Floyd-Steinberg error diffusion
// (weights 7, 3, 5 and 1 sixteenths). No window and no file is touched here.
//
// The tables and the palette are built once by initBmpFilters(), which the
// program calls at start, before any window exists. Every function below
// builds them itself on first use if that call was left out, so calling it is
// a matter of timing, not of correctness.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/bitmap24.h"
#include "imaging/bitmap8.h"

namespace clipora {

// The text of the error raised for a source that is not 24 bits per pixel.
inline constexpr const char* bitmapFilterDepthError = "BitmapFiletr accepts only 24Bit DIB";

// Level to value, per channel.
inline constexpr std::array<std::uint8_t, 6> RedValue{0, 51, 102, 153, 204, 255};
inline constexpr std::array<std::uint8_t, 7> GreenValue{0, 43, 85, 128, 171, 214, 255};
inline constexpr std::array<std::uint8_t, 6> BlueValue{0, 51, 102, 153, 204, 255};

inline constexpr int staticPaletteSize = 252;

// Value to level, per channel, and the palette whose entry 42 r + 6 g + b has
// the colour (RedValue[r], GreenValue[g], BlueValue[b]) and flags 0.
struct StaticColourTables {
    std::array<std::uint8_t, 256> RedLevel;
    std::array<std::uint8_t, 256> GreenLevel;
    std::array<std::uint8_t, 256> BlueLevel;
    std::vector<PaletteEntry> StaticPalette;
};

// Builds the level tables and the palette; later calls do nothing. Safe to
// call from several threads.
void initBmpFilters();
// The tables, built on first use. Read-only for the rest of the run.
const StaticColourTables& staticColourTables();

// 0 below 0, 255 above 255, else v.
constexpr std::uint8_t ClampByte(std::int32_t v)
{
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

struct BgrColour {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    friend bool operator==(const BgrColour&, const BgrColour&) = default;
};

// Maps a colour to a colour; the dither asks it for the colour each pixel gets.
class TQuantizeColor {
public:
    virtual ~TQuantizeColor() = default;
    virtual BgrColour Quantize(BgrColour colour) const = 0;
};

// Each channel to the value of its level in the static palette, channel by
// channel, with no search for the nearest palette colour.
class TQuantizeToStaticColor : public TQuantizeColor {
public:
    BgrColour Quantize(BgrColour colour) const override;
};

// The working copy FilterBitmap keeps around the pixel being computed: 11
// rows (slot 5 the current one, slots 0-4 above, 6-10 below), each with 5
// pixels of zeros on either side. Rows outside the picture are all zeros. A
// filter may write into the window; later pixels see what it wrote, and the
// source bitmap never does.
class FilterWindow {
public:
    static constexpr int slotCount = 11;
    static constexpr int margin = 5;

    FilterWindow(std::uint8_t* const* rows, int x) : rows_(rows), offset_(3 * static_cast<std::size_t>(x + margin)) {}
    // Blue, green, red bytes of the pixel dx columns right of the current
    // one (-5 to 5) in slot k (0 to 10).
    std::uint8_t* at(int k, int dx) const { return rows_[k] + offset_ + 3 * dx; }

private:
    std::uint8_t* const* rows_;
    std::size_t offset_;
};

// Computes pixel (x, y) into out (blue, green, red). `data` is what the
// caller of FilterBitmap passed on.
using FilterProc = void (*)(int x, int y, const FilterWindow& window, std::uint8_t* out, void* data);

// A new bitmap of the source's size whose pixel (x, y) is what proc wrote to
// out for (x, y); pixels are visited row by row from the top, left to right.
Bitmap24 FilterBitmap(const Bitmap24& source, FilterProc proc, void* data);
// An 8-bit source is refused with ImagingError(bitmapFilterDepthError).
Bitmap24 FilterBitmap(const Bitmap8& source, FilterProc proc, void* data);

// The error-diffusion step: data is a TQuantizeColor*. The current pixel gets
// its quantized colour; the error goes to the right (7/16), below left (3/16),
// below (5/16) and below right (1/16), each write clamped to 0..255.
void DitherFilter(int x, int y, const FilterWindow& window, std::uint8_t* out, void* data);

// FilterBitmap with DitherFilter: every pixel of the result is an output of
// quantizer.Quantize.
Bitmap24 DitherBitmap(const Bitmap24& source, const TQuantizeColor& quantizer);
Bitmap24 DitherBitmap(const Bitmap8& source, const TQuantizeColor& quantizer);

// The source dithered with TQuantizeToStaticColor, as indices into a copy of
// StaticPalette. The source is only read; the result is the caller's. The
// indices are those of DitherBitmap followed by the level look-up, computed
// without the intermediate bitmap.
Bitmap8 ReduceToStaticPalette(const Bitmap24& source);
// Refused like FilterBitmap's 8-bit overload.
Bitmap8 ReduceToStaticPalette(const Bitmap8& source);

}  // namespace clipora
