// JPEG through libjpeg-turbo. libjpeg reports errors by calling error_exit,
// which long-jumps back here; nothing with a destructor may live between
// setjmp and the library calls, so every C++ object is created before.

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <jpeglib.h>
#include <jerror.h>

#include "codecs.h"
#include "errors.h"
#include "limits.h"

namespace clipora {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int code;
};

[[noreturn]] void onError(j_common_ptr info)
{
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    manager->code = manager->pub.msg_code;
    std::longjmp(manager->jump, 1);
}

// Warnings are ignored except a file that ends before its picture does:
// that picture would be shown half grey, so it is refused like an error.
void onMessage(j_common_ptr info, int level)
{
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        onError(info);
}

void silent(j_common_ptr) {}

void installErrorManager(ErrorManager& manager)
{
    jpeg_std_error(&manager.pub);
    manager.pub.error_exit = onError;
    manager.pub.emit_message = onMessage;
    manager.pub.output_message = silent;
    manager.code = 0;
}

// Owns the decompressor for its whole life, error paths included.
struct Decompressor {
    jpeg_decompress_struct info {};
    ErrorManager errors {};
    bool created = false;
    ~Decompressor()
    {
        if (created)
            jpeg_destroy_decompress(&info);
    }
};

struct Compressor {
    jpeg_compress_struct info {};
    ErrorManager errors {};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    bool created = false;
    ~Compressor()
    {
        if (created)
            jpeg_destroy_compress(&info);
        std::free(buffer);
    }
};

// One row of CMYK samples to blue-green-red pixels.
void inksToLight(const JSAMPLE* cmyk, std::uint8_t* out, JDIMENSION count, bool inverted)
{
    for (JDIMENSION x = 0; x < count; ++x) {
        unsigned c = cmyk[4 * x], m = cmyk[4 * x + 1], yy = cmyk[4 * x + 2], k = cmyk[4 * x + 3];
        if (!inverted) {
            c = 255 - c; m = 255 - m; yy = 255 - yy; k = 255 - k;
        }
        // Now each value is the amount of light let through: 255 is none of the ink.
        out[3 * x] = static_cast<std::uint8_t>((yy * k + 127) / 255);
        out[3 * x + 1] = static_cast<std::uint8_t>((m * k + 127) / 255);
        out[3 * x + 2] = static_cast<std::uint8_t>((c * k + 127) / 255);
    }
}

// Returns 0 on success, or libjpeg's message code.
int decodeInto(Decompressor& d, ByteView file, Picture& picture, std::vector<JSAMPLE>& cmykRow)
{
    if (setjmp(d.errors.jump))
        return d.errors.code ? d.errors.code : -1;
    d.info.err = &d.errors.pub;
    jpeg_create_decompress(&d.info);
    d.created = true;
    d.info.mem->max_memory_to_use = maxJpegWorkingMemory;
    jpeg_mem_src(&d.info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&d.info, TRUE);

    const bool cmyk = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK;
    d.info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_calc_output_dimensions(&d.info);
    // The size is checked (and the bitmap made) before any pixel is decoded.
    checkPictureSize(d.info.output_width, d.info.output_height);
    picture.pixels = Bitmap24(static_cast<int>(d.info.output_width), static_cast<int>(d.info.output_height));
    if (cmyk)
        cmykRow.resize(static_cast<std::size_t>(d.info.output_width) * 4);
    // Adobe's applications store CMYK inverted and mark it with their APP14.
    const bool inverted = d.info.saw_Adobe_marker;

    jpeg_start_decompress(&d.info);
    while (d.info.output_scanline < d.info.output_height) {
        const int y = static_cast<int>(d.info.output_scanline);
        std::uint8_t* out = picture.pixels.row(y);
        JSAMPROW row = cmyk ? cmykRow.data() : out;
        jpeg_read_scanlines(&d.info, &row, 1);
        if (cmyk)
            inksToLight(cmykRow.data(), out, d.info.output_width, inverted);
    }
    jpeg_finish_decompress(&d.info);
    return 0;
}

// libjpeg's source reading a ByteSource a piece at a time. At the end it
// warns and supplies an end-of-image marker, as libjpeg's memory source does.
struct StreamSource {
    jpeg_source_mgr pub {};
    ByteSource* bytes = nullptr;
    std::uint64_t offset = 0;
    JOCTET buffer[1 << 16];
};

// The next piece of the file into the buffer; false at its end.
bool readPiece(StreamSource& s)
{
    const std::size_t got = s.bytes->readAt(s.offset, s.buffer, sizeof s.buffer);
    s.offset += got;
    s.pub.next_input_byte = s.buffer;
    s.pub.bytes_in_buffer = got;
    return got > 0;
}

boolean fillInput(j_decompress_ptr info)
{
    auto& s = *reinterpret_cast<StreamSource*>(info->src);
    if (!readPiece(s)) {
        WARNMS(info, JWRN_JPEG_EOF);
        s.buffer[0] = 0xFF;
        s.buffer[1] = JPEG_EOI;
        s.pub.next_input_byte = s.buffer;
        s.pub.bytes_in_buffer = 2;
    }
    return TRUE;
}

void skipInput(j_decompress_ptr info, long count)
{
    jpeg_source_mgr& src = *info->src;
    if (count <= 0)
        return;
    while (static_cast<std::size_t>(count) > src.bytes_in_buffer) {
        count -= static_cast<long>(src.bytes_in_buffer);
        fillInput(info);
    }
    src.next_input_byte += count;
    src.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void noOperation(j_decompress_ptr) {}

void useStreamSource(jpeg_decompress_struct& info, StreamSource& s, ByteSource& bytes)
{
    s.bytes = &bytes;
    s.pub.init_source = noOperation;
    s.pub.fill_input_buffer = fillInput;
    s.pub.skip_input_data = skipInput;
    s.pub.resync_to_restart = jpeg_resync_to_restart;
    s.pub.term_source = noOperation;
    info.src = &s.pub;
}

// The rest of a single-scan file, after what its decoding has taken so far,
// leads straight to its end-of-image marker: entropy-coded data and restart
// markers only. The full decoder, reading on, would meet nothing but the
// rest of that data (whose faults it only warns about) and the marker.
// Reads the rest a piece at a time.
bool restEndsAtEoi(const jpeg_decompress_struct& info, StreamSource& s)
{
    constexpr int eoi = 0xD9;
    const auto isRestart = [](int marker) { return marker >= 0xD0 && marker <= 0xD7; };
    if (info.unread_marker != 0 && !isRestart(info.unread_marker))
        return info.unread_marker == eoi;
    bool afterFF = false;
    for (;;) {
        const JOCTET* p = s.pub.next_input_byte;
        const JOCTET* const end = p + s.pub.bytes_in_buffer;
        while (p < end) {
            if (!afterFF) {
                p = static_cast<const JOCTET*>(std::memchr(p, 0xFF, static_cast<std::size_t>(end - p)));
                if (!p)
                    break;
                afterFF = true;
                ++p;
                continue;
            }
            const int marker = *p++;
            if (marker == 0xFF)
                continue;
            if (marker != 0 && !isRestart(marker))
                return marker == eoi;
            afterFF = false;
        }
        if (!readPiece(s))
            return false;
    }
}

// A progressive file whose scans leave some coefficient short of its last
// bit has its blocks smoothed with their neighbours', and those are not the
// same near the edges of an area decoded alone.
bool smoothsBlocks(const jpeg_decompress_struct& info)
{
    if (!info.progressive_mode || !info.do_block_smoothing || !info.coef_bits)
        return false;
    for (int c = 0; c < info.num_components; ++c)
        for (int k = 0; k < DCTSIZE2; ++k)
            if (info.coef_bits[c][k] != 0)
                return true;
    return false;
}

struct AreaDecode {
    Bitmap24 pixels;
    bool inside = false;
    bool needsWhole = false;
};

// Columns decoded on either side of the area besides those libjpeg adds to
// reach whole blocks, so that smoothing across block edges sees the same
// neighbours as in the whole picture.
constexpr JDIMENSION areaMargin = 32;

// Returns 0 on success, or libjpeg's message code.
int decodeAreaInto(Decompressor& d, StreamSource& source, ByteSource& file, const CutArea& area,
                   AreaDecode& result, std::vector<JSAMPLE>& row)
{
    if (setjmp(d.errors.jump))
        return d.errors.code ? d.errors.code : -1;
    d.info.err = &d.errors.pub;
    jpeg_create_decompress(&d.info);
    d.created = true;
    d.info.mem->max_memory_to_use = maxJpegWorkingMemory;
    useStreamSource(d.info, source, file);
    // libjpeg's memory source refuses an empty file at once.
    std::uint8_t firstByte;
    if (file.readAt(0, &firstByte, 1) == 0)
        ERREXIT(&d.info, JERR_INPUT_EMPTY);
    jpeg_read_header(&d.info, TRUE);

    const bool cmyk = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK;
    d.info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_calc_output_dimensions(&d.info);
    checkPictureSize(d.info.output_width, d.info.output_height);
    const JDIMENSION width = d.info.output_width, height = d.info.output_height;
    result.inside = area.xl >= 0 && area.yu >= 0 && !area.empty() && static_cast<JDIMENSION>(area.xr) <= width &&
                    static_cast<JDIMENSION>(area.yb) <= height;
    if (!result.inside)
        return 0;
    result.pixels = Bitmap24(area.width(), area.height());
    const bool inverted = d.info.saw_Adobe_marker;

    jpeg_start_decompress(&d.info);
    if (smoothsBlocks(d.info)) {
        result.needsWhole = true;
        return 0;
    }
    // libjpeg widens the columns to whole blocks on its own.
    const JDIMENSION xl = static_cast<JDIMENSION>(area.xl), xr = static_cast<JDIMENSION>(area.xr);
    JDIMENSION left = xl > areaMargin ? xl - areaMargin : 0;
    JDIMENSION columns = std::min(width, xr + areaMargin) - left;
    jpeg_crop_scanline(&d.info, &left, &columns);
    row.resize(static_cast<std::size_t>(columns) * (cmyk ? 4 : 3));
    // Rows are skipped up to one block row before the area's, and that block
    // row is decoded, so that the area's first rows are smoothed with their
    // true neighbours above.
    const JDIMENSION blockRows = static_cast<JDIMENSION>(d.info.max_v_samp_factor * d.info.min_DCT_scaled_size);
    const JDIMENSION yu = static_cast<JDIMENSION>(area.yu), yb = static_cast<JDIMENSION>(area.yb);
    const JDIMENSION skip = yu / blockRows > 0 ? (yu / blockRows - 1) * blockRows : 0;
    if (skip > 0)
        jpeg_skip_scanlines(&d.info, skip);
    const std::size_t first = xl - left;
    while (d.info.output_scanline < yb) {
        const JDIMENSION y = d.info.output_scanline;
        JSAMPROW samples = row.data();
        jpeg_read_scanlines(&d.info, &samples, 1);
        if (y < yu)
            continue;
        std::uint8_t* out = result.pixels.row(static_cast<int>(y - yu));
        if (cmyk)
            inksToLight(row.data() + 4 * first, out, xr - xl, inverted);
        else
            std::memcpy(out, row.data() + 3 * first, 3 * static_cast<std::size_t>(xr - xl));
    }
    if (yb == height) {
        // The end of the picture was read anyway: finish as the full decoder does.
        jpeg_finish_decompress(&d.info);
    } else if (!jpeg_has_multiple_scans(&d.info)) {
        // A file of several scans was read whole when decoding started.
        result.needsWhole = !restEndsAtEoi(d.info, source);
    }
    return 0;
}

int encodeInto(Compressor& c, const Bitmap24& bitmap, int quality)
{
    if (setjmp(c.errors.jump))
        return c.errors.code ? c.errors.code : -1;
    c.info.err = &c.errors.pub;
    jpeg_create_compress(&c.info);
    c.created = true;
    jpeg_mem_dest(&c.info, &c.buffer, &c.size);
    c.info.image_width = static_cast<JDIMENSION>(bitmap.width());
    c.info.image_height = static_cast<JDIMENSION>(bitmap.height());
    c.info.input_components = 3;
    // Blue-green-red rows go in as they are; the defaults for this layout
    // are those for RGB input.
    c.info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c.info);
    c.info.dct_method = JDCT_FLOAT;
    jpeg_set_quality(&c.info, quality, TRUE);
    jpeg_start_compress(&c.info, TRUE);
    while (c.info.next_scanline < c.info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bitmap.row(static_cast<int>(c.info.next_scanline)));
        jpeg_write_scanlines(&c.info, &row, 1);
    }
    jpeg_finish_compress(&c.info);
    return 0;
}

}  // namespace

Picture decodeJpeg(ByteView file)
{
    Picture picture;
    picture.kind = PictureKind::Jpeg;
    std::vector<JSAMPLE> cmykRow;
    Decompressor d;
    installErrorManager(d.errors);
    const int code = decodeInto(d, file, picture, cmykRow);
    if (code != 0)
        throw ImagingError(formatMessage(messages::jpegError, code));
    return picture;
}

std::optional<Bitmap24> decodeJpegArea(ByteView file, const CutArea& area)
{
    MemorySource source(file);
    return decodeJpegArea(source, area);
}

std::optional<Bitmap24> decodeJpegArea(ByteSource& file, const CutArea& area)
{
    AreaDecode result;
    std::vector<JSAMPLE> row;
    const auto source = std::make_unique<StreamSource>();
    Decompressor d;
    installErrorManager(d.errors);
    const int code = decodeAreaInto(d, *source, file, area, result, row);
    if (code != 0)
        throw ImagingError(formatMessage(messages::jpegError, code));
    if (!result.inside || result.needsWhole)
        return std::nullopt;
    return std::move(result.pixels);
}

Bytes encodeJpeg(const Bitmap24& bitmap, int quality)
{
    if (bitmap.empty())
        throw ImagingError(formatMessage(messages::jpegError, JERR_EMPTY_IMAGE));
    quality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
    Compressor c;
    installErrorManager(c.errors);
    const int code = encodeInto(c, bitmap, quality);
    if (code != 0)
        throw ImagingError(formatMessage(messages::jpegError, code));
    return Bytes(c.buffer, c.buffer + c.size);
}

}  // namespace clipora
