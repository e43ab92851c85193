// TIFF through libtiff, reading from memory. The first page is read with
// libtiff's RGBA reader a band of strips or tiles at a time; that reader
// turns every photometric interpretation into red, green, blue and
// premultiplied alpha, and reduces 16-bit samples to 8 by rounding
// (v * 255 / 65535 to the nearest). The orientation tag is not applied:
// rows come in the order they are stored.

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <tiffio.h>

#include "codecs.h"
#include "errors.h"
#include "limits.h"

namespace clipora {

namespace {

// The largest single block libtiff may take for one strip or tile.
constexpr tmsize_t maxTiffAllocation = tmsize_t(1) << 30;

struct Source {
    ByteView bytes;
    toff_t at = 0;
    std::string firstError;
};

tmsize_t readProc(thandle_t h, void* out, tmsize_t wanted)
{
    auto* s = static_cast<Source*>(h);
    if (wanted < 0 || s->at >= s->bytes.size())
        return 0;
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(wanted), s->bytes.size() - s->at);
    std::memcpy(out, s->bytes.data() + s->at, n);
    s->at += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t writeProc(thandle_t, void*, tmsize_t) { return 0; }

toff_t seekProc(thandle_t h, toff_t offset, int whence)
{
    auto* s = static_cast<Source*>(h);
    toff_t base = 0;
    if (whence == SEEK_CUR)
        base = s->at;
    else if (whence == SEEK_END)
        base = s->bytes.size();
    // Offsets are unsigned; a position past the end only makes reads come up short.
    s->at = base + offset;
    return s->at;
}

int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) { return static_cast<Source*>(h)->bytes.size(); }
// The file is in memory already: libtiff reads strips and tiles straight
// from it, as from a mapped file, checking their bounds against its size.
int mapProc(thandle_t h, void** base, toff_t* size)
{
    auto* s = static_cast<Source*>(h);
    *base = const_cast<std::uint8_t*>(s->bytes.data());
    *size = s->bytes.size();
    return 1;
}
void unmapProc(thandle_t, void*, toff_t) {}

int onError(TIFF*, void* user, const char*, const char* format, va_list args)
{
    auto* s = static_cast<Source*>(user);
    if (s->firstError.empty()) {
        char text[256];
        std::vsnprintf(text, sizeof text, format, args);
        s->firstError = text;
    }
    return 1;
}

int onWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

[[noreturn]] void fail(const std::string& why)
{
    throw ImagingError(formatMessage(messages::tiffError, why.empty() ? std::string("damaged data") : why));
}

struct OptionsFree {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};
struct TiffClose {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
// Owns the RGBA reader's state once it has begun.
struct RgbaReader {
    TIFFRGBAImage image {};
    bool begun = false;
    ~RgbaReader()
    {
        if (begun)
            TIFFRGBAImageEnd(&image);
    }
};

}  // namespace

Picture decodeTiff(ByteView file)
{
    Source source {file, 0, {}};
    const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options)
        throw std::bad_alloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onError, &source);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onWarning, &source);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), maxTiffAllocation);
    const std::unique_ptr<TIFF, TiffClose> tiff(TIFFClientOpenExt("memory", "r", &source, readProc, writeProc,
                                                                  seekProc, closeProc, sizeProc, mapProc, unmapProc,
                                                                  options.get()));
    if (!tiff)
        fail(source.firstError);

    std::uint32_t width = 0, height = 0;
    if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height))
        fail("no picture size");
    // The declared size, before libtiff or we take memory for pixels.
    checkPictureSize(width, height);
    if (width == 0 || height == 0)
        fail("empty picture");

    char why[1024] = {};
    RgbaReader reader;
    if (!TIFFRGBAImageOK(tiff.get(), why) || !TIFFRGBAImageBegin(&reader.image, tiff.get(), 1, why))
        fail(source.firstError.empty() ? why : source.firstError);
    reader.begun = true;
    // Rows as stored: neither the file's orientation nor libtiff's default
    // bottom-up raster turns them.
    reader.image.orientation = ORIENTATION_TOPLEFT;
    reader.image.req_orientation = ORIENTATION_TOPLEFT;

    // A band is a whole number of strips or tile rows, at least 64 rows.
    std::uint32_t unit = 0;
    if (TIFFIsTiled(tiff.get()))
        TIFFGetField(tiff.get(), TIFFTAG_TILELENGTH, &unit);
    else
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ROWSPERSTRIP, &unit);
    unit = std::clamp<std::uint32_t>(unit, 1, height);
    const std::uint32_t band = std::min(height, (63 / unit + 1) * unit);

    const int w = static_cast<int>(width), h = static_cast<int>(height);
    Picture picture;
    picture.kind = PictureKind::Tiff;
    picture.pixels = Bitmap24(w, h);
    std::vector<std::uint32_t> raster(static_cast<std::size_t>(width) * band);
    const bool alpha = reader.image.alpha != 0;
    if (alpha)
        picture.alpha.resize(static_cast<std::size_t>(width) * height);
    bool translucent = false;
    for (std::uint32_t top = 0; top < height; top += band) {
        const std::uint32_t n = std::min(band, height - top);
        reader.image.row_offset = static_cast<int>(top);
        reader.image.col_offset = 0;
        if (!TIFFRGBAImageGet(&reader.image, raster.data(), width, n))
            fail(source.firstError);
        for (std::uint32_t r = 0; r < n; ++r) {
            const int y = static_cast<int>(top + r);
            const std::uint32_t* in = raster.data() + static_cast<std::size_t>(r) * width;
            std::uint8_t* out = picture.pixels.row(y);
            std::uint8_t* cover = alpha ? picture.alpha.data() + static_cast<std::size_t>(y) * width : nullptr;
            if (!alpha) {
                for (int x = 0; x < w; ++x) {
                    out[3 * x] = static_cast<std::uint8_t>(TIFFGetB(in[x]));
                    out[3 * x + 1] = static_cast<std::uint8_t>(TIFFGetG(in[x]));
                    out[3 * x + 2] = static_cast<std::uint8_t>(TIFFGetR(in[x]));
                }
                continue;
            }
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = in[x];
                unsigned red = TIFFGetR(p), green = TIFFGetG(p), blue = TIFFGetB(p);
                const unsigned a = TIFFGetA(p);
                cover[x] = static_cast<std::uint8_t>(a);
                if (a != 255) {
                    translucent = true;
                    // Back from premultiplied to straight colour.
                    auto straight = [a](unsigned c) { return a ? std::min(255u, (c * 255 + a / 2) / a) : 0u; };
                    red = straight(red);
                    green = straight(green);
                    blue = straight(blue);
                }
                out[3 * x] = static_cast<std::uint8_t>(blue);
                out[3 * x + 1] = static_cast<std::uint8_t>(green);
                out[3 * x + 2] = static_cast<std::uint8_t>(red);
            }
        }
    }
    if (!translucent)
        picture.alpha.clear();
    return picture;
}

}  // namespace clipora
