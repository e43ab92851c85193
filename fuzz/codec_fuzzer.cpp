// Feeds arbitrary bytes to one of the codecs' decoders: it must return a
// whole picture or throw ImagingError, and never crash, hang or leak. Where
// the codec also decodes cut areas alone (FUZZ_AREA_DECODER), an area taken
// from the input's last bytes is decoded that way too: it must give the same
// pixels as cutting the whole decode, or the same error.
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <string>

#include "imaging/codecs.h"
#include "imaging/cut.h"
#include "imaging/errors.h"

namespace {

#ifdef FUZZ_AREA_DECODER
// An area inside a picture of the given size, from the bytes before the end.
clipora::CutArea areaFrom(const std::uint8_t* data, std::size_t size, int width, int height)
{
    std::uint32_t v[4] = {};
    for (std::size_t i = 0; i < 16 && i < size; ++i)
        v[i / 4] = (v[i / 4] << 8) | data[size - 1 - i];
    const int xl = static_cast<int>(v[0] % static_cast<std::uint32_t>(width));
    const int yu = static_cast<int>(v[1] % static_cast<std::uint32_t>(height));
    const int xr = xl + 1 + static_cast<int>(v[2] % static_cast<std::uint32_t>(width - xl));
    const int yb = yu + 1 + static_cast<int>(v[3] % static_cast<std::uint32_t>(height - yu));
    return {xl, yu, xr, yb};
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const clipora::ByteView file(data, size);
    std::optional<clipora::Picture> picture;
    std::string refusal;
    try {
        picture = clipora::FUZZ_DECODER(file);
        if (picture->pixels.empty() ||
            (picture->hasTransparency() &&
             picture->alpha.size() != static_cast<std::size_t>(picture->width()) * picture->height()))
            __builtin_trap();
    } catch (const clipora::ImagingError& e) {
        refusal = e.what();
    }
#ifdef FUZZ_AREA_DECODER
    // Without a whole picture the area is taken within 97 x 89, so that the
    // area decoder still meets damaged files.
    const clipora::CutArea area =
        areaFrom(data, size, picture ? picture->width() : 97, picture ? picture->height() : 89);
    try {
        const std::optional<clipora::Bitmap24> part = clipora::FUZZ_AREA_DECODER(file, area);
        if (part) {
            // A JPEG is refused for damage below the area, if at all, only
            // where the area decoder declines; a PNG's compressed data below
            // the area is never read.
            if (!picture && FUZZ_AREA_EXACT)
                __builtin_trap();
            if (picture) {
                const clipora::Bitmap24 expected = clipora::cutArea(clipora::flattenPicture(*picture), area);
                if (part->width() != expected.width() || part->height() != expected.height())
                    __builtin_trap();
                for (int y = 0; y < expected.height(); ++y)
                    for (int x = 0; x < expected.width(); ++x)
                        for (int c = 0; c < 3; ++c)
                            if (part->pixel(x, y)[c] != expected.pixel(x, y)[c])
                                __builtin_trap();
            }
        }
    } catch (const clipora::ImagingError& e) {
        if (picture || refusal != e.what())
            __builtin_trap();
    }
#endif
    return 0;
}
