// Feeds arbitrary bytes to one of the Qt-based readers (bitmap and icon
// through Qt behind our own checks; the metafile player): a whole picture
// or ImagingError, nothing else.
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/errors.h"
#include "metafile/metafile.h"
#include "reader/picturereader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
#ifdef FUZZ_NEEDS_FONTS
    // Metafile text needs fonts, which need a GUI application.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);
#else
    static QCoreApplication app(*argc, *argv);  // lets Qt find its image plugins
#endif
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
