#include "metafiledib.h"

#include <algorithm>
#include <array>
#include <bit>

#include "imaging/codecs.h"
#include "imaging/errors.h"
#include "imaging/limits.h"
#include "metafile.h"

namespace clipora::metafile {

namespace {

enum Compression { biRgb = 0, biRle8 = 1, biRle4 = 2, biBitfields = 3, biJpeg = 4, biPng = 5, biAlphaBitfields = 6 };

struct Header {
    std::size_t size = 0;  // header bytes
    std::int64_t width = 0;
    std::int64_t height = 0;  // positive; see topDown
    bool topDown = false;
    int bitCount = 0;
    std::uint32_t compression = biRgb;
    std::uint32_t coloursUsed = 0;
    bool core = false;  // 12-byte header: 3-byte colour entries
};

Header readHeader(Data info)
{
    Header h;
    h.size = info.u32(0);
    if (h.size == 12) {
        h.core = true;
        h.width = info.u16(4);
        h.height = info.u16(6);
        h.bitCount = info.u16(10);
    } else if (h.size >= 40) {
        info.need(0, 40);
        h.width = info.i32(4);
        const std::int64_t height = info.i32(8);
        h.topDown = height < 0;
        h.height = height < 0 ? -height : height;
        h.bitCount = info.u16(14);
        h.compression = info.u32(16);
        h.coloursUsed = info.u32(32);
    } else {
        invalidMetafile();
    }
    switch (h.bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    case 0:
        if (h.compression == biJpeg || h.compression == biPng)
            break;
        invalidMetafile();
    default: invalidMetafile();
    }
    if (h.width <= 0 || h.height <= 0)
        invalidMetafile();
    if (h.topDown && (h.compression == biRle8 || h.compression == biRle4))
        invalidMetafile();
    if ((h.compression == biRle8 && h.bitCount != 8) || (h.compression == biRle4 && h.bitCount != 4))
        invalidMetafile();
    if ((h.compression == biBitfields || h.compression == biAlphaBitfields) && h.bitCount != 16 && h.bitCount != 32)
        invalidMetafile();
    if (h.compression > biAlphaBitfields)
        invalidMetafile();
    checkPictureSize(h.width, h.height);
    return h;
}

struct Masks {
    std::array<std::uint32_t, 4> mask{};  // red, green, blue, alpha
};

// One channel of a bit-field pixel scaled to 8 bits.
struct Field {
    int shift = 0;
    int width = 0;
    explicit Field(std::uint32_t mask)
    {
        if (mask == 0)
            return;
        shift = std::countr_zero(mask);
        width = std::min(8, std::popcount(mask >> shift));
        // Take the top bits of a wide field; a gap-free field is expected.
        const int full = std::bit_width(mask >> shift);
        shift += full - width;
    }
    std::uint8_t operator()(std::uint32_t pixel) const
    {
        if (width == 0)
            return 0;
        const std::uint32_t v = (pixel >> shift) & ((1u << width) - 1);
        // Spread the value over 8 bits by repeating its bits.
        std::uint32_t out = 0;
        int have = 0;
        while (have < 8) {
            out = (out << width) | v;
            have += width;
        }
        return static_cast<std::uint8_t>(out >> (have - 8));
    }
};

Masks readMasks(Data info, const Header& h, std::size_t& tableOffset)
{
    Masks m;
    if (h.compression == biBitfields || h.compression == biAlphaBitfields) {
        if (h.size >= 52) {
            m.mask = {info.u32(40), info.u32(44), info.u32(48), h.size >= 56 ? info.u32(52) : 0u};
        } else {
            // The masks follow a 40-byte header.
            const int count = h.compression == biAlphaBitfields ? 4 : 3;
            for (int i = 0; i < count; ++i)
                m.mask[i] = info.u32(h.size + 4 * i);
            tableOffset += 4 * count;
        }
    } else if (h.bitCount == 16) {
        m.mask = {0x7c00, 0x03e0, 0x001f, 0};
    } else if (h.bitCount == 32) {
        m.mask = {0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000};
    }
    return m;
}

std::size_t tableEntries(const Header& h)
{
    if (h.bitCount > 8)
        return h.core ? 0 : std::min<std::uint32_t>(h.coloursUsed, 256);
    const std::size_t full = std::size_t{1} << h.bitCount;
    if (h.core || h.coloursUsed == 0)
        return full;
    return std::min<std::size_t>(h.coloursUsed, full);
}

std::size_t tableBytes(const Header& h, int usage)
{
    const std::size_t entries = tableEntries(h);
    if (usage == dibPaletteIndices)
        return 0;
    if (usage == dibPaletteColours)
        return entries * 2;
    return entries * (h.core ? 3 : 4);
}

std::vector<QRgb> readTable(Data info, const Header& h, std::size_t offset, int usage,
                            const std::vector<QRgb>& palette)
{
    std::vector<QRgb> table(h.bitCount <= 8 ? std::size_t{1} << h.bitCount : 0, qRgb(0, 0, 0));
    const std::size_t entries = std::min(tableEntries(h), table.size());
    if (usage == dibPaletteIndices) {
        // The pixels are palette indices themselves.
        for (std::size_t i = 0; i < table.size(); ++i)
            table[i] = i < palette.size() ? palette[i] : qRgb(0, 0, 0);
        return table;
    }
    for (std::size_t i = 0; i < entries; ++i) {
        if (usage == dibPaletteColours) {
            const std::uint16_t index = info.u16(offset + 2 * i);
            table[i] = index < palette.size() ? palette[index] : qRgb(0, 0, 0);
        } else {
            const std::size_t at = offset + i * (h.core ? 3 : 4);
            table[i] = qRgb(info.u8(at + 2), info.u8(at + 1), info.u8(at));
        }
    }
    return table;
}

// Decodes RLE8 or RLE4 into indices, marking the pixels it sets. Rows are
// bottom-up; each step consumes input, so the work is bounded by it.
void decodeRle(Data bits, const Header& h, std::vector<std::uint8_t>& indices, std::vector<std::uint8_t>& defined)
{
    const std::int64_t width = h.width, height = h.height;
    const bool four = h.compression == biRle4;
    std::int64_t x = 0, y = 0;  // y counts from the bottom row
    std::size_t at = 0;
    auto put = [&](std::uint8_t index) {
        if (x < width && y < height) {
            const std::size_t i = static_cast<std::size_t>((height - 1 - y) * width + x);
            indices[i] = index;
            defined[i] = 1;
        }
        ++x;
    };
    while (at + 1 < bits.size() && y < height) {
        const std::uint8_t count = bits.u8(at), value = bits.u8(at + 1);
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < width; ++i)
                put(four ? ((i & 1) ? value & 0x0f : value >> 4) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            return;
        } else if (value == 2) {  // delta
            if (at + 1 >= bits.size())
                return;
            x += bits.u8(at);
            y += bits.u8(at + 1);
            at += 2;
        } else {  // absolute run of `value` pixels, padded to a word
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            if (!bits.has(at, bytes))
                return;
            for (int i = 0; i < value; ++i) {
                const std::uint8_t b = bits.u8(at + (four ? i / 2 : i));
                put(four ? ((i & 1) ? b & 0x0f : b >> 4) : b);
            }
            at += (bytes + 1) & ~std::size_t{1};
        }
    }
}

QImage fromPicture(const Picture& picture)
{
    QImage image(picture.width(), picture.height(), QImage::Format_ARGB32);
    if (image.isNull())
        throw ImagingError(formatMessage(messages::pictureTooLarge, "DIB"));
    for (int y = 0; y < picture.height(); ++y) {
        const std::uint8_t* src = picture.pixels.row(y);
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const int a = picture.hasTransparency()
                              ? picture.alpha[static_cast<std::size_t>(y) * picture.width() + x]
                              : 255;
            dst[x] = qRgba(src[3 * x + 2], src[3 * x + 1], src[3 * x], a);
        }
    }
    return image;
}

}  // namespace

QImage Dib::recoloured(QRgb zero, QRgb one) const
{
    if (!monochrome())
        return image;
    QImage out(image.size(), QImage::Format_ARGB32);
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        const std::uint8_t* b = bits.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x)
            dst[x] = (b[x] ? one : zero) & (src[x] | 0x00ffffffu);
    }
    return out;
}

void DibBudget::charge(std::int64_t width, std::int64_t height)
{
    used_ += width * height;
    if (used_ > 2 * maxPicturePixels)
        throw ImagingError(messages::metafileTooComplex);
}

Dib decodeDib(DibBudget& budget, Data info, Data bits, int usage, const std::vector<QRgb>& palette, bool keepAlpha,
              DibBand band)
{
    Header h = readHeader(info);
    budget.charge(h.width, h.height);
    std::int64_t fullHeight = h.height;
    if (band.count >= 0) {
        // Only rows [first, first + count) from the bottom are in `bits`.
        if (band.first < 0 || band.first >= fullHeight || band.count == 0)
            return Dib{};
        h.height = std::min<std::int64_t>(band.count, fullHeight - band.first);
    }
    Dib dib;
    dib.bottomUp = !h.topDown;
    if (h.compression == biJpeg || h.compression == biPng) {
        const ByteView file(bits.bytes(), bits.size());
        try {
            const Picture picture = h.compression == biJpeg ? decodeJpeg(file) : decodePng(file);
            budget.charge(picture.width(), picture.height());
            dib.image = fromPicture(picture);
        } catch (const ImagingError&) {
            invalidMetafile();
        }
        return dib;
    }

    std::size_t tableOffset = h.size;
    const Masks masks = readMasks(info, h, tableOffset);
    info.need(tableOffset, tableBytes(h, usage));
    const std::vector<QRgb> table = readTable(info, h, tableOffset, usage, palette);

    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    QImage image(width, static_cast<int>(fullHeight), QImage::Format_ARGB32);
    if (image.isNull())
        throw ImagingError(formatMessage(messages::pictureTooLarge, "DIB"));
    image.fill(0);
    // Row r of the decoded part lands on this image row.
    const int bandTop = static_cast<int>(fullHeight - band.first - h.height);
    auto imageRow = [&](int r) { return band.count < 0 ? r : bandTop + r; };

    if (h.compression == biRle8 || h.compression == biRle4) {
        std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height, 0);
        std::vector<std::uint8_t> defined(indices.size(), 0);
        decodeRle(bits, h, indices, defined);
        for (int r = 0; r < height; ++r) {
            auto* dst = reinterpret_cast<QRgb*>(image.scanLine(imageRow(r)));
            const std::size_t base = static_cast<std::size_t>(r) * width;
            for (int x = 0; x < width; ++x)
                dst[x] = defined[base + x] ? table[indices[base + x]] : 0;
        }
        dib.image = std::move(image);
        return dib;
    }

    const std::int64_t stride = ((h.width * h.bitCount + 31) / 32) * 4;
    bits.need(0, static_cast<std::size_t>(stride * h.height));
    if (h.bitCount == 1)
        dib.bits.assign(static_cast<std::size_t>(width) * fullHeight, 0);
    const Field red(masks.mask[0]), green(masks.mask[1]), blue(masks.mask[2]), alpha(masks.mask[3]);
    for (int r = 0; r < height; ++r) {
        // Stored rows run bottom-up unless the height was negative.
        const int stored = h.topDown ? r : height - 1 - r;
        const std::uint8_t* src = bits.bytes() + static_cast<std::size_t>(stored) * stride;
        const int row = imageRow(r);
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(row));
        switch (h.bitCount) {
        case 1:
            for (int x = 0; x < width; ++x) {
                const int bit = (src[x >> 3] >> (7 - (x & 7))) & 1;
                dst[x] = table[bit];
                dib.bits[static_cast<std::size_t>(row) * width + x] = static_cast<std::uint8_t>(bit);
            }
            break;
        case 4:
            for (int x = 0; x < width; ++x)
                dst[x] = table[(x & 1) ? src[x >> 1] & 0x0f : src[x >> 1] >> 4];
            break;
        case 8:
            for (int x = 0; x < width; ++x)
                dst[x] = table[src[x]];
            break;
        case 16:
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = src[2 * x] | (src[2 * x + 1] << 8);
                dst[x] = qRgb(red(p), green(p), blue(p));
            }
            break;
        case 24:
            for (int x = 0; x < width; ++x)
                dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
            break;
        case 32:
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = src[4 * x] | (src[4 * x + 1] << 8) | (src[4 * x + 2] << 16) |
                                        (std::uint32_t(src[4 * x + 3]) << 24);
                dst[x] = qRgba(red(p), green(p), blue(p), keepAlpha ? alpha(p) : 255);
            }
            break;
        }
    }
    dib.image = std::move(image);
    return dib;
}

Dib decodePackedDib(DibBudget& budget, Data packed, int usage, const std::vector<QRgb>& palette, bool keepAlpha,
                    DibBand band)
{
    const Header h = readHeader(packed);
    std::size_t tableOffset = h.size;
    readMasks(packed, h, tableOffset);
    const std::size_t bitsOffset = tableOffset + tableBytes(h, usage);
    return decodeDib(budget, packed, packed.from(bitsOffset), usage, palette, keepAlpha, band);
}

Dib decodeBitmap16(DibBudget& budget, Data bitmap, std::size_t bitsOffset)
{
    const std::int64_t width = bitmap.i16(2), height = bitmap.i16(4);
    const std::int64_t widthBytes = bitmap.i16(6);
    const int planes = bitmap.u8(8), bitsPixel = bitmap.u8(9);
    if (width <= 0 || height <= 0 || planes != 1)
        invalidMetafile();
    if (bitsPixel != 1 && bitsPixel != 4 && bitsPixel != 8 && bitsPixel != 24 && bitsPixel != 32)
        invalidMetafile();
    if (widthBytes < (width * bitsPixel + 7) / 8)
        invalidMetafile();
    checkPictureSize(width, height);
    budget.charge(width, height);
    const Data rows = bitmap.sub(bitsOffset, static_cast<std::size_t>(widthBytes * height));
    Dib dib;
    dib.bottomUp = false;
    dib.image = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_ARGB32);
    if (dib.image.isNull())
        throw ImagingError(formatMessage(messages::pictureTooLarge, "DIB"));
    if (bitsPixel == 1)
        dib.bits.assign(static_cast<std::size_t>(width * height), 0);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = rows.bytes() + static_cast<std::size_t>(y) * widthBytes;
        auto* dst = reinterpret_cast<QRgb*>(dib.image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            switch (bitsPixel) {
            case 1: {
                const int bit = (src[x >> 3] >> (7 - (x & 7))) & 1;
                dst[x] = bit ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
                dib.bits[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(bit);
                break;
            }
            case 4: {
                // No palette comes with these: grey levels stand in.
                const int v = (x & 1) ? src[x >> 1] & 0x0f : src[x >> 1] >> 4;
                dst[x] = qRgb(v * 17, v * 17, v * 17);
                break;
            }
            case 8: dst[x] = qRgb(src[x], src[x], src[x]); break;
            case 24: dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]); break;
            case 32: dst[x] = qRgb(src[4 * x + 2], src[4 * x + 1], src[4 * x]); break;
            }
        }
    }
    return dib;
}

}  // namespace clipora::metafile
