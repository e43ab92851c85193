#include "reducekernel.h"

#include <cassert>
#include <vector>

#include "bmpfilters.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// How the dither is computed here.
//
// The error-diffusion step touches only the current row (the right neighbour)
// and the row below it. So a row's window values are final once the row above
// has been dithered, apart from the right-neighbour share that runs along the
// row itself. Each row is therefore done in two passes:
//
// 1. ditherRow walks the row left to right. The only serial dependency is the
//    7/16 share passed to the right; tables indexed by the biased, unclamped
//    value turn that into one load and one add per channel. The same index
//    yields the palette index part and the error, which is stored for pass 2.
//    Clamping the value before using it is folded into the tables.
// 2. spreadBelow gives each pixel of the next row its three shares from the
//    row above, in the order the dither writes them: from the pixel above
//    left (1/16), above (5/16), above right (3/16), clamped after each. The
//    pixels are independent of each other here, so this runs 16 bytes at a
//    time.
//
// Shares that fall left of column 0, right of the last column or below the
// last row are dropped, as the dither drops them with its zero margins.

namespace clipora::detail {

namespace {

ChannelTables channelTables(const std::array<std::uint8_t, 256>& level, const std::uint8_t* value,
                            int indexWeight)
{
    ChannelTables t{};
    for (int u = 0; u < biasedValues; ++u) {
        const int c = ClampByte(u - valueBias);
        const int e = value[level[c]] - c;
        t.carry[u] = static_cast<std::uint32_t>(valueBias - (7 * e) / 16);
        t.error[u] = static_cast<std::int8_t>(e);
        t.index[u] = static_cast<std::uint8_t>(indexWeight * level[c]);
        // A window value plus the carry must stay a valid index, and the
        // error small enough for spreadBelow's byte arithmetic.
        assert(t.carry[u] + 255 < biasedValues && valueBias - 16 < static_cast<int>(t.carry[u]));
        assert(-32 < e && e < 32);
    }
    return t;
}

ReductionTables buildReductionTables()
{
    const StaticColourTables& s = staticColourTables();
    return ReductionTables{channelTables(s.BlueLevel, BlueValue.data(), 1),
                           channelTables(s.GreenLevel, GreenValue.data(), 6),
                           channelTables(s.RedLevel, RedValue.data(), 42)};
}

// Pass 1 over one row: `values` are the row's window values (blue, green,
// red), `indices` receives the palette indices, `errors` the error of every
// channel of every pixel.
void ditherRow(const std::uint8_t* values, int width, const ReductionTables& t, std::uint8_t* indices,
               std::int8_t* errors)
{
    std::uint32_t blue = values[0] + valueBias;
    std::uint32_t green = values[1] + valueBias;
    std::uint32_t red = values[2] + valueBias;
    for (int x = 0;;) {
        indices[x] = static_cast<std::uint8_t>(t.blue.index[blue] + t.green.index[green] + t.red.index[red]);
        errors[0] = t.blue.error[blue];
        errors[1] = t.green.error[green];
        errors[2] = t.red.error[red];
        if (++x == width)
            break;
        values += 3;
        errors += 3;
        blue = values[0] + t.blue.carry[blue];
        green = values[1] + t.green.carry[green];
        red = values[2] + t.red.carry[red];
    }
}

// ClampByte(v - (weight * e) / 16) with the division truncating to zero.
inline std::uint8_t takeShare(int v, int e, int weight)
{
    return ClampByte(v - (weight * e) / 16);
}

#if defined(__SSE2__)
// The same on 16 bytes. With |e| < 32 and weight <= 5 the product fits a
// byte, so a 16-bit multiply gives every byte's product without carries,
// and the share's magnitude is that product shifted right by four. A
// positive share is subtracted and a negative one added, both saturating,
// which is exactly the clamp to 0..255.
inline __m128i takeShares(__m128i v, __m128i e, int weight)
{
    const __m128i negative = _mm_cmpgt_epi8(_mm_setzero_si128(), e);
    __m128i magnitude = _mm_sub_epi8(_mm_xor_si128(e, negative), negative);
    if (weight != 1)
        magnitude = _mm_mullo_epi16(magnitude, _mm_set1_epi16(static_cast<short>(weight)));
    magnitude = _mm_and_si128(_mm_srli_epi16(magnitude, 4), _mm_set1_epi8(0x0F));
    v = _mm_adds_epu8(v, _mm_and_si128(negative, magnitude));
    return _mm_subs_epu8(v, _mm_andnot_si128(negative, magnitude));
}
#endif

}  // namespace

void spreadBelow(const std::uint8_t* source, const std::int8_t* errors, std::uint8_t* below, std::size_t bytes)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= bytes; i += 16) {
        auto load = [](const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); };
        __m128i v = load(source + i);
        v = takeShares(v, load(errors + i - 3), 1);
        v = takeShares(v, load(errors + i), 5);
        v = takeShares(v, load(errors + i + 3), 3);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(below + i), v);
    }
#endif
    for (; i < bytes; ++i) {
        int v = source[i];
        v = takeShare(v, errors[i - 3], 1);
        v = takeShare(v, errors[i], 5);
        v = takeShare(v, errors[i + 3], 3);
        below[i] = static_cast<std::uint8_t>(v);
    }
}

const ReductionTables& reductionTables()
{
    static const ReductionTables tables = buildReductionTables();
    return tables;
}

void reduceToStaticIndices(const Bitmap24& source, Bitmap8& result)
{
    const int width = source.width();
    const int height = source.height();
    if (width == 0 || height == 0)
        return;
    const ReductionTables& tables = reductionTables();
    const std::size_t bytes = 3 * static_cast<std::size_t>(width);

    // Row 0 has no row above, so its window values are the source's own.
    std::vector<std::uint8_t> rows[2] = {std::vector<std::uint8_t>(bytes), std::vector<std::uint8_t>(bytes)};
    std::vector<std::int8_t> errorRow(bytes + 6, 0);
    std::int8_t* errors = errorRow.data() + 3;
    const std::uint8_t* values = source.row(0);
    for (int y = 0;; ++y) {
        ditherRow(values, width, tables, result.row(y), errors);
        if (y + 1 == height)
            break;
        std::uint8_t* below = rows[y & 1].data();
        spreadBelow(source.row(y + 1), errors, below, bytes);
        values = below;
    }
}

}  // namespace clipora::detail
