// Feeds arbitrary bytes to one of the codecs' decoders: it must return a
// whole picture or throw ImagingError, and never crash, hang or leak.
#include <cstddef>
#include <cstdint>
#include <new>

#include "imaging/codecs.h"
#include "imaging/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        const clipora::Picture picture = clipora::FUZZ_DECODER(clipora::ByteView(data, size));
        if (picture.pixels.empty() ||
            (picture.hasTransparency() &&
             picture.alpha.size() != static_cast<std::size_t>(picture.width()) * picture.height()))
            __builtin_trap();
    } catch (const clipora::ImagingError&) {
    }
    return 0;
}
