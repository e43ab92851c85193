#include <benchmark/benchmark.h>

#include <QString>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/startup.h"
#include "bench/benchsupport.h"
#include "imaging/codecs.h"
#include "imaging/fileio.h"
#include "load/loadcut.h"

using namespace clipora;

namespace {

// A folder under the system's temporary folder, removed with its files.
class BenchFolder {
public:
    BenchFolder()
    {
        path_ = (std::filesystem::temp_directory_path() / "clipora-bench-XXXXXX").string();
        if (!::mkdtemp(path_.data()))
            path_.clear();
    }
    ~BenchFolder()
    {
        if (!path_.empty())
            std::filesystem::remove_all(path_);
    }
    bool ok() const { return !path_.empty(); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The 4000 by 3000 photo turned on its side: 3000 by 4000.
Bitmap24 portrait()
{
    const Bitmap24& photo = bench::photo4000x3000();
    Bitmap24 turned(photo.height(), photo.width());
    for (int y = 0; y < turned.height(); ++y)
        for (int x = 0; x < turned.width(); ++x) {
            const std::uint8_t* from = photo.pixel(y, x);
            std::uint8_t* to = turned.pixel(x, y);
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    return turned;
}

// Loads the files in turn into the main window, each through picload():
// file read, decode, display, working bitmap, rulers, reset.
void loadInTurn(benchmark::State& state, const std::vector<std::string>& files)
{
    const auto windows = createWindows();
    Tloadcut& window = *windows->loadcut;
    window.show();  // its show handler prepares the window as for a user
    std::size_t next = 0;
    for (auto _ : state) {
        window.picload(QString::fromStdString(files[next]));
        next = (next + 1) % files.size();
    }
    if (window.picwidth * window.picheight != 4000 * 3000)
        state.SkipWithError("the picture did not load");
    state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}

}  // namespace

// Loading a 4000 by 3000 JPEG (quality 90) into the main window, from
// picload() to the end of loaded(), offscreen. Compare with BM_DecodeJpeg,
// the plain decode of the same file from memory. Every load after the first
// finds a working bitmap of the same size and copies into its storage.
static void BM_LoadJpeg(benchmark::State& state)
{
    BenchFolder folder;
    if (!folder.ok()) {
        state.SkipWithError("cannot make a temporary folder");
        return;
    }
    writeFileAtomic(folder.file("photo.jpg"), encodeJpeg(bench::photo4000x3000(), 90));
    loadInTurn(state, {folder.file("photo.jpg")});
}
BENCHMARK(BM_LoadJpeg)->Unit(benchmark::kMillisecond);

// The same, alternating with a 3000 by 4000 picture, so that every load
// changes the picture's size and the working bitmap is allocated afresh.
static void BM_LoadJpegNewSize(benchmark::State& state)
{
    BenchFolder folder;
    if (!folder.ok()) {
        state.SkipWithError("cannot make a temporary folder");
        return;
    }
    writeFileAtomic(folder.file("landscape.jpg"), encodeJpeg(bench::photo4000x3000(), 90));
    writeFileAtomic(folder.file("portrait.jpg"), encodeJpeg(portrait(), 90));
    loadInTurn(state, {folder.file("landscape.jpg"), folder.file("portrait.jpg")});
}
BENCHMARK(BM_LoadJpegNewSize)->Unit(benchmark::kMillisecond);
