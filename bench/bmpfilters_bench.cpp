#include <benchmark/benchmark.h>

#include "bench/benchsupport.h"
#include "bmpfilters/bmpfilters.h"

using namespace clipora;

// The reduction the GIF writer gets: 4000 by 3000 photo to indices.
static void BM_ReduceToStaticPalette(benchmark::State& state)
{
    initBmpFilters();
    const Bitmap24& photo = bench::photo4000x3000();
    for (auto _ : state)
        benchmark::DoNotOptimize(ReduceToStaticPalette(photo));
    state.SetItemsProcessed(state.iterations() * photo.width() * photo.height());
}
BENCHMARK(BM_ReduceToStaticPalette)->Unit(benchmark::kMillisecond);

// The same result the plain way: DitherBitmap through the 11-row window,
// then each dithered pixel's levels. For comparison with the one above.
static void BM_ReduceToStaticPaletteGeneric(benchmark::State& state)
{
    initBmpFilters();
    const StaticColourTables& t = staticColourTables();
    const Bitmap24& photo = bench::photo4000x3000();
    for (auto _ : state) {
        const Bitmap24 dithered = DitherBitmap(photo, TQuantizeToStaticColor{});
        Bitmap8 result(photo.width(), photo.height());
        result.setPalette(t.StaticPalette);
        for (int y = 0; y < photo.height(); ++y) {
            const std::uint8_t* p = dithered.row(y);
            std::uint8_t* out = result.row(y);
            for (int x = 0; x < photo.width(); ++x, p += 3)
                out[x] = static_cast<std::uint8_t>(42 * t.RedLevel[p[2]] + 6 * t.GreenLevel[p[1]] + t.BlueLevel[p[0]]);
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations() * photo.width() * photo.height());
}
BENCHMARK(BM_ReduceToStaticPaletteGeneric)->Unit(benchmark::kMillisecond);
