// HEIF (HEIC, and AVIF read as HEIF) through libheif: the primary image,
// decoded to interleaved red, green, blue (and alpha) samples of 8 or 16
// bits, then turned into the picture.

#include <memory>
#include <string>

#include <libheif/heif.h>

#include "codecs.h"
#include "errors.h"
#include "limits.h"
#include "rowconvert.h"

namespace clipora {

namespace {

[[noreturn]] void fail(const std::string& why)
{
    throw ImagingError(formatMessage(messages::heifError, why));
}

void check(const heif_error& error)
{
    if (error.code == heif_error_Ok)
        return;
    // libheif says "memory allocation error" also for what a damaged file
    // asks for: that is the file's fault, reported like any other.
    fail(error.message && *error.message ? error.message : "damaged data");
}

struct ContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleRelease {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageRelease {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

// Loads the decoder plug-ins once, where the library has them.
void initialiseOnce()
{
    static const bool done = [] {
        heif_init(nullptr);
        return true;
    }();
    (void)done;
}

}  // namespace

Picture decodeHeif(ByteView file)
{
    initialiseOnce();
    const std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    if (!context)
        throw std::bad_alloc();
    // libheif's own guard on what a file may make it decode (alpha planes and
    // grid tiles included), no looser than ours: from 1.19 it counts pixels,
    // before that it bounds each side.
#if LIBHEIF_HAVE_VERSION(1, 19, 0)
    heif_context_get_security_limits(context.get())->max_image_size_pixels = maxPicturePixels;
#else
    heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(maxPictureSide));
#endif
    check(heif_context_read_from_memory_without_copy(context.get(), file.data(), file.size(), nullptr));
    heif_image_handle* rawHandle = nullptr;
    check(heif_context_get_primary_image_handle(context.get(), &rawHandle));
    const std::unique_ptr<heif_image_handle, HandleRelease> handle(rawHandle);

    // The declared sizes, before anything is decoded: the coded picture's
    // and the one its crop, rotation and mirroring give.
    checkPictureSize(heif_image_handle_get_ispe_width(handle.get()), heif_image_handle_get_ispe_height(handle.get()));
    checkPictureSize(heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get()));
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle.get()) > 8;
    const heif_chroma chroma = deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                                    : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);

    const std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    if (!options)
        throw std::bad_alloc();
    // The container's crop, rotation and mirroring are part of the picture
    // (an encoder pads the coded picture and crops it back), so they are
    // applied; there is no EXIF orientation here.
    options->ignore_transformations = 0;
    heif_image* rawImage = nullptr;
    check(heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, chroma, options.get()));
    const std::unique_ptr<heif_image, ImageRelease> image(rawImage);

    const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || w <= 0 || h <= 0)
        fail("empty picture");
    checkPictureSize(w, h);
    const int bits = deep ? heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) : 8;
    if (deep && (bits <= 8 || bits > 16))
        fail("unsupported sample depth");

    Picture picture;
    picture.kind = PictureKind::Heif;
    picture.pixels = Bitmap24(w, h);
    const int channels = alpha ? 4 : 3;
    if (alpha)
        picture.alpha.resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = plane + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
        std::uint8_t* cover = alpha ? picture.alpha.data() + static_cast<std::size_t>(y) * w : nullptr;
        if (deep)
            rows::fromRgb(reinterpret_cast<const std::uint16_t*>(row), w, channels, static_cast<unsigned>(bits),
                          picture.pixels.row(y), cover);
        else
            rows::fromRgb(row, w, channels, 8, picture.pixels.row(y), cover);
    }
    // A file may store its colours multiplied by their alpha; libheif hands
    // them over as stored and says so. Ours are straight.
    if (alpha && heif_image_is_premultiplied_alpha(image.get()))
        rows::unpremultiply(picture);
    rows::dropOpaqueAlpha(picture);
    return picture;
}

}  // namespace clipora
