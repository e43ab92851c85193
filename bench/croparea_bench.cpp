// Cutting 1000 x 800 at (100, 100) out of a 12000 x 8000 JPEG (the photo
// tiled 3 x 3, quality 90, 4:2:0): the area decoder against the whole decode
// and cut. The file is in memory; clipora-cli's own figures (with reading the
// file and writing the result) are in docs/performance.md.

#include <benchmark/benchmark.h>

#include <algorithm>

#include "bench/benchsupport.h"
#include "imaging/codecs.h"
#include "imaging/cut.h"

namespace {

using namespace clipora;

const Bytes& jpeg96MP()
{
    static const Bytes file = [] {
        const Bitmap24& tile = bench::photo4000x3000();
        Bitmap24 b(12000, 8000);
        for (int y = 0; y < b.height(); ++y) {
            const std::uint8_t* from = tile.row(y % tile.height());
            std::uint8_t* to = b.row(y);
            for (int x = 0; x < b.width(); x += tile.width())
                std::copy(from, from + 3 * tile.width(), to + 3 * x);
        }
        return encodeJpeg(b, 90);
    }();
    return file;
}

const CutArea area{100, 100, 1100, 900};

void BM_CropAreaJpeg(benchmark::State& state)
{
    const Bytes& file = jpeg96MP();
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeJpegArea(file, area));
    state.SetItemsProcessed(state.iterations() * area.width() * area.height());
}
BENCHMARK(BM_CropAreaJpeg)->Unit(benchmark::kMillisecond);

void BM_CropWholeJpeg(benchmark::State& state)
{
    const Bytes& file = jpeg96MP();
    for (auto _ : state)
        benchmark::DoNotOptimize(cutArea(decodeJpeg(file).pixels, area));
    state.SetItemsProcessed(state.iterations() * area.width() * area.height());
}
BENCHMARK(BM_CropWholeJpeg)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
