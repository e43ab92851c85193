#include "bmpfilters.h"

#include <algorithm>
#include <cstring>

#include "imaging/errors.h"
#include "reducekernel.h"

namespace clipora {

namespace {

// Fills a value-to-level table with runs of equal levels, level 0 first.
template <std::size_t Levels>
std::array<std::uint8_t, 256> levelTable(const std::array<int, Levels>& runs)
{
    std::array<std::uint8_t, 256> table{};
    std::size_t value = 0;
    for (std::size_t level = 0; level < Levels; ++level)
        for (int i = 0; i < runs[level]; ++i)
            table[value++] = static_cast<std::uint8_t>(level);
    return table;
}

StaticColourTables buildTables()
{
    // The fifth red and blue run is the long one: 230 is still level 4.
    constexpr std::array<int, 6> redBlueRuns{26, 51, 51, 51, 52, 25};
    constexpr std::array<int, 7> greenRuns{22, 42, 43, 43, 43, 41, 22};
    StaticColourTables t;
    t.RedLevel = levelTable(redBlueRuns);
    t.GreenLevel = levelTable(greenRuns);
    t.BlueLevel = levelTable(redBlueRuns);
    t.StaticPalette.resize(staticPaletteSize);
    for (std::size_t r = 0; r < RedValue.size(); ++r)
        for (std::size_t g = 0; g < GreenValue.size(); ++g)
            for (std::size_t b = 0; b < BlueValue.size(); ++b)
                t.StaticPalette[42 * r + 6 * g + b] = PaletteEntry{RedValue[r], GreenValue[g], BlueValue[b], 0};
    return t;
}

[[noreturn]] void refuseNon24Bit()
{
    throw ImagingError(bitmapFilterDepthError);
}

// One neighbour's share of the error: n - (w * e) / 16 per channel, the
// division truncating towards zero, clamped at every write.
void spreadError(std::uint8_t* neighbour, const int error[3], int weight)
{
    neighbour[2] = ClampByte(neighbour[2] - (weight * error[2]) / 16);
    neighbour[1] = ClampByte(neighbour[1] - (weight * error[1]) / 16);
    neighbour[0] = ClampByte(neighbour[0] - (weight * error[0]) / 16);
}

}  // namespace

const StaticColourTables& staticColourTables()
{
    static const StaticColourTables tables = buildTables();
    return tables;
}

void initBmpFilters()
{
    staticColourTables();
    detail::reductionTables();
}

BgrColour TQuantizeToStaticColor::Quantize(BgrColour colour) const
{
    const StaticColourTables& t = staticColourTables();
    return BgrColour{BlueValue[t.BlueLevel[colour.blue]], GreenValue[t.GreenLevel[colour.green]],
                     RedValue[t.RedLevel[colour.red]]};
}

Bitmap24 FilterBitmap(const Bitmap24& source, FilterProc proc, void* data)
{
    const int width = source.width();
    const int height = source.height();
    Bitmap24 result(width, height, 0);

    constexpr int slotCount = FilterWindow::slotCount;
    constexpr int half = slotCount / 2;
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(width);
    const std::size_t marginBytes = 3 * FilterWindow::margin;
    const std::size_t bufferBytes = rowBytes + 2 * marginBytes;

    // Slot k holds a zero-padded copy of source row y - 5 + k, or zeros when
    // that row lies outside the picture.
    std::array<std::vector<std::uint8_t>, slotCount> window;
    auto fillSlot = [&](std::vector<std::uint8_t>& buffer, int sourceRow) {
        buffer.assign(bufferBytes, 0);
        if (sourceRow >= 0 && sourceRow < height)
            std::memcpy(buffer.data() + marginBytes, source.row(sourceRow), rowBytes);
    };
    for (int k = 0; k < slotCount; ++k)
        fillSlot(window[k], k - half);

    std::array<std::uint8_t*, slotCount> rows{};
    for (int y = 0; y < height; ++y) {
        for (int k = 0; k < slotCount; ++k)
            rows[k] = window[k].data();
        std::uint8_t* out = result.row(y);
        for (int x = 0; x < width; ++x, out += 3)
            proc(x, y, FilterWindow(rows.data(), x), out, data);
        // Slide down one row: the top slot leaves, row y + 6 comes in below.
        std::rotate(window.begin(), window.begin() + 1, window.end());
        fillSlot(window[slotCount - 1], y + half + 1);
    }
    return result;
}

Bitmap24 FilterBitmap(const Bitmap8&, FilterProc, void*)
{
    refuseNon24Bit();
}

void DitherFilter(int, int, const FilterWindow& window, std::uint8_t* out, void* data)
{
    const auto& quantizer = *static_cast<const TQuantizeColor*>(data);
    const std::uint8_t* current = window.at(5, 0);
    const BgrColour c{current[0], current[1], current[2]};
    const BgrColour q = quantizer.Quantize(c);
    out[0] = q.blue;
    out[1] = q.green;
    out[2] = q.red;
    const int error[3] = {q.blue - c.blue, q.green - c.green, q.red - c.red};
    spreadError(window.at(5, 1), error, 7);
    spreadError(window.at(6, -1), error, 3);
    spreadError(window.at(6, 0), error, 5);
    spreadError(window.at(6, 1), error, 1);
}

Bitmap24 DitherBitmap(const Bitmap24& source, const TQuantizeColor& quantizer)
{
    return FilterBitmap(source, DitherFilter, const_cast<TQuantizeColor*>(&quantizer));
}

Bitmap24 DitherBitmap(const Bitmap8& source, const TQuantizeColor& quantizer)
{
    return FilterBitmap(source, DitherFilter, const_cast<TQuantizeColor*>(&quantizer));
}

Bitmap8 ReduceToStaticPalette(const Bitmap24& source)
{
    Bitmap8 result(source.width(), source.height());
    result.setPalette(staticColourTables().StaticPalette);
    detail::reduceToStaticIndices(source, result);
    return result;
}

Bitmap8 ReduceToStaticPalette(const Bitmap8& source)
{
    DitherBitmap(source, TQuantizeToStaticColor{});  // refuses the 8-bit source
    return {};
}

}  // namespace clipora
