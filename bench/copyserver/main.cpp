// clipora-copy-server SIZE SECONDS: copies a picture to the clipboard as the
// window's "コピー" does (12: the 4000 x 3000 photo of the benchmarks, 96:
// that photo tiled to 12000 x 8000), prints "copied" when it is on the
// clipboard, then keeps serving it for SECONDS seconds while a timer
// reports each new longest time the event loop was kept from turning. Run it under
// an X server (xvfb-run) and time `xclip -o` against it: see
// docs/performance.md.

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "bench/benchsupport.h"
#include "toolkit/clipboard.h"

namespace {

clipora::Bitmap24 pictureOf(int megapixels)
{
    const clipora::Bitmap24& tile = clipora::bench::photo4000x3000();
    if (megapixels != 96)
        return tile;
    clipora::Bitmap24 b(12000, 8000);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); x += tile.width())
            std::copy(tile.row(y % tile.height()), tile.row(y % tile.height()) + 3 * tile.width(), b.row(y) + 3 * x);
    return b;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int size = argc > 1 ? std::atoi(argv[1]) : 12;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
    clipora::Bitmap24 picture = pictureOf(size);
    clipora::copyToClipboard(std::move(picture));
    std::printf("copied\n");
    std::fflush(stdout);
    QElapsedTimer since;
    since.start();
    qint64 last = 0, longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = since.elapsed();
        if (now - last > longest) {
            longest = now - last;
            std::printf("longest gap between event loop turns so far: %lld ms\n", static_cast<long long>(longest));
            std::fflush(stdout);
        }
        last = now;
    });
    tick.start(10);
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
