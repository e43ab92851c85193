#include <benchmark/benchmark.h>

#include "bench/benchsupport.h"
#include "imaging/codecs.h"

using namespace clipora;

// libjpeg alone, quality 90, the program's settings, into memory.
static void BM_EncodeJpeg(benchmark::State& state)
{
    const Bitmap24& photo = bench::photo4000x3000();
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeJpeg(photo, 90));
    state.SetItemsProcessed(state.iterations() * photo.width() * photo.height());
}
BENCHMARK(BM_EncodeJpeg)->Unit(benchmark::kMillisecond);

// A plain decode of a 4000 by 3000 JPEG (quality 90) from memory.
static void BM_DecodeJpeg(benchmark::State& state)
{
    const Bytes file = encodeJpeg(bench::photo4000x3000(), 90);
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeJpeg(file));
    state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}
BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond);
