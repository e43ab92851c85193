// The picture control on a large picture: handing it over and painting the
// visible part of it in the scrolling view.
#include <benchmark/benchmark.h>

#include <QPixmap>

#include "toolkit/imagecontrol.h"
#include "toolkit/scrollbox.h"

namespace {

clipora::Picture largePicture()
{
    // 8000 by 6000 (48 megapixels), a gradient: its content does not matter here.
    clipora::Picture picture;
    picture.kind = clipora::PictureKind::Jpeg;
    picture.pixels = clipora::Bitmap24(8000, 6000);
    for (int y = 0; y < picture.height(); ++y) {
        std::uint8_t* row = picture.pixels.row(y);
        for (int x = 0; x < picture.width(); ++x) {
            row[3 * x] = static_cast<std::uint8_t>(x);
            row[3 * x + 1] = static_cast<std::uint8_t>(y);
            row[3 * x + 2] = static_cast<std::uint8_t>(x + y);
        }
    }
    return picture;
}

void BM_ImageControlSetPicture48MP(benchmark::State& state)
{
    const clipora::Picture picture = largePicture();
    clipora::ImageControl image;
    for (auto _ : state) {
        state.PauseTiming();
        clipora::Picture copy = picture;
        state.ResumeTiming();
        image.setPicture(std::move(copy));
        benchmark::DoNotOptimize(image.image().constBits());
    }
}
BENCHMARK(BM_ImageControlSetPicture48MP)->Unit(benchmark::kMillisecond);

// One full repaint of a 600 by 400 view scrolled into the middle of the picture.
void BM_PaintViewOver48MP(benchmark::State& state)
{
    clipora::ScrollBox box;
    box.resize(600, 400);
    clipora::ImageControl image(box.client());
    image.move(27, 25);
    image.setPicture(largePicture());
    box.show();
    box.setScrollX(4000);
    box.setScrollY(3000);
    QPixmap target(box.client()->size());
    for (auto _ : state) {
        box.client()->render(&target);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PaintViewOver48MP)->Unit(benchmark::kMillisecond);

}  // namespace
