// PNG through libpng, reading from and writing to memory. libpng reports
// errors by long-jumping back to setjmp; the objects that must be released
// on that road are owned by handles created before the jump point.

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <string>

#include <png.h>
#include <zlib.h>

#include "codecs.h"
#include "errors.h"
#include "limits.h"

namespace clipora {

namespace {

struct Source {
    ByteView bytes;
    std::size_t at = 0;
};

struct ErrorState {
    char text[256] = {};
};

[[noreturn]] void onError(png_structp png, png_const_charp message)
{
    auto* state = static_cast<ErrorState*>(png_get_error_ptr(png));
    std::strncpy(state->text, message ? message : "?", sizeof state->text - 1);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void readFromMemory(png_structp png, png_bytep out, png_size_t wanted)
{
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (source->bytes.size() - source->at < wanted)
        png_error(png, "the file ends early");
    std::memcpy(out, source->bytes.data() + source->at, wanted);
    source->at += wanted;
}

void writeToMemory(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

struct Reader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Reader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
    void create(ErrorState& errors);
};

struct Writer {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Writer() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

// Everything that allocates lives outside this function; it returns false
// when libpng reported an error (its text is in the error state).
bool decodeInto(Reader& r, Picture& picture, std::vector<png_byte>& rgba, std::vector<png_bytep>& rows)
{
    if (setjmp(png_jmpbuf(r.png)))
        return false;
    png_set_user_limits(r.png, static_cast<png_uint_32>(maxPictureSide), static_cast<png_uint_32>(maxPictureSide));
    png_read_info(r.png, r.info);
    const png_uint_32 width = png_get_image_width(r.png, r.info);
    const png_uint_32 height = png_get_image_height(r.png, r.info);
    checkPictureSize(width, height);

    png_set_expand(r.png);  // palette and low-depth grey to 8 bits, tRNS to alpha
    png_set_scale_16(r.png);
    png_set_gray_to_rgb(r.png);
    png_set_bgr(r.png);
    const int passes = png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    const int channels = png_get_channels(r.png, r.info);
    if (channels != 3 && channels != 4)
        png_error(r.png, "unexpected channel count");

    picture.pixels = Bitmap24(static_cast<int>(width), static_cast<int>(height));
    const std::size_t w = width, h = height;
    if (channels == 3) {
        rows.resize(h);
        for (std::size_t y = 0; y < h; ++y)
            rows[y] = picture.pixels.row(static_cast<int>(y));
        png_read_image(r.png, rows.data());
    } else {
        // With alpha: the whole picture for interlaced files (each pass
        // revisits every row), one row at a time otherwise.
        const bool whole = passes > 1;
        rgba.resize(w * 4 * (whole ? h : 1));
        picture.alpha.resize(w * h);
        auto split = [&](std::size_t y, const png_byte* src) {
            std::uint8_t* dst = picture.pixels.row(static_cast<int>(y));
            std::uint8_t* cover = picture.alpha.data() + y * w;
            for (std::size_t x = 0; x < w; ++x) {
                std::memcpy(dst + 3 * x, src + 4 * x, 3);
                cover[x] = src[4 * x + 3];
            }
        };
        if (whole) {
            rows.resize(h);
            for (std::size_t y = 0; y < h; ++y)
                rows[y] = rgba.data() + y * w * 4;
            png_read_image(r.png, rows.data());
            for (std::size_t y = 0; y < h; ++y)
                split(y, rows[y]);
        } else {
            for (std::size_t y = 0; y < h; ++y) {
                png_read_row(r.png, rgba.data(), nullptr);
                split(y, rgba.data());
            }
        }
    }
    // Reads on to IEND, so a file cut short after its pixels is refused too.
    png_read_end(r.png, nullptr);
    return true;
}

std::uint32_t bigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// A file read a piece at a time, as far as libpng asks.
struct Stream {
    ByteSource* bytes = nullptr;
    std::uint64_t at = 0;
};

void readFromStream(png_structp png, png_bytep out, png_size_t wanted)
{
    auto* stream = static_cast<Stream*>(png_get_io_ptr(png));
    if (stream->bytes->readAt(stream->at, out, wanted) < wanted)
        png_error(png, "the file ends early");
    stream->at += wanted;
}

// The chunks of the file lead intact to its end: each lies within the file,
// the pixel data is one run of IDAT chunks, nothing but ancillary chunks
// follows it, every critical chunk other than IDAT not yet wholly read
// (`readUpTo` bytes were) has its right checksum, and an empty IEND closes
// the file. This is what the full decoder checks on its way to IEND, short
// of the pixel data below the area: neither decompressed nor checksummed.
bool restIntact(ByteSource& file, std::uint64_t readUpTo)
{
    std::uint64_t at = 8;
    bool inPixels = false, afterPixels = false;
    std::vector<std::uint8_t> data;
    for (;;) {
        std::uint8_t head[8];
        if (file.readAt(at, head, 8) < 8)
            return false;
        const std::uint32_t length = bigEndian32(head);
        if (length > 0x7FFFFFFFu)
            return false;
        const std::uint64_t end = at + 12 + length;
        const bool critical = (head[4] & 0x20) == 0;
        const bool pixels = std::memcmp(head + 4, "IDAT", 4) == 0;
        const bool last = std::memcmp(head + 4, "IEND", 4) == 0;
        if (pixels && afterPixels)
            return false;
        inPixels = inPixels || pixels;
        afterPixels = afterPixels || (inPixels && !pixels);
        if (afterPixels && critical && !last)
            return false;
        if (critical && !pixels && end > readUpTo) {
            data.resize(length + 8);
            if (file.readAt(at + 4, data.data(), data.size()) < data.size())
                return false;
            const auto sum = crc32(crc32(0, nullptr, 0), data.data(), static_cast<uInt>(length + 4));
            if (sum != bigEndian32(&data[length + 4]))
                return false;
        }
        // The next chunk's header, read next, shows that this one ends
        // within the file; IEND's own checksum was read above.
        if (last)
            return length == 0;
        at = end;
    }
}

struct AreaDecode {
    Picture part;
    bool inside = false;
    bool needsWhole = false;
};

// The area's rows and columns with the full decoder's transformations; stops
// after the area's last row.
bool decodeAreaInto(Reader& r, Stream& source, const CutArea& area, AreaDecode& result,
                    std::vector<png_byte>& row)
{
    if (setjmp(png_jmpbuf(r.png)))
        return false;
    png_set_user_limits(r.png, static_cast<png_uint_32>(maxPictureSide), static_cast<png_uint_32>(maxPictureSide));
    png_read_info(r.png, r.info);
    const png_uint_32 width = png_get_image_width(r.png, r.info);
    const png_uint_32 height = png_get_image_height(r.png, r.info);
    checkPictureSize(width, height);
    result.inside = area.xl >= 0 && area.yu >= 0 && !area.empty() && static_cast<png_uint_32>(area.xr) <= width &&
                    static_cast<png_uint_32>(area.yb) <= height;
    if (!result.inside)
        return true;
    // Each pass of an interlaced file revisits every row.
    if (png_get_interlace_type(r.png, r.info) != PNG_INTERLACE_NONE) {
        result.needsWhole = true;
        return true;
    }

    png_set_expand(r.png);
    png_set_scale_16(r.png);
    png_set_gray_to_rgb(r.png);
    png_set_bgr(r.png);
    png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    const int channels = png_get_channels(r.png, r.info);
    if (channels != 3 && channels != 4)
        png_error(r.png, "unexpected channel count");

    const std::size_t w = static_cast<std::size_t>(area.width());
    result.part.pixels = Bitmap24(area.width(), area.height());
    if (channels == 4)
        result.part.alpha.resize(w * static_cast<std::size_t>(area.height()));
    row.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(channels));
    for (int y = 0; y < area.yb; ++y) {
        png_read_row(r.png, row.data(), nullptr);
        if (y < area.yu)
            continue;
        const png_byte* src = row.data() + static_cast<std::size_t>(area.xl) * static_cast<std::size_t>(channels);
        std::uint8_t* dst = result.part.pixels.row(y - area.yu);
        if (channels == 3) {
            std::memcpy(dst, src, 3 * w);
            continue;
        }
        std::uint8_t* cover = result.part.alpha.data() + static_cast<std::size_t>(y - area.yu) * w;
        for (std::size_t x = 0; x < w; ++x) {
            std::memcpy(dst + 3 * x, src + 4 * x, 3);
            cover[x] = src[4 * x + 3];
        }
    }
    if (static_cast<png_uint_32>(area.yb) == height)
        png_read_end(r.png, nullptr);
    else
        result.needsWhole = !restIntact(*source.bytes, source.at);
    return true;
}

bool encodeInto(Writer& w, const Bitmap24& bitmap)
{
    if (setjmp(png_jmpbuf(w.png)))
        return false;
    png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(bitmap.width()), static_cast<png_uint_32>(bitmap.height()),
                 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(w.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(w.png, 7);
    // libpng writes one IDAT chunk per filled compression buffer.
    png_set_compression_buffer_size(w.png, 65535);
    png_set_bgr(w.png);
    png_write_info(w.png, w.info);
    for (int y = 0; y < bitmap.height(); ++y)
        png_write_row(w.png, bitmap.row(y));
    png_write_end(w.png, nullptr);
    return true;
}

[[noreturn]] void fail(const ErrorState& state)
{
    throw ImagingError(formatMessage(messages::pngError, std::string(state.text)));
}

}  // namespace

void Reader::create(ErrorState& errors)
{
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &errors, onError, onWarning);
    if (png)
        info = png_create_info_struct(png);
    if (!png || !info)
        throw std::bad_alloc();
}

Picture decodePng(ByteView file)
{
    Source source {file};
    ErrorState errors;
    Reader r;
    r.create(errors);
    png_set_read_fn(r.png, &source, readFromMemory);

    Picture picture;
    picture.kind = PictureKind::Png;
    std::vector<png_byte> rgba;
    std::vector<png_bytep> rows;
    if (!decodeInto(r, picture, rgba, rows))
        fail(errors);
    bool opaque = true;
    for (std::uint8_t a : picture.alpha)
        if (a != 255) {
            opaque = false;
            break;
        }
    if (opaque)
        picture.alpha.clear();
    return picture;
}

std::optional<Bitmap24> decodePngArea(ByteView file, const CutArea& area)
{
    MemorySource bytes(file);
    return decodePngArea(bytes, area);
}

std::optional<Bitmap24> decodePngArea(ByteSource& file, const CutArea& area)
{
    Stream source {&file};
    ErrorState errors;
    Reader r;
    r.create(errors);
    png_set_read_fn(r.png, &source, readFromStream);

    AreaDecode result;
    std::vector<png_byte> row;
    if (!decodeAreaInto(r, source, area, result, row))
        fail(errors);
    if (!result.inside || result.needsWhole)
        return std::nullopt;
    return flattenPicture(result.part);
}

Bytes encodePng(const Bitmap24& bitmap)
{
    ErrorState errors;
    if (bitmap.empty()) {
        std::strcpy(errors.text, "empty picture");
        fail(errors);
    }
    Bytes out;
    Writer w;
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, onError, onWarning);
    if (w.png)
        w.info = png_create_info_struct(w.png);
    if (!w.png || !w.info)
        throw std::bad_alloc();
    png_set_write_fn(w.png, &out, writeToMemory, flushNothing);
    if (!encodeInto(w, bitmap))
        fail(errors);
    return out;
}

}  // namespace clipora
