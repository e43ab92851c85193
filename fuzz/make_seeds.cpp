// Writes small valid files of every kind the readers accept into
// fuzz/corpus/<kind>/, as starting points for the fuzzers; the WMF seeds
// are written record by record with the metafile tests' writer.
// Usage: fuzz_make_seeds CORPUS_FOLDER
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include "imaging/codecs.h"
#include "tests/metafile/metafilebuilder.h"

using namespace clipora;
namespace fs = std::filesystem;

namespace {

fs::path corpus;

void save(const std::string& kind, const std::string& name, const Bytes& bytes)
{
    fs::create_directories(corpus / kind);
    std::ofstream(corpus / kind / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bitmap24 sample(int w, int h)
{
    Bitmap24 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            b.pixel(x, y)[0] = static_cast<std::uint8_t>(x * 16);
            b.pixel(x, y)[1] = static_cast<std::uint8_t>(y * 16);
            b.pixel(x, y)[2] = static_cast<std::uint8_t>((x ^ y) * 16);
        }
    return b;
}

Bytes jpegWith(int components, J_COLOR_SPACE space, bool progressive, int w, int h)
{
    jpeg_compress_struct c {};
    jpeg_error_mgr err {};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 50, TRUE);
    if (progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(components * w));
    while (c.next_scanline < c.image_height) {
        for (int i = 0; i < components * w; ++i)
            row[i] = static_cast<std::uint8_t>(i * 7 + c.next_scanline * 5);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

void appendPng(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

Bytes pngWith(int colourType, int depth, bool adam7, int w, int h)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendPng, nullptr);
    png_set_IHDR(png, info, w, h, depth, colourType, adam7 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[16];
    png_byte alpha[4] = {0, 64, 128, 255};
    for (int i = 0; i < 16; ++i)
        palette[i] = {static_cast<png_byte>(i * 16), static_cast<png_byte>(255 - i * 16), 77};
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, palette, 1 << std::min(depth, 4));
        png_set_tRNS(png, info, alpha, 4, nullptr);
    }
    png_write_info(png, info);
    const int channels = colourType == PNG_COLOR_TYPE_RGB ? 3 : colourType == PNG_COLOR_TYPE_RGBA ? 4
                         : colourType == PNG_COLOR_TYPE_GA ? 2 : 1;
    const std::size_t rowBytes = (static_cast<std::size_t>(w) * channels * depth + 7) / 8;
    std::vector<Bytes> rows(h, Bytes(rowBytes));
    std::vector<png_bytep> pointers;
    for (int y = 0; y < h; ++y) {
        for (std::size_t i = 0; i < rowBytes; ++i)
            rows[y][i] = static_cast<std::uint8_t>(colourType == PNG_COLOR_TYPE_PALETTE && depth == 8 ? (i + y) % 16 : i * 13 + y * 3);
        pointers.push_back(rows[y].data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

int appendGif(GifFileType* gif, const GifByteType* data, int n)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

Bytes gifInterlacedTransparent()
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendGif, &error);
    GifColorType colours[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, 12, 10, 2, 0, map);
    GraphicsControlBlock control {};
    control.TransparentColor = 2;
    GifByteType block[4];
    EGifGCBToExtension(&control, block);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block);
    EGifPutImageDesc(gif, 1, 1, 9, 8, true, nullptr);
    GifPixelType line[9];
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 9; ++x)
            line[x] = static_cast<GifPixelType>((x + y) % 4);
        EGifPutLine(gif, line, 9);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

Bytes qtWrite(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return Bytes(bytes.begin(), bytes.end());
}

// WMF records beyond those the tests' writer names.
enum : std::uint16_t { wmfExtTextOutRecord = 0x0A32, wmfArc = 0x0817, wmfRoundRect = 0x061C };

// Pens, brushes (solid, hatched, null), shapes, arcs and clipping.
Bytes wmfShapes()
{
    using namespace clipora::test;
    WmfWriter w(64, 48);
    w.add(wmfSetWindowExt, {48, 64});
    w.add(wmfCreatePen, wmfPen(0, 2, ref(200, 0, 0)));
    w.add(wmfSelectObject, {0});
    w.add(wmfCreateBrush, wmfBrush(2, ref(0, 128, 0), 3));
    w.add(wmfSelectObject, {1});
    w.add(wmfRectangle, {30, 40, 4, 4});
    w.add(wmfEllipse, {44, 60, 20, 30});
    w.add(wmfIntersectClipRect, {46, 62, 2, 2});
    w.add(wmfPie, {10, 60, 10, 40, 40, 60, 2, 40});
    w.add(wmfArc, {10, 20, 10, 2, 40, 30, 2, 2});
    w.add(wmfRoundRect, {6, 6, 46, 30, 34, 4});
    w.add(wmfPolygon, {3, 2, 46, 30, 46, 16, 30});
    w.add(wmfMoveTo, {2, 2});
    w.add(wmfLineTo, {46, 62});
    return w.bytes();
}

// Shift-JIS text in a charset-128 font, with and without its advances.
Bytes wmfShiftJisText()
{
    using namespace clipora::test;
    WmfWriter w(96, 32);
    w.add(wmfSetBkMode, {2});
    w.add(wmfSetTextAlign, {24});
    w.add(wmfCreateFont, wmfFont(-16, 128, "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e"));
    w.add(wmfSelectObject, {0});
    const std::string words = "\x93\xfa\x96\x7b\x8c\xea\x82\xa9\x82\xc8";  // 日本語かな
    Bytes text;
    put16(text, static_cast<int>(words.size()));
    for (char ch : words)
        put8(text, static_cast<unsigned char>(ch));
    put16(text, 14);
    put16(text, 2);
    w.add(wmfTextOut, text);
    Bytes ext;
    put16(ext, 30);
    put16(ext, 2);
    put16(ext, static_cast<int>(words.size()));
    put16(ext, 0);
    for (char ch : words)
        put8(ext, static_cast<unsigned char>(ch));
    for (std::size_t i = 0; i < words.size(); ++i)
        put16(ext, i % 2 ? 0 : 16);
    w.add(wmfExtTextOutRecord, ext);
    return w.bytes();
}

// A 4-bit DIB stretched, a pattern blit and a saved and restored state.
Bytes wmfBitmaps()
{
    using namespace clipora::test;
    WmfWriter w(32, 32);
    const Bytes bits = {0x01, 0x23, 0x00, 0x00, 0x32, 0x10, 0x00, 0x00};
    const DibParts dib = makeDib(4, 2, 4, {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)}, bits);
    w.add(wmfSaveDc, {});
    w.add(wmfStretchDib, stretchDibParams(0, 0, 32, 16, 4, 2, 0x00CC0020, dib));
    w.add(wmfCreateBrush, wmfBrush(0, ref(0, 0, 255)));
    w.add(wmfSelectObject, {0});
    w.add(wmfPatBlt, {0x0021, 0x00F0, 16, 32, 16, 0});
    w.add(wmfRestoreDc, {-1});
    return w.bytes();
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds CORPUS_FOLDER\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);  // no display needed
    QGuiApplication app(argc, argv);
    corpus = argv[1];

    save("jpeg", "baseline.jpg", encodeJpeg(sample(16, 16), 75));
    save("jpeg", "progressive.jpg", jpegWith(3, JCS_RGB, true, 17, 9));
    save("jpeg", "grey.jpg", jpegWith(1, JCS_GRAYSCALE, false, 8, 8));
    save("jpeg", "cmyk.jpg", jpegWith(4, JCS_CMYK, false, 8, 8));

    save("png", "rgb.png", encodePng(sample(9, 7)));
    save("png", "rgba-adam7.png", pngWith(PNG_COLOR_TYPE_RGBA, 8, true, 9, 9));
    save("png", "palette-trns.png", pngWith(PNG_COLOR_TYPE_PALETTE, 4, false, 7, 5));
    save("png", "grey16.png", pngWith(PNG_COLOR_TYPE_GRAY, 16, true, 5, 6));
    save("png", "grey1.png", pngWith(PNG_COLOR_TYPE_GRAY, 1, false, 11, 3));

    Bitmap8 indices(10, 6);
    std::vector<PaletteEntry> palette;
    for (int i = 0; i < 252; ++i)
        palette.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 3), static_cast<std::uint8_t>(i * 7), 0});
    indices.setPalette(palette);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x)
            indices.row(y)[x] = static_cast<std::uint8_t>(x * 25 + y);
    save("gif", "plain87a.gif", encodeGif(indices));
    save("gif", "interlaced-transparent.gif", gifInterlacedTransparent());

    save("bmp", "rgb24.bmp", encodeBmp(sample(5, 4)));
    QImage indexed(6, 5, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(255, 0, 0)});
    indexed.fill(1);
    save("bmp", "indexed8.bmp", qtWrite(indexed, "bmp"));
    QImage argb(8, 8, QImage::Format_ARGB32);
    argb.fill(qRgba(10, 200, 30, 128));
    save("ico", "argb.ico", qtWrite(argb, "ico"));
    save("ico", "rgb.ico", qtWrite(argb.convertToFormat(QImage::Format_RGB32), "ico"));

    save("wmf", "shapes-pens-hatch-clip.wmf", wmfShapes());
    save("wmf", "shift-jis-text.wmf", wmfShiftJisText());
    save("wmf", "stretched-4bit-dib-patblt.wmf", wmfBitmaps());
    return 0;
}
