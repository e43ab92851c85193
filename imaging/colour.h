#pragma once
// The two ways the program holds a colour as numbers, and the conversions
// between them and a bitmap's pixel bytes (blue, green, red).
//
// - `Rgb`: red, green and blue bytes, as people write a colour (RRGGBB).
// - `ColourValue`: the resize dialog's colour value, one number 0x00BBGGRR
//   with red in the low byte, as its computations take it.

#include <cstdint>

namespace clipora {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;

    // From the number 0xRRGGBB (the top byte is ignored), and back.
    static constexpr Rgb fromHex(std::uint32_t rrggbb)
    {
        return {static_cast<std::uint8_t>(rrggbb >> 16), static_cast<std::uint8_t>(rrggbb >> 8),
                static_cast<std::uint8_t>(rrggbb)};
    }
    constexpr std::uint32_t hex() const { return std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | b; }

    // A pixel's three bytes (blue, green, red), and back.
    static constexpr Rgb ofPixel(const std::uint8_t* bgr) { return {bgr[2], bgr[1], bgr[0]}; }
    constexpr void storeInPixel(std::uint8_t* bgr) const
    {
        bgr[0] = b;
        bgr[1] = g;
        bgr[2] = r;
    }
};

class ColourValue {
public:
    constexpr ColourValue() = default;
    // The number as the dialog writes it, 0x00BBGGRR.
    constexpr ColourValue(std::uint32_t bbggrr) : value_(bbggrr) {}  // NOLINT: a colour value is this number
    constexpr explicit ColourValue(Rgb c)
        : value_(c.r | std::uint32_t(c.g) << 8 | std::uint32_t(c.b) << 16)
    {
    }

    constexpr std::uint32_t value() const { return value_; }
    constexpr Rgb rgb() const
    {
        return {static_cast<std::uint8_t>(value_), static_cast<std::uint8_t>(value_ >> 8),
                static_cast<std::uint8_t>(value_ >> 16)};
    }
    bool operator==(const ColourValue&) const = default;

private:
    std::uint32_t value_ = 0;
};

}  // namespace clipora
