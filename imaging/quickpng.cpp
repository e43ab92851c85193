// A PNG encoder that trades size for speed: Sub filter, zlib's fastest
// level, and bands of rows deflated on parallel threads. (Level 1 rather
// than the run-length strategy, which is a third faster but leaves half as
// many bytes again: the bytes must still cross to the other program, and
// through the X clipboard they cross at tens of megabytes a second.) Each band but
// the last ends with a sync flush (a byte-aligned empty stored block, not
// final), so the bands' raw deflate data join into one valid stream; the
// stream's Adler-32 is combined from the bands'. Each band is written as its
// own IDAT chunks, whose CRCs the thread that made it takes.

#include "imaging/quickpng.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "imaging/errors.h"

namespace clipora {

namespace {

constexpr std::size_t maxChunkData = 1u << 20;  // bytes of one IDAT chunk at most

void putBig32(Bytes& out, std::uint32_t v)
{
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                               static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
    out.insert(out.end(), b, b + 4);
}

void putChunk(Bytes& out, const char type[4], const std::uint8_t* data, std::size_t size)
{
    putBig32(out, static_cast<std::uint32_t>(size));
    const std::size_t at = out.size();
    out.insert(out.end(), type, type + 4);
    if (size)
        out.insert(out.end(), data, data + size);
    putBig32(out, static_cast<std::uint32_t>(crc32(0, out.data() + at, static_cast<uInt>(size + 4))));
}

struct Band {
    int firstRow = 0, rows = 0;
    bool last = false;
    std::unique_ptr<std::uint8_t[]> packed;  // the band's deflate data
    std::size_t size = 0;                    // its length
    std::vector<std::uint32_t> crcs;         // of its IDAT chunks, maxChunkData bytes each (the last less)
    std::uint32_t adler = 1;                 // of the band's filtered rows
    std::size_t filtered = 0;                // their length
    bool failed = false;
};

struct Deflater {
    z_stream z{};
    bool open = false;
    ~Deflater()
    {
        if (open)
            deflateEnd(&z);
    }
};

// One row as PNG wants it: the filter type byte 1 (Sub), then red, green,
// blue of each pixel less those of the pixel to its left.
void subFilterRow(const std::uint8_t* bgr, int width, std::uint8_t* out)
{
    out[0] = 1;
    std::uint8_t* o = out + 1;
    std::uint8_t r = 0, g = 0, b = 0;
    for (int x = 0; x < width; ++x, bgr += 3, o += 3) {
        o[0] = static_cast<std::uint8_t>(bgr[2] - r);
        o[1] = static_cast<std::uint8_t>(bgr[1] - g);
        o[2] = static_cast<std::uint8_t>(bgr[0] - b);
        r = bgr[2];
        g = bgr[1];
        b = bgr[0];
    }
}

// Filters the band's rows into `filtered` (room for the band, reused from
// band to band), deflates them in one call and takes the CRCs of the IDAT
// chunks the result will be cut into. Buffers are left uninitialised:
// zeroing hundreds of megabytes costs more than the compression.
void deflateBand(const Bitmap24& bitmap, Band& band, std::uint8_t* filtered, const std::atomic<bool>* cancel)
{
    const std::size_t rowBytes = 1 + 3 * static_cast<std::size_t>(bitmap.width());
    for (int k = 0; k < band.rows; ++k) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            band.failed = true;
            return;
        }
        subFilterRow(bitmap.row(band.firstRow + k), bitmap.width(), filtered + rowBytes * k);
    }
    band.filtered = rowBytes * static_cast<std::size_t>(band.rows);
    band.adler = static_cast<std::uint32_t>(adler32(1, filtered, static_cast<uInt>(band.filtered)));
    Deflater d;
    if (deflateInit2(&d.z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {  // raw deflate, level 1
        band.failed = true;
        return;
    }
    d.open = true;
    // Room for the whole band (deflateBound) plus the sync flush's marker.
    const std::size_t room = deflateBound(&d.z, static_cast<uLong>(band.filtered)) + 16;
    band.packed.reset(new std::uint8_t[room]);
    d.z.next_in = filtered;
    d.z.avail_in = static_cast<uInt>(band.filtered);
    d.z.next_out = band.packed.get();
    d.z.avail_out = static_cast<uInt>(room);
    const int result = deflate(&d.z, band.last ? Z_FINISH : Z_SYNC_FLUSH);
    if (result != (band.last ? Z_STREAM_END : Z_OK) || d.z.avail_in != 0 || d.z.avail_out == 0) {
        band.failed = true;
        return;
    }
    band.size = room - d.z.avail_out;
    static const std::uint32_t idatCrc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>("IDAT"), 4));
    for (std::size_t at = 0; at < band.size; at += maxChunkData) {
        const std::size_t length = std::min(maxChunkData, band.size - at);
        band.crcs.push_back(static_cast<std::uint32_t>(
            crc32_combine(idatCrc, crc32(0, band.packed.get() + at, static_cast<uInt>(length)), static_cast<z_off_t>(length))));
    }
}

}  // namespace

Bytes encodePngQuickly(const Bitmap24& bitmap, int threads, const std::atomic<bool>* cancel)
{
    if (bitmap.empty())
        throw ImagingError(formatMessage(messages::pngError, std::string("empty picture")));
    if (threads <= 0)
        threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // Bands of about four megabytes, and at least one per thread when there
    // are rows enough, so that threads finishing early find more work.
    const std::size_t rowBytes = 1 + 3 * static_cast<std::size_t>(bitmap.width());
    const int byBytes = static_cast<int>(std::min<std::size_t>(
        static_cast<std::size_t>(bitmap.height()), rowBytes * bitmap.height() / (4u << 20) + 1));
    const int bandCount = std::clamp(std::max(byBytes, threads), 1, bitmap.height());
    std::vector<Band> bands(static_cast<std::size_t>(bandCount));
    for (int b = 0; b < bandCount; ++b) {
        bands[b].firstRow = static_cast<int>(static_cast<long long>(bitmap.height()) * b / bandCount);
        bands[b].rows = static_cast<int>(static_cast<long long>(bitmap.height()) * (b + 1) / bandCount) -
                        bands[b].firstRow;
        bands[b].last = b + 1 == bandCount;
    }
    std::atomic<int> next{0};
    int mostRows = 0;
    for (const Band& band : bands)
        mostRows = std::max(mostRows, band.rows);
    // Memory that runs out on a helper thread ends the whole encoding (an
    // exception may not leave a thread); the calling thread then throws.
    std::atomic<bool> outOfMemory{false};
    auto work = [&] {
        try {
            const std::unique_ptr<std::uint8_t[]> filtered(new std::uint8_t[rowBytes * mostRows]);
            for (int b; !outOfMemory.load() && (b = next.fetch_add(1)) < bandCount;)
                deflateBand(bitmap, bands[b], filtered.get(), cancel);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    };
    {
        std::vector<std::jthread> helpers;
        // A helper the system cannot start leaves its bands to the others.
        for (int t = 1; t < std::min(threads, bandCount); ++t) {
            try {
                helpers.emplace_back(work);
            } catch (const std::system_error&) {
                break;
            }
        }
        work();
    }
    if (outOfMemory)
        throw std::bad_alloc();
    for (const Band& band : bands)
        if (band.failed) {
            if (cancel && cancel->load())
                return {};
            throw ImagingError(formatMessage(messages::pngError, std::string("compression failed")));
        }

    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::size_t total = png.size() + 25 + 14 + 16 + 12;
    for (const Band& band : bands)
        total += band.size + 12 * band.crcs.size();
    png.reserve(total);
    Bytes header;
    putBig32(header, static_cast<std::uint32_t>(bitmap.width()));
    putBig32(header, static_cast<std::uint32_t>(bitmap.height()));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive filters, no interlace
    putChunk(png, "IHDR", header.data(), header.size());
    const std::uint8_t zlibHeader[2] = {0x78, 0x01};  // deflate, 32 KB window, fastest
    putChunk(png, "IDAT", zlibHeader, 2);
    std::uint32_t adler = 1;
    for (const Band& band : bands) {
        for (std::size_t k = 0; k < band.crcs.size(); ++k) {
            const std::size_t at = k * maxChunkData, length = std::min(maxChunkData, band.size - at);
            putBig32(png, static_cast<std::uint32_t>(length));
            png.insert(png.end(), {'I', 'D', 'A', 'T'});
            png.insert(png.end(), band.packed.get() + at, band.packed.get() + at + length);
            putBig32(png, band.crcs[k]);
        }
        adler = static_cast<std::uint32_t>(adler32_combine(adler, band.adler, static_cast<z_off_t>(band.filtered)));
    }
    Bytes trailer;
    putBig32(trailer, adler);
    putChunk(png, "IDAT", trailer.data(), trailer.size());
    putChunk(png, "IEND", nullptr, 0);
    return png;
}

}  // namespace clipora
