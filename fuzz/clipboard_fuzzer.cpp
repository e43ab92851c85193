// The paste path: clipboard data whose formats and contents come from the
// input. The first byte picks how many formats the data offers; each format
// takes a MIME type from a fixed list and a share of the remaining bytes.
#include <QApplication>
#include <QMimeData>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/startup.h"
#include "imaging/errors.h"
#include "toolkit/clipboard.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication app(*argc, *argv);
    clipora::setUpApplication(app);  // installs the metafile reader as the program does
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const char* const types[] = {"image/png", "image/bmp", "image/x-bmp", "image/gif", "image/jpeg",
                                        "image/x-wmf", "image/wmf", "image/x-emf", "image/emf", "text/plain",
                                        "application/x-qt-image", "image/x-icon"};
    if (size < 2)
        return 0;
    const int formats = 1 + data[0] % 3;
    const std::size_t share = (size - 1) / formats;
    QMimeData mime;
    for (int i = 0; i < formats; ++i) {
        const std::uint8_t* part = data + 1 + i * share;
        const std::size_t length = i == formats - 1 ? size - 1 - i * share : share;
        if (length == 0)
            continue;
        mime.setData(QString::fromLatin1(types[part[0] % (sizeof types / sizeof *types)]),
                     QByteArray(reinterpret_cast<const char*>(part + 1), static_cast<qsizetype>(length - 1)));
    }
    try {
        const clipora::Picture picture = clipora::pictureFromMimeData(&mime);
        if (picture.pixels.empty())
            __builtin_trap();
    } catch (const clipora::ImagingError&) {
    }
    return 0;
}
