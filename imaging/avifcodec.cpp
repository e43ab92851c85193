// AVIF through libavif (with whichever AV1 decoder it was built with). The
// first image of the file is converted from YUV by libavif: 8-bit pictures
// straight into the bitmap, deeper ones into 16-bit samples that we reduce.
// libavif reports the container's crop (clap), rotation (irot) and mirror
// (imir) but leaves them to us; they are applied in that order, as the
// format prescribes and as the HEIF reader's library does (these are part of
// the picture's geometry, not EXIF).

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include <avif/avif.h>

#include "codecs.h"
#include "errors.h"
#include "limits.h"
#include "rowconvert.h"

namespace clipora {

namespace {

[[noreturn]] void fail(const std::string& why)
{
    throw ImagingError(formatMessage(messages::avifError, why));
}

// AVIF_RESULT_OUT_OF_MEMORY too: what a damaged file asks for may be refused.
[[noreturn]] void fail(avifResult result)
{
    fail(std::string(avifResultToString(result)));
}

void check(avifResult result)
{
    if (result != AVIF_RESULT_OK)
        fail(result);
}

struct DecoderDestroy {
    void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};

struct Rect {
    int x, y, width, height;
};

// The clean aperture as whole pixels within the coded picture, or nothing
// when it is not such a rectangle (then the picture is shown whole). Its
// centre lies at (W - 1) / 2 + horizOff across, so its left edge at
// (W - width) / 2 + horizOff; likewise down.
std::optional<Rect> cleanAperture(const avifCleanApertureBox& clap, std::uint32_t w, std::uint32_t h)
{
    using Fraction = std::pair<long long, long long>;  // n / d, d > 0
    // Each value n / d as a fraction; the offsets are signed.
    const auto fraction = [](std::uint32_t n, std::uint32_t d, bool isSigned) -> std::optional<Fraction> {
        if (d == 0)
            return std::nullopt;
        const long long value = isSigned ? static_cast<long long>(static_cast<std::int32_t>(n)) : n;
        return Fraction{value, static_cast<long long>(d)};
    };
    const auto width = fraction(clap.widthN, clap.widthD, false);
    const auto height = fraction(clap.heightN, clap.heightD, false);
    const auto across = fraction(clap.horizOffN, clap.horizOffD, true);
    const auto down = fraction(clap.vertOffN, clap.vertOffD, true);
    if (!width || !height || !across || !down)
        return std::nullopt;
    // The edge (size - n / d) / 2 + m / e, with denominator 2 d e, must be
    // whole (in 128 bits: each factor may take 32).
    const auto edge = [](long long size, Fraction extent, Fraction offset) -> std::optional<long long> {
        const auto [n, d] = extent;
        const auto [m, e] = offset;
        if (n % d != 0)
            return std::nullopt;
        const __int128 numerator = (static_cast<__int128>(size) * d - n) * e + static_cast<__int128>(2) * m * d;
        const __int128 denominator = static_cast<__int128>(2) * d * e;
        if (numerator % denominator != 0 || numerator / denominator < 0 || numerator / denominator > size)
            return std::nullopt;
        return static_cast<long long>(numerator / denominator);
    };
    const auto left = edge(w, *width, *across), top = edge(h, *height, *down);
    if (!left || !top)
        return std::nullopt;
    const long long cw = width->first / width->second, ch = height->first / height->second;
    if (cw < 1 || ch < 1 || *left < 0 || *top < 0 || *left + cw > w || *top + ch > h)
        return std::nullopt;
    return Rect{static_cast<int>(*left), static_cast<int>(*top), static_cast<int>(cw), static_cast<int>(ch)};
}

// The picture after the container's crop, then `quarterTurns` turns by 90
// degrees anticlockwise, then `mirror` (0: top and bottom exchanged, 1: left
// and right, else none).
Picture transformed(const Picture& coded, Rect crop, int quarterTurns, int mirror)
{
    const bool across = quarterTurns % 2 == 1;
    const int w = across ? crop.height : crop.width, h = across ? crop.width : crop.height;
    Picture picture;
    picture.kind = coded.kind;
    picture.pixels = Bitmap24(w, h);
    if (coded.hasTransparency())
        picture.alpha.resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Undo the mirror, then the turn: the pixel of the cropped picture.
            const int mx = mirror == 1 ? w - 1 - x : x, my = mirror == 0 ? h - 1 - y : y;
            int cx = mx, cy = my;
            switch (quarterTurns) {
            case 1: cx = crop.width - 1 - my; cy = mx; break;
            case 2: cx = crop.width - 1 - mx; cy = crop.height - 1 - my; break;
            case 3: cx = my; cy = crop.height - 1 - mx; break;
            default: break;
            }
            const int sx = crop.x + cx, sy = crop.y + cy;
            std::memcpy(picture.pixels.pixel(x, y), coded.pixels.pixel(sx, sy), 3);
            if (coded.hasTransparency())
                picture.alpha[static_cast<std::size_t>(y) * w + x] =
                    coded.alpha[static_cast<std::size_t>(sy) * coded.width() + sx];
        }
    return picture;
}

// The mirror's one field: `mode` in libavif before 1.0, `axis` since
// (0: top and bottom exchanged, 1: left and right, in both).
template <class Mirror>
auto mirrorOf(const Mirror& m) -> decltype(static_cast<int>(m.axis))
{
    return m.axis;
}
template <class Mirror>
auto mirrorOf(const Mirror& m) -> decltype(static_cast<int>(m.mode))
{
    return m.mode;
}

// The picture as the container's transformative properties have it.
Picture withContainerGeometry(Picture coded, const avifImage& image)
{
    Rect crop{0, 0, coded.width(), coded.height()};
    if (image.transformFlags & AVIF_TRANSFORM_CLAP)
        if (const std::optional<Rect> aperture = cleanAperture(image.clap, image.width, image.height))
            crop = *aperture;
    const int turns = (image.transformFlags & AVIF_TRANSFORM_IROT) ? image.irot.angle % 4 : 0;
    const int mirror = (image.transformFlags & AVIF_TRANSFORM_IMIR) ? mirrorOf(image.imir) : -1;
    if (crop.x == 0 && crop.y == 0 && crop.width == coded.width() && crop.height == coded.height() && turns == 0 &&
        mirror != 0 && mirror != 1)
        return coded;
    return transformed(coded, crop, turns, mirror);
}

}  // namespace

Picture decodeAvif(ByteView file)
{
    const std::unique_ptr<avifDecoder, DecoderDestroy> decoder(avifDecoderCreate());
    if (!decoder)
        throw std::bad_alloc();
    decoder->maxThreads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // libavif's limit on a side is ours, so that a long picture within our
    // limits reads (its pixel count limit, 16384 x 16384, lies beyond ours,
    // which the declared size is checked against below, with our message).
    decoder->imageDimensionLimit = static_cast<std::uint32_t>(maxPictureSide);
    decoder->ignoreExif = AVIF_TRUE;
    decoder->ignoreXMP = AVIF_TRUE;
    check(avifDecoderSetIOMemory(decoder.get(), file.data(), file.size()));
    check(avifDecoderParse(decoder.get()));
    // The declared size, before any plane is decoded.
    const avifImage* image = decoder->image;
    checkPictureSize(image->width, image->height);
    check(avifDecoderNextImage(decoder.get()));
    image = decoder->image;
    checkPictureSize(image->width, image->height);
    if (image->width == 0 || image->height == 0)
        fail("empty picture");

    const int w = static_cast<int>(image->width), h = static_cast<int>(image->height);
    const bool alpha = image->alphaPlane != nullptr;
    Picture picture;
    picture.kind = PictureKind::Avif;
    picture.pixels = Bitmap24(w, h);
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    if (image->depth == 8 && !alpha) {
        rgb.format = AVIF_RGB_FORMAT_BGR;
        rgb.depth = 8;
        rgb.pixels = picture.pixels.data();
        rgb.rowBytes = static_cast<std::uint32_t>(picture.pixels.stride());
        check(avifImageYUVToRGB(image, &rgb));
        return withContainerGeometry(std::move(picture), *image);
    }
    // With alpha or more than 8 bits: red, green, blue (and alpha) samples
    // of the file's depth, then to the picture.
    const int channels = alpha ? 4 : 3;
    rgb.format = alpha ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_RGB;
    rgb.depth = image->depth;  // libavif takes 8, 10, 12 or 16
    const std::size_t sampleBytes = rgb.depth > 8 ? 2 : 1;
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(w) * channels * sampleBytes * h);
    rgb.pixels = samples.data();
    rgb.rowBytes = static_cast<std::uint32_t>(static_cast<std::size_t>(w) * channels * sampleBytes);
    check(avifImageYUVToRGB(image, &rgb));
    if (alpha)
        picture.alpha.resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = samples.data() + static_cast<std::size_t>(y) * rgb.rowBytes;
        std::uint8_t* cover = alpha ? picture.alpha.data() + static_cast<std::size_t>(y) * w : nullptr;
        if (sampleBytes == 2)
            rows::fromRgb(reinterpret_cast<const std::uint16_t*>(row), w, channels, rgb.depth, picture.pixels.row(y),
                          cover);
        else
            rows::fromRgb(row, w, channels, 8, picture.pixels.row(y), cover);
    }
    rows::dropOpaqueAlpha(picture);
    return withContainerGeometry(std::move(picture), *image);
}

}  // namespace clipora
