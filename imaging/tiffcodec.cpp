// TIFF through libtiff, reading from memory; the first page. Grey and RGB
// pictures of 8 or 16 bits a sample (what scanners and most programs write)
// are read a row of strips or tiles at a time and converted here: 16-bit
// samples reduced to 8 by rounding (v * 255 / 65535 to the nearest), alpha
// kept, associated (premultiplied) alpha turned back to straight colour in
// the samples' own depth. Everything else (palette, CMYK, YCbCr, other
// depths, separate planes) goes through libtiff's RGBA reader a band of
// strips or tiles at a time, which hands colour back premultiplied by its
// alpha (grey with unassociated alpha excepted) and reduces 16-bit samples
// itself. A JPEG-compressed strip or tile that libjpeg finds cut short or
// corrupt is refused. The orientation tag is not applied: rows come in the
// order they are stored.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <tiffio.h>

#include "codecs.h"
#include "errors.h"
#include "limits.h"
#include "rowconvert.h"

namespace clipora {

namespace {

// The largest single block libtiff may take for one strip or tile.
constexpr tmsize_t maxTiffAllocation = tmsize_t(1) << 30;

struct Source {
    ByteView bytes;
    toff_t at = 0;
    std::string firstError;
    // libjpeg's warning that a JPEG-compressed strip or tile is cut short or
    // damaged: libtiff decodes on, grey filling what is missing, where our
    // JPEG reader refuses the file.
    std::string damagedJpeg;
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

// Called from libtiff's C frames: nothing may throw out of them.
void keepFirst(std::string& kept, const char* format, va_list args) noexcept
{
    if (!kept.empty())
        return;
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    try {
        kept = text;
    } catch (...) {
        kept.clear();
    }
}

int onError(TIFF*, void* user, const char*, const char* format, va_list args)
{
    keepFirst(static_cast<Source*>(user)->firstError, format, args);
    return 1;
}

int onWarning(TIFF*, void* user, const char* module, const char* format, va_list args)
{
    if (module && std::strcmp(module, "JPEGLib") == 0) {
        va_list copy;
        va_copy(copy, args);
        char text[256];
        std::vsnprintf(text, sizeof text, format, copy);
        va_end(copy);
        if (std::strstr(text, "Premature end of JPEG") || std::strstr(text, "Corrupt JPEG data"))
            keepFirst(static_cast<Source*>(user)->damagedJpeg, format, args);
    }
    return 1;
}

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

// A page that readDirectly() takes: grey (1 colour sample, `invert` for
// white-is-zero) or RGB (3), 8 or 16 bits, samples of a pixel together, and
// which sample (if any) is alpha.
struct DirectLayout {
    int colours = 0, samples = 0, alphaAt = -1;
    bool invert = false, associated = false;
    unsigned bits = 0;
};

std::optional<DirectLayout> directLayoutOf(TIFF* tiff)
{
    std::uint16_t photometric = 0, bits = 0, samples = 0, planar = 0, format = 0, compression = 0, extras = 0;
    std::uint16_t* extra = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric))
        return std::nullopt;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extras, &extra);
    DirectLayout d;
    d.colours = photometric == PHOTOMETRIC_RGB ? 3
                : photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE ? 1
                                                                                                  : 0;
    if (d.colours == 0 || (bits != 8 && bits != 16) || samples < d.colours || format != SAMPLEFORMAT_UINT ||
        (planar != PLANARCONFIG_CONTIG && samples > 1) || compression == COMPRESSION_OJPEG)
        return std::nullopt;
    d.samples = samples;
    d.bits = bits;
    d.invert = photometric == PHOTOMETRIC_MINISWHITE;
    if (samples > d.colours && extras > 0 && extra &&
        (extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA)) {
        d.alphaAt = d.colours;
        d.associated = extra[0] == EXTRASAMPLE_ASSOCALPHA;
    }
    return d;
}

// One stored row of such a page into the picture's row and coverage.
template <typename Sample>
void convertRow(const Sample* in, const DirectLayout& d, int width, std::uint8_t* out, std::uint8_t* cover)
{
    // The common case, RGB with straight alpha or none.
    if (d.colours == 3 && !d.associated && (d.samples == 3 || (d.samples == 4 && d.alphaAt == 3))) {
        rows::fromRgb(in, width, d.samples, d.bits, out, cover);
        return;
    }
    const unsigned max = (1u << d.bits) - 1;
    const auto to8 = [&d](unsigned v) { return d.bits == 8 ? static_cast<std::uint8_t>(v) : rows::to8(v, 16); };
    for (int x = 0; x < width; ++x, in += d.samples) {
        const unsigned a = d.alphaAt >= 0 ? in[d.alphaAt] : max;
        unsigned c[3];
        for (int k = 0; k < 3; ++k) {
            unsigned v = in[d.colours == 3 ? k : 0];
            if (d.invert)
                v = max - v;
            // Premultiplied colour back to straight, in the samples' depth.
            if (d.associated && a < max)
                v = a ? std::min<unsigned>(max, static_cast<unsigned>((std::uint64_t{v} * max + a / 2) / a)) : 0;
            c[k] = v;
        }
        out[3 * x] = to8(c[2]);
        out[3 * x + 1] = to8(c[1]);
        out[3 * x + 2] = to8(c[0]);
        if (cover)
            cover[x] = to8(a);
    }
}

// Reads the page a row of strips or of tiles at a time into `picture`
// (sized already). 16-bit samples come in this machine's byte order
// (libtiff swaps them).
void readDirectly(TIFF* tiff, const DirectLayout& d, Source& source, Picture& picture)
{
    const int w = picture.pixels.width(), h = picture.pixels.height();
    if (d.alphaAt >= 0)
        picture.alpha.resize(static_cast<std::size_t>(w) * h);
    const std::size_t pixelBytes = static_cast<std::size_t>(d.samples) * (d.bits / 8);
    // A piece of `columns` pixels of stored row y, from column x on.
    const auto convert = [&](const void* in, int x, int y, int columns) {
        std::uint8_t* cover = d.alphaAt >= 0 ? picture.alpha.data() + static_cast<std::size_t>(y) * w + x : nullptr;
        std::uint8_t* out = picture.pixels.row(y) + 3 * static_cast<std::size_t>(x);
        if (d.bits == 8)
            convertRow(static_cast<const std::uint8_t*>(in), d, columns, out, cover);
        else
            convertRow(static_cast<const std::uint16_t*>(in), d, columns, out, cover);
    };
    if (!TIFFIsTiled(tiff)) {
        const tmsize_t size = TIFFScanlineSize(tiff);
        if (size < static_cast<tmsize_t>(w * pixelBytes))
            fail(source.firstError);
        std::vector<std::uint16_t> line((static_cast<std::size_t>(size) + 1) / 2);
        for (int y = 0; y < h; ++y) {
            if (TIFFReadScanline(tiff, line.data(), static_cast<std::uint32_t>(y), 0) < 0)
                fail(source.firstError);
            convert(line.data(), 0, y, w);
        }
    } else {
        std::uint32_t tileWidth = 0, tileHeight = 0;
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
        const tmsize_t size = TIFFTileSize(tiff);
        if (tileWidth == 0 || tileHeight == 0 || size <= 0 || size > maxTiffAllocation ||
            static_cast<std::uint64_t>(size) < std::uint64_t{tileWidth} * tileHeight * pixelBytes)
            fail(source.firstError.empty() ? "bad tile size" : source.firstError);
        std::vector<std::uint16_t> tile((static_cast<std::size_t>(size) + 1) / 2);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(tile.data());
        for (std::uint32_t ty = 0; ty < static_cast<std::uint32_t>(h); ty += tileHeight)
            for (std::uint32_t tx = 0; tx < static_cast<std::uint32_t>(w); tx += tileWidth) {
                if (TIFFReadTile(tiff, tile.data(), tx, ty, 0, 0) < 0)
                    fail(source.firstError);
                const int columns = static_cast<int>(std::min<std::uint32_t>(tileWidth, w - tx));
                for (std::uint32_t r = 0; r < tileHeight && ty + r < static_cast<std::uint32_t>(h); ++r)
                    convert(bytes + r * tileWidth * pixelBytes, static_cast<int>(tx), static_cast<int>(ty + r), columns);
            }
    }
    rows::dropOpaqueAlpha(picture);
}

}  // namespace

Picture decodeTiff(ByteView file)
{
    Source source {file, 0, {}, {}};
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

    const int w = static_cast<int>(width), h = static_cast<int>(height);
    Picture picture;
    picture.kind = PictureKind::Tiff;
    picture.pixels = Bitmap24(w, h);
    if (const std::optional<DirectLayout> direct = directLayoutOf(tiff.get())) {
        readDirectly(tiff.get(), *direct, source, picture);
        if (!source.damagedJpeg.empty())
            fail(source.damagedJpeg);
        return picture;
    }

    char why[1024] = {};
    RgbaReader reader;
    if (!TIFFRGBAImageBegin(&reader.image, tiff.get(), 1, why))
        fail(source.firstError.empty() ? why : source.firstError);
    reader.begun = true;
    // Rows as stored: neither the file's orientation nor libtiff's default
    // bottom-up raster turns them.
    reader.image.orientation = ORIENTATION_TOPLEFT;
    reader.image.req_orientation = ORIENTATION_TOPLEFT;
    // libtiff premultiplies colour by an unassociated alpha, except for grey.
    const bool premultiplied = !((reader.image.photometric == PHOTOMETRIC_MINISBLACK ||
                                  reader.image.photometric == PHOTOMETRIC_MINISWHITE) &&
                                 reader.image.alpha == EXTRASAMPLE_UNASSALPHA);

    // A band is a whole number of strips or tile rows, at least 64 rows.
    std::uint32_t unit = 0;
    if (TIFFIsTiled(tiff.get()))
        TIFFGetField(tiff.get(), TIFFTAG_TILELENGTH, &unit);
    else
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ROWSPERSTRIP, &unit);
    unit = std::clamp<std::uint32_t>(unit, 1, height);
    const std::uint32_t band = std::min(height, (63 / unit + 1) * unit);

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
                    if (premultiplied) {
                        auto straight = [a](unsigned c) { return a ? std::min(255u, (c * 255 + a / 2) / a) : 0u; };
                        red = straight(red);
                        green = straight(green);
                        blue = straight(blue);
                    }
                }
                out[3 * x] = static_cast<std::uint8_t>(blue);
                out[3 * x + 1] = static_cast<std::uint8_t>(green);
                out[3 * x + 2] = static_cast<std::uint8_t>(red);
            }
        }
    }
    if (!source.damagedJpeg.empty())
        fail(source.damagedJpeg);
    if (!translucent)
        picture.alpha.clear();
    return picture;
}

}  // namespace clipora
