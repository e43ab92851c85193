// Cut and save through the main window: a 4000 by 3000 picture taken over by
// the window, cut whole and saved through the save road in each format, the
// save dialog answered here, the file written into a temporary folder. Beside
// BM_EncodeJpeg (codecs_bench.cpp) the difference is what the road costs on
// top of the encoder: the cut and the file.
#include <benchmark/benchmark.h>

#include <QPushButton>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "app/startup.h"
#include "bench/benchsupport.h"
#include "bmpfilters/bmpfilters.h"
#include "imaging/codecs.h"
#include "imaging/picture.h"
#include "load/loadcut.h"
#include "toolkit/dialogs.h"
#include "toolkit/editfield.h"
#include "toolkit/imagecontrol.h"

namespace {

// A fresh folder under the system's temporary folder, removed with its files.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "clipora-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Saves the whole photo with the save dialog's filter `filterIndex` (1 BMP,
// 2 JPEG, 3 GIF, 4 PNG) once per iteration, at JPEG quality 90.
void saveWholePhoto(benchmark::State& state, int filterIndex)
{
    ScratchFolder folder;
    if (folder.path().empty()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const QString name = QString::fromStdString((folder.path() / "photo").string());
    const clipora::DialogAnswerer previous =
        clipora::setDialogAnswerer([&](const clipora::DialogRequest& request) {
            if (request.kind == clipora::DialogRequest::Kind::OverwriteQuestion)
                return clipora::DialogAnswer::yes();
            return clipora::DialogAnswer::choose(name, filterIndex);
        });

    auto windows = clipora::createWindows();
    Tloadcut& window = *windows->loadcut;
    window.show();
    clipora::Picture picture;
    picture.kind = clipora::PictureKind::Bitmap;
    picture.pixels = clipora::bench::photo4000x3000();
    window.mainimage->setPicture(std::move(picture));
    window.loaded();
    window.areareset();
    window.jpgq->setText(QStringLiteral("90"));

    for (auto _ : state) {
        try {
            window.savepic->click();
        } catch (const std::exception& error) {
            state.SkipWithError(error.what());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * 4000 * 3000);
    clipora::setDialogAnswerer(previous);
    // A save that silently wrote nothing would measure nothing.
    if (std::filesystem::is_empty(folder.path()))
        state.SkipWithError("no file was written");
}

void BM_SaveJpeg(benchmark::State& state) { saveWholePhoto(state, 2); }
void BM_SavePng(benchmark::State& state) { saveWholePhoto(state, 4); }
void BM_SaveGif(benchmark::State& state) { saveWholePhoto(state, 3); }
void BM_SaveBmp(benchmark::State& state) { saveWholePhoto(state, 1); }

// The encoders alone on the same picture, in memory, for comparison with
// the saves (the JPEG one is BM_EncodeJpeg).
void BM_EncodeOnlyPng(benchmark::State& state)
{
    const clipora::Bitmap24& photo = clipora::bench::photo4000x3000();
    for (auto _ : state)
        benchmark::DoNotOptimize(clipora::encodePng(photo));
    state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}

void BM_ReduceAndEncodeGif(benchmark::State& state)
{
    const clipora::Bitmap24& photo = clipora::bench::photo4000x3000();
    for (auto _ : state)
        benchmark::DoNotOptimize(clipora::encodeGif(clipora::ReduceToStaticPalette(photo)));
    state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}

void BM_EncodeOnlyBmp(benchmark::State& state)
{
    const clipora::Bitmap24& photo = clipora::bench::photo4000x3000();
    for (auto _ : state)
        benchmark::DoNotOptimize(clipora::encodeBmp(photo));
    state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}

}  // namespace

BENCHMARK(BM_EncodeOnlyPng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceAndEncodeGif)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeOnlyBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SavePng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveGif)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveBmp)->Unit(benchmark::kMillisecond);
