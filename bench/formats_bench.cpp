// The WebP, AVIF, HEIF and TIFF readers on a 4000 by 3000 photo-like
// picture (BM_Load<Format>: the file read by extension, as every road
// reads it), each beside its library's own decode of the same file from
// memory into the library's own RGB buffer. The files are written once per
// run by the formats' tools: cwebp -q 80, avifenc at quantizer 20 (speed 8),
// heif-enc -q 80, and an LZW TIFF (libtiff, then tiffcp).
#include <benchmark/benchmark.h>

#include <avif/avif.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <webp/decode.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "bench/benchsupport.h"
#include "imaging/codecs.h"
#include "imaging/fileio.h"
#include "reader/picturereader.h"
#include "tests/support/formatfiles.h"

using namespace clipora;

namespace {

class Folder {
public:
    Folder()
    {
        path_ = (std::filesystem::temp_directory_path() / "clipora-bench-XXXXXX").string();
        if (!::mkdtemp(path_.data()))
            path_.clear();
    }
    ~Folder()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The path of the picture written in `extension`; empty when the tool failed.
const std::string& fileOf(const std::string& extension)
{
    static Folder folder;
    static std::map<std::string, std::string> made;
    auto found = made.find(extension);
    if (found != made.end())
        return found->second;
    const std::string work = folder.path() + "/" + extension;
    std::filesystem::create_directories(work);
    const int quality = extension == "tif" ? 0 : 80;
    const Bytes file = test::writtenByTool(extension, work, bench::photo4000x3000(), {}, quality);
    std::string path;
    if (!file.empty()) {
        path = folder.path() + "/photo." + extension;
        writeFileAtomic(path, file);
    }
    return made[extension] = path;
}

void loadBenchmark(benchmark::State& state, const std::string& extension)
{
    const std::string& path = fileOf(extension);
    if (path.empty()) {
        state.SkipWithError("the format's tool could not write the picture");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(readPictureFile(path));
    state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}

template <typename Decode>
void libraryBenchmark(benchmark::State& state, const std::string& extension, Decode decode)
{
    const std::string& path = fileOf(extension);
    if (path.empty()) {
        state.SkipWithError("the format's tool could not write the picture");
        return;
    }
    const Bytes file = readFileBytes(path);
    for (auto _ : state)
        if (!decode(file))
            state.SkipWithError("the library refused the file");
    state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}

}  // namespace

static void BM_LoadWebp(benchmark::State& state) { loadBenchmark(state, "webp"); }
BENCHMARK(BM_LoadWebp)->Unit(benchmark::kMillisecond);

// libwebp alone: WebPDecodeBGR into a buffer of its own.
static void BM_LibwebpDecode(benchmark::State& state)
{
    libraryBenchmark(state, "webp", [](const Bytes& file) {
        int w = 0, h = 0;
        std::uint8_t* rgb = WebPDecodeBGR(file.data(), file.size(), &w, &h);
        WebPFree(rgb);
        return rgb != nullptr;
    });
}
BENCHMARK(BM_LibwebpDecode)->Unit(benchmark::kMillisecond);

static void BM_LoadAvif(benchmark::State& state) { loadBenchmark(state, "avif"); }
BENCHMARK(BM_LoadAvif)->Unit(benchmark::kMillisecond);

// libavif alone: avifDecoderReadMemory with the reader's thread count, then
// avifImageYUVToRGB into a buffer of its own.
static void BM_LibavifDecode(benchmark::State& state)
{
    libraryBenchmark(state, "avif", [](const Bytes& file) {
        avifDecoder* decoder = avifDecoderCreate();
        decoder->maxThreads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        avifImage* image = avifImageCreateEmpty();
        bool ok = avifDecoderReadMemory(decoder, image, file.data(), file.size()) == AVIF_RESULT_OK;
        if (ok) {
            avifRGBImage rgb;
            avifRGBImageSetDefaults(&rgb, image);
            rgb.format = AVIF_RGB_FORMAT_BGR;
            // The allocation reports its result from libavif 1.0 on.
#if AVIF_VERSION >= 1000000
            ok = avifRGBImageAllocatePixels(&rgb) == AVIF_RESULT_OK && avifImageYUVToRGB(image, &rgb) == AVIF_RESULT_OK;
#else
            avifRGBImageAllocatePixels(&rgb);
            ok = avifImageYUVToRGB(image, &rgb) == AVIF_RESULT_OK;
#endif
            avifRGBImageFreePixels(&rgb);
        }
        avifImageDestroy(image);
        avifDecoderDestroy(decoder);
        return ok;
    });
}
BENCHMARK(BM_LibavifDecode)->Unit(benchmark::kMillisecond);

static void BM_LoadHeif(benchmark::State& state) { loadBenchmark(state, "heic"); }
BENCHMARK(BM_LoadHeif)->Unit(benchmark::kMillisecond);

// libheif alone: the primary image decoded to interleaved RGB.
static void BM_LibheifDecode(benchmark::State& state)
{
    // Loads the decoder plug-ins where libheif has them (Debian 13), once.
    static const bool initialised = heif_init(nullptr).code == heif_error_Ok;
    if (!initialised)
        state.SkipWithError("libheif did not start");
    libraryBenchmark(state, "heic", [](const Bytes& file) {
        heif_context* context = heif_context_alloc();
        heif_image_handle* handle = nullptr;
        heif_image* image = nullptr;
        bool ok = heif_context_read_from_memory_without_copy(context, file.data(), file.size(), nullptr).code ==
                      heif_error_Ok &&
                  heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok &&
                  heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code ==
                      heif_error_Ok;
        heif_image_release(image);
        heif_image_handle_release(handle);
        heif_context_free(context);
        return ok;
    });
}
BENCHMARK(BM_LibheifDecode)->Unit(benchmark::kMillisecond);

static void BM_LoadTiff(benchmark::State& state) { loadBenchmark(state, "tif"); }
BENCHMARK(BM_LoadTiff)->Unit(benchmark::kMillisecond);

// libtiff alone: TIFFReadRGBAImageOriented of the whole page from the file.
static void BM_LibtiffDecode(benchmark::State& state)
{
    const std::string path = fileOf("tif");
    libraryBenchmark(state, "tif", [&path](const Bytes&) {
        TIFF* tiff = TIFFOpen(path.c_str(), "r");
        if (!tiff)
            return false;
        std::uint32_t w = 0, h = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
        std::vector<std::uint32_t> raster(static_cast<std::size_t>(w) * h);
        const bool ok = TIFFReadRGBAImageOriented(tiff, w, h, raster.data(), ORIENTATION_TOPLEFT, 1) != 0;
        TIFFClose(tiff);
        return ok;
    });
}
BENCHMARK(BM_LibtiffDecode)->Unit(benchmark::kMillisecond);
