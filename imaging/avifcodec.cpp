// AVIF through libavif (with whichever AV1 decoder it was built with). The
// first image of the file is converted from YUV by libavif: 8-bit pictures
// straight into the bitmap, deeper ones into 16-bit samples that we reduce.

#include <memory>
#include <string>
#include <thread>

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
        return picture;
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
    return picture;
}

}  // namespace clipora
