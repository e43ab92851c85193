#include <cstring>

#include "codecs.h"
#include "errors.h"

namespace clipora {

namespace {
void put16(Bytes& out, std::size_t at, std::uint32_t v)
{
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(Bytes& out, std::size_t at, std::uint32_t v)
{
    put16(out, at, v & 0xFFFF);
    put16(out, at + 2, v >> 16);
}
}  // namespace

Bytes encodeBmp(const Bitmap24& bitmap)
{
    constexpr std::size_t fileHeader = 14, infoHeader = 40;
    const std::size_t stride = Bitmap24::strideFor(bitmap.width());
    const std::size_t imageSize = stride * static_cast<std::size_t>(bitmap.height());
    const std::size_t total = fileHeader + infoHeader + imageSize;
    if (total > 0xFFFFFFFFu)
        throw ImagingError(formatMessage(messages::pictureTooLarge, "BMP"));

    Bytes out(total, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, static_cast<std::uint32_t>(total));
    put32(out, 10, fileHeader + infoHeader);
    put32(out, 14, infoHeader);
    put32(out, 18, static_cast<std::uint32_t>(bitmap.width()));
    put32(out, 22, static_cast<std::uint32_t>(bitmap.height()));  // positive: bottom-up rows
    put16(out, 26, 1);                                            // planes
    put16(out, 28, 24);                                           // bits per pixel
    put32(out, 30, 0);                                            // BI_RGB, uncompressed
    put32(out, 34, static_cast<std::uint32_t>(imageSize));
    // Resolution 96 dots per inch, written as pixels per metre.
    put32(out, 38, 3780);
    put32(out, 42, 3780);

    std::uint8_t* pixels = out.data() + fileHeader + infoHeader;
    const std::size_t bytes = 3 * static_cast<std::size_t>(bitmap.width());
    for (int y = 0; y < bitmap.height(); ++y)
        std::memcpy(pixels + static_cast<std::size_t>(bitmap.height() - 1 - y) * stride, bitmap.row(y), bytes);
    return out;
}

}  // namespace clipora
