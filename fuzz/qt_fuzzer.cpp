// Feeds arbitrary bytes to the bitmap or icon reader (Qt's readers behind
// our own checks): a whole picture or ImagingError, nothing else.
#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

#include "imaging/errors.h"
#include "toolkit/picturereader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);  // lets Qt find its image plugins
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        const clipora::Picture picture = clipora::FUZZ_READER(clipora::ByteView(data, size));
        if (picture.pixels.empty())
            __builtin_trap();
    } catch (const clipora::ImagingError&) {
    }
    return 0;
}
