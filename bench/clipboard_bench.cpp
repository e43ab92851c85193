// What another program waits for when it pastes our copy as PNG: from the
// copy (the clipboard data made from the area) to the PNG bytes in hand.
// The PNG is made on every processor, so these run on real (wall) time;
// BM_ClipboardPngEncode/1thread is the encoder alone on one core.

#include <benchmark/benchmark.h>

#include <QMimeData>

#include <memory>

#include "bench/benchsupport.h"
#include "imaging/quickpng.h"
#include "toolkit/clipboard.h"

namespace {

using clipora::Bitmap24;

// The photo tiled 3 x 3 wide and high less a bit: 12000 x 8000, 96 megapixels.
const Bitmap24& photo96MP()
{
    static const Bitmap24 picture = [] {
        const Bitmap24& tile = clipora::bench::photo4000x3000();
        Bitmap24 b(12000, 8000);
        for (int y = 0; y < b.height(); ++y) {
            const std::uint8_t* from = tile.row(y % tile.height());
            std::uint8_t* to = b.row(y);
            for (int x = 0; x < b.width(); x += tile.width())
                std::copy(from, from + 3 * tile.width(), to + 3 * x);
        }
        return b;
    }();
    return picture;
}

void pasteAsPng(benchmark::State& state, const Bitmap24& picture)
{
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::unique_ptr<QMimeData> data(clipora::mimeDataForBitmap(picture));
        bytes = static_cast<std::size_t>(data->data(QStringLiteral("image/png")).size());
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * picture.width() * picture.height());
    state.counters["png_MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_ClipboardPng12MP(benchmark::State& state) { pasteAsPng(state, clipora::bench::photo4000x3000()); }
void BM_ClipboardPng96MP(benchmark::State& state) { pasteAsPng(state, photo96MP()); }

void BM_ClipboardPngEncode1Thread(benchmark::State& state)
{
    const Bitmap24& photo = clipora::bench::photo4000x3000();
    for (auto _ : state)
        benchmark::DoNotOptimize(clipora::encodePngQuickly(photo, 1));
    state.SetItemsProcessed(state.iterations() * photo.width() * photo.height());
}

}  // namespace

BENCHMARK(BM_ClipboardPng12MP)->Name("BM_ClipboardPng/12MP")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ClipboardPng96MP)->Name("BM_ClipboardPng/96MP")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_ClipboardPngEncode1Thread)->Name("BM_ClipboardPngEncode/12MP/1thread")->Unit(benchmark::kMillisecond);
