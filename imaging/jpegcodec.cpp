// JPEG through libjpeg-turbo. libjpeg reports errors by calling error_exit,
// which long-jumps back here; nothing with a destructor may live between
// setjmp and the library calls, so every C++ object is created before.

#include <csetjmp>
#include <cstdio>
#include <cstring>

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
        if (!cmyk)
            continue;
        for (JDIMENSION x = 0; x < d.info.output_width; ++x) {
            unsigned c = cmykRow[4 * x], m = cmykRow[4 * x + 1], yy = cmykRow[4 * x + 2], k = cmykRow[4 * x + 3];
            if (!inverted) {
                c = 255 - c; m = 255 - m; yy = 255 - yy; k = 255 - k;
            }
            // Now each value is the amount of light let through: 255 is none of the ink.
            out[3 * x] = static_cast<std::uint8_t>((yy * k + 127) / 255);
            out[3 * x + 1] = static_cast<std::uint8_t>((m * k + 127) / 255);
            out[3 * x + 2] = static_cast<std::uint8_t>((c * k + 127) / 255);
        }
    }
    jpeg_finish_decompress(&d.info);
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
