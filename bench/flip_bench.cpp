#include <benchmark/benchmark.h>

#include "bench/benchsupport.h"
#include "imaging/flip.h"

namespace {

void BM_MirrorLeftRight(benchmark::State& state)
{
    const clipora::Bitmap24& photo = clipora::bench::photo4000x3000();
    for (auto _ : state)
        benchmark::DoNotOptimize(clipora::mirroredLeftRight(photo).data());
    state.SetItemsProcessed(state.iterations() * photo.width() * photo.height());
}
BENCHMARK(BM_MirrorLeftRight)->Unit(benchmark::kMillisecond);

void BM_MirrorUpsideDown(benchmark::State& state)
{
    const clipora::Bitmap24& photo = clipora::bench::photo4000x3000();
    for (auto _ : state)
        benchmark::DoNotOptimize(clipora::mirroredUpsideDown(photo).data());
    state.SetItemsProcessed(state.iterations() * photo.width() * photo.height());
}
BENCHMARK(BM_MirrorUpsideDown)->Unit(benchmark::kMillisecond);

}  // namespace
