#pragma once
// The fast road of ReduceToStaticPalette: the same dither as DitherBitmap with
// TQuantizeToStaticColor, followed by the level look-up, in one pass over the
// picture and with two row buffers instead of eleven.

#include <array>
#include <cstddef>
#include <cstdint>

#include "imaging/bitmap24.h"
#include "imaging/bitmap8.h"

namespace clipora::detail {

// A channel value that has received its left neighbour's share of error, before
// clamping, lies within -11..266; it is kept biased by `valueBias` so that it
// can index a table directly.
inline constexpr int valueBias = 32;
inline constexpr int biasedValues = 256 + 2 * valueBias;

// Per channel, indexed by a biased, unclamped value u (the channel value is
// ClampByte(u - valueBias)).
struct ChannelTables {
    // valueBias minus the right neighbour's share (7/16) of this pixel's error:
    // the right neighbour's biased value is its window value plus this.
    std::array<std::uint32_t, biasedValues> carry;
    // The error e = quantized - value, -26..25.
    std::array<std::int8_t, biasedValues> error;
    // This channel's part of the palette index (42 r, 6 g or b).
    std::array<std::uint8_t, biasedValues> index;
};

struct ReductionTables {
    ChannelTables blue, green, red;
};

// Built from staticColourTables() on first use.
const ReductionTables& reductionTables();

// The second pass of a row: below[i] := source[i] less the shares of the
// errors of the pixel above left (1/16), above (5/16) and above right (3/16),
// in that order and clamped after each. `errors` holds one error per byte of
// the row above and is readable from errors[-3] to errors[bytes + 2], with
// zeros outside the row.
void spreadBelow(const std::uint8_t* source, const std::int8_t* errors, std::uint8_t* below, std::size_t bytes);

// Writes the indices of the dithered source into `result`, which has the
// source's size.
void reduceToStaticIndices(const Bitmap24& source, Bitmap8& result);

}  // namespace clipora::detail
