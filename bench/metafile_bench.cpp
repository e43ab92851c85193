#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "bench/benchsupport.h"
#include "imaging/codecs.h"
#include "metafile/metafile.h"

using namespace clipora;

namespace {

Bytes fixture(const char* name)
{
    const auto path = std::filesystem::path(__FILE__).parent_path().parent_path() / "tests/data/metafiles" / name;
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void put16(Bytes& b, int v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A placeable WMF (one unit a pixel) with the 4000 by 3000 photo as a
// 24-bit DIB drawn twice: once with SRCAND, once with SRCPAINT, the way
// mask pairs are drawn.
Bytes photoMaskPairWmf()
{
    const Bitmap24& photo = bench::photo4000x3000();
    const int w = photo.width(), h = photo.height();
    Bytes dib;
    for (std::uint32_t v : {40u, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h)})
        put32(dib, v);
    put16(dib, 1);
    put16(dib, 24);
    for (int i = 0; i < 6; ++i)
        put32(dib, 0);
    const std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
    for (int y = h - 1; y >= 0; --y) {
        const std::uint8_t* row = photo.row(y);
        dib.insert(dib.end(), row, row + stride);
    }
    Bytes body;
    for (std::uint32_t rop : {0x008800C6u, 0x00EE0086u}) {
        Bytes p;
        put32(p, rop);
        for (int v : {0, h, w, 0, 0, h, w, 0, 0})
            put16(p, v);
        p.insert(p.end(), dib.begin(), dib.end());
        put32(body, static_cast<std::uint32_t>(3 + p.size() / 2));
        put16(body, 0x0F43);  // META_STRETCHDIB
        body.insert(body.end(), p.begin(), p.end());
    }
    put32(body, 3);
    put16(body, 0);
    Bytes file;
    put32(file, 0x9AC6CDD7);
    for (int v : {0, 0, 0, w, h, 96})
        put16(file, v);
    put32(file, 0);
    put16(file, 0);
    for (int v : {1, 9, 0x0300})
        put16(file, v);
    put32(file, static_cast<std::uint32_t>(9 + body.size() / 2));
    put16(file, 0);
    put32(file, 0);
    put16(file, 0);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

}  // namespace

// A gnuplot chart: about 1300 small records, lines, text, pattern fills.
static void BM_ReadEmfChart(benchmark::State& state)
{
    const Bytes file = fixture("gnuplot-plot.emf");
    for (auto _ : state)
        benchmark::DoNotOptimize(readEmf(file));
}
BENCHMARK(BM_ReadEmfChart)->Unit(benchmark::kMillisecond);

// An office drawing: shapes, Shift-JIS text, a mask pair.
static void BM_ReadWmfDrawing(benchmark::State& state)
{
    const Bytes file = fixture("office-drawing.wmf");
    for (auto _ : state)
        benchmark::DoNotOptimize(readWmf(file));
}
BENCHMARK(BM_ReadWmfDrawing)->Unit(benchmark::kMillisecond);

// Raster operations pixel by pixel over 12 megapixels, twice.
static void BM_ReadWmfPhotoMaskPair(benchmark::State& state)
{
    const Bytes file = photoMaskPairWmf();
    for (auto _ : state)
        benchmark::DoNotOptimize(readWmf(file));
    state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}
BENCHMARK(BM_ReadWmfPhotoMaskPair)->Unit(benchmark::kMillisecond);
