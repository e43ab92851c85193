// GIF through giflib, reading from and writing to memory.

#include <algorithm>
#include <cstring>

#include <gif_lib.h>

#include "codecs.h"
#include "errors.h"
#include "limits.h"

namespace clipora {

namespace {

struct Source {
    ByteView bytes;
    std::size_t at = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int wanted)
{
    auto* source = static_cast<Source*>(gif->UserData);
    const std::size_t left = source->bytes.size() - source->at;
    const std::size_t n = std::min(left, static_cast<std::size_t>(std::max(wanted, 0)));
    std::memcpy(buffer, source->bytes.data() + source->at, n);
    source->at += n;
    return static_cast<int>(n);
}

int writeToMemory(GifFileType* gif, const GifByteType* buffer, int count)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), buffer, buffer + count);
    return count;
}

// Closes the decoder or encoder whatever way the function is left.
struct DecoderHandle {
    GifFileType* gif = nullptr;
    ~DecoderHandle()
    {
        if (gif)
            DGifCloseFile(gif, nullptr);
    }
};

struct ColorMapHandle {
    ColorMapObject* map = nullptr;
    ~ColorMapHandle() { GifFreeMapObject(map); }
};

[[noreturn]] void fail(int code) { throw ImagingError(formatMessage(messages::gifError, code)); }

// The transparent colour index from a graphic control extension, or -1.
int transparentIndex(const GifByteType* block)
{
    GraphicsControlBlock control {};
    if (block && block[0] >= 4 && DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
        return control.TransparentColor;
    return -1;
}

}  // namespace

Picture decodeGif(ByteView file)
{
    Source source {file};
    DecoderHandle handle;
    int error = 0;
    handle.gif = DGifOpen(&source, readFromMemory, &error);
    if (!handle.gif)
        fail(error);
    GifFileType* gif = handle.gif;

    int transparent = -1;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            fail(gif->Error);
        if (type == TERMINATE_RECORD_TYPE)
            fail(D_GIF_ERR_NO_IMAG_DSCR);
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
                fail(gif->Error);
            if (code == GRAPHICS_EXT_FUNC_CODE)
                transparent = transparentIndex(block);
            while (block) {
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                    fail(gif->Error);
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE)
            continue;

        if (DGifGetImageDesc(gif) == GIF_ERROR)
            fail(gif->Error);
        const GifImageDesc& image = gif->Image;
        const ColorMapObject* map = image.ColorMap ? image.ColorMap : gif->SColorMap;
        if (!map || !map->Colors)
            fail(D_GIF_ERR_NO_COLOR_MAP);
        const std::int64_t left = image.Left, top = image.Top, w = image.Width, h = image.Height;
        if (w <= 0 || h <= 0)
            fail(D_GIF_ERR_IMAGE_DEFECT);
        // The first image on its logical screen; a screen too small for the
        // image grows to hold it.
        const std::int64_t canvasW = std::max<std::int64_t>(gif->SWidth, left + w);
        const std::int64_t canvasH = std::max<std::int64_t>(gif->SHeight, top + h);
        checkPictureSize(canvasW, canvasH);

        Picture picture;
        picture.kind = PictureKind::Gif;
        picture.pixels = Bitmap24(static_cast<int>(canvasW), static_cast<int>(canvasH), 0);
        picture.alpha.assign(static_cast<std::size_t>(canvasW * canvasH), 0);
        std::vector<GifPixelType> line(static_cast<std::size_t>(w));

        auto storeRow = [&](std::int64_t row) {
            std::uint8_t* out = picture.pixels.pixel(static_cast<int>(left), static_cast<int>(top + row));
            std::uint8_t* cover = picture.alpha.data() + (top + row) * canvasW + left;
            for (std::int64_t x = 0; x < w; ++x) {
                const int index = line[x];
                if (index == transparent)
                    continue;
                if (index < map->ColorCount) {
                    out[3 * x] = map->Colors[index].Blue;
                    out[3 * x + 1] = map->Colors[index].Green;
                    out[3 * x + 2] = map->Colors[index].Red;
                }  // an index past the table stays black
                cover[x] = 255;
            }
        };
        auto readRow = [&](std::int64_t row) {
            if (DGifGetLine(gif, line.data(), static_cast<int>(w)) == GIF_ERROR)
                fail(gif->Error);
            storeRow(row);
        };
        if (image.Interlace) {
            static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (std::int64_t row = start[pass]; row < h; row += step[pass])
                    readRow(row);
        } else {
            for (std::int64_t row = 0; row < h; ++row)
                readRow(row);
        }
        if (std::all_of(picture.alpha.begin(), picture.alpha.end(), [](std::uint8_t a) { return a == 255; }))
            picture.alpha.clear();
        return picture;
    }
}

Bytes encodeGif(const Bitmap8& bitmap)
{
    if (bitmap.empty())
        fail(E_GIF_ERR_DATA_TOO_BIG);
    if (bitmap.width() > 0xFFFF || bitmap.height() > 0xFFFF)
        fail(E_GIF_ERR_DATA_TOO_BIG);

    ColorMapHandle table;
    table.map = GifMakeMapObject(256, nullptr);
    if (!table.map)
        fail(E_GIF_ERR_NOT_ENOUGH_MEM);
    std::memset(table.map->Colors, 0, 256 * sizeof(GifColorType));  // unused entries black
    const auto& palette = bitmap.palette();
    for (std::size_t i = 0; i < palette.size(); ++i)
        table.map->Colors[i] = GifColorType {palette[i].red, palette[i].green, palette[i].blue};

    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeToMemory, &error);
    if (!gif)
        fail(error);
    EGifSetGifVersion(gif, false);  // GIF87a: no extension blocks follow
    bool ok = EGifPutScreenDesc(gif, bitmap.width(), bitmap.height(), 8, 0, nullptr) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, bitmap.width(), bitmap.height(), false, table.map) == GIF_OK;
    for (int y = 0; ok && y < bitmap.height(); ++y)
        ok = EGifPutLine(gif, const_cast<GifPixelType*>(bitmap.row(y)), bitmap.width()) == GIF_OK;
    if (!ok) {
        const int code = gif->Error;
        EGifCloseFile(gif, nullptr);
        fail(code);
    }
    if (EGifCloseFile(gif, &error) == GIF_ERROR)
        fail(error);
    return out;
}

}  // namespace clipora
