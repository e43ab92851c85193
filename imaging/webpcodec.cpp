// WebP through libwebp. A still picture is decoded straight into the
// bitmap (or, with alpha, into one blue-green-red-alpha buffer); an
// animation through the animation decoder, which composes its first frame
// on the canvas.

#include <memory>
#include <string>

#include <webp/decode.h>
#include <webp/demux.h>

#include "codecs.h"
#include "errors.h"
#include "limits.h"
#include "rowconvert.h"

namespace clipora {

namespace {

[[noreturn]] void fail(const std::string& why)
{
    throw ImagingError(formatMessage(messages::webpError, why));
}

[[noreturn]] void fail(VP8StatusCode status)
{
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:  // also what a damaged file asks for
        fail("out of memory");
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        fail("unsupported feature");
    case VP8_STATUS_NOT_ENOUGH_DATA:
        fail("the file ends early");
    default:
        fail("damaged data");
    }
}

struct AnimDecoderDelete {
    void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};

// Owns what WebPDecode may have allocated (nothing when the output is ours).
struct DecoderConfig {
    WebPDecoderConfig config;
    DecoderConfig()
    {
        if (!WebPInitDecoderConfig(&config))
            fail("library version mismatch");
    }
    ~DecoderConfig() { WebPFreeDecBuffer(&config.output); }
};

void decodeStill(ByteView file, const WebPBitstreamFeatures& features, Picture& picture)
{
    const int w = features.width, h = features.height;
    picture.pixels = Bitmap24(w, h);
    DecoderConfig d;
    WebPDecBuffer& out = d.config.output;
    out.is_external_memory = 1;
    std::vector<std::uint8_t> bgra;
    if (features.has_alpha) {
        bgra.resize(static_cast<std::size_t>(w) * 4 * h);
        out.colorspace = MODE_BGRA;
        out.u.RGBA.rgba = bgra.data();
        out.u.RGBA.stride = 4 * w;
        out.u.RGBA.size = bgra.size();
    } else {
        out.colorspace = MODE_BGR;
        out.u.RGBA.rgba = picture.pixels.data();
        out.u.RGBA.stride = static_cast<int>(picture.pixels.stride());
        out.u.RGBA.size = picture.pixels.stride() * static_cast<std::size_t>(h);
    }
    const VP8StatusCode status = WebPDecode(file.data(), file.size(), &d.config);
    if (status != VP8_STATUS_OK)
        fail(status);
    if (features.has_alpha) {
        picture.alpha.resize(static_cast<std::size_t>(w) * h);
        for (int y = 0; y < h; ++y)
            rows::fromBgra(bgra.data() + static_cast<std::size_t>(y) * 4 * w, w, picture.pixels.row(y),
                           picture.alpha.data() + static_cast<std::size_t>(y) * w);
    }
}

void decodeFirstFrame(ByteView file, Picture& picture)
{
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        fail("library version mismatch");
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const WebPData data {file.data(), file.size()};
    const std::unique_ptr<WebPAnimDecoder, AnimDecoderDelete> decoder(WebPAnimDecoderNew(&data, &options));
    if (!decoder)
        fail("damaged animation");
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info))
        fail("damaged animation");
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (info.frame_count < 1 || !WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp))
        fail("damaged animation");
    const int w = static_cast<int>(info.canvas_width), h = static_cast<int>(info.canvas_height);
    picture.pixels = Bitmap24(w, h);
    picture.alpha.resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        rows::fromBgra(canvas + static_cast<std::size_t>(y) * 4 * w, w, picture.pixels.row(y),
                       picture.alpha.data() + static_cast<std::size_t>(y) * w);
}

}  // namespace

Picture decodeWebp(ByteView file)
{
    WebPBitstreamFeatures features;
    const VP8StatusCode status = WebPGetFeatures(file.data(), file.size(), &features);
    if (status != VP8_STATUS_OK)
        fail(status);
    // The canvas of an animation, the picture of a still file: checked
    // before the library or we take memory for it.
    checkPictureSize(features.width, features.height);
    if (features.width <= 0 || features.height <= 0)
        fail("empty picture");
    Picture picture;
    picture.kind = PictureKind::Webp;
    if (features.has_animation)
        decodeFirstFrame(file, picture);
    else
        decodeStill(file, features, picture);
    rows::dropOpaqueAlpha(picture);
    return picture;
}

}  // namespace clipora
