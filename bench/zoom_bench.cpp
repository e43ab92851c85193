// The resize dialog's computations on a 4000 by 3000 photo, one core. Items
// per second are output pixels. "/transparent" runs use a copy of the photo
// with an ellipse of the transparent colour over about a quarter of it, so
// that every neighbour pattern occurs along its edge. Names without a path
// run the implementation the program chooses (the best this processor has,
// unless CLIPORA_SIMD names another); "/avx2" and "/portable"
// force the AVX2 one and the one without vector code; "BM_Reference_*" is the plain
// pixel-by-pixel evaluation the tests compare with.

#include <benchmark/benchmark.h>

#include <optional>
#include <string>
#include <utility>

#include "bench/benchsupport.h"
#include "tests/zoom/calc/reference.h"
#include "zoom/calc/kernels.h"
#include "zoom/calc/zoomcalc.h"

#ifdef CLIPORA_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

using namespace clipora;

namespace {

constexpr std::uint32_t keyColour = 0x00FF00FF;  // magenta, absent from the photo

const Bitmap24& keyedPhoto()
{
    static const Bitmap24 picture = [] {
        Bitmap24 b = bench::photo4000x3000();
        const double cx = 2000, cy = 1500, rx = 1200, ry = 900;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x) {
                const double u = (x - cx) / rx, v = (y - cy) / ry;
                if (u * u + v * v <= 1) {
                    std::uint8_t* p = b.pixel(x, y);
                    p[0] = 0xFF;
                    p[1] = 0x00;
                    p[2] = 0xFF;
                }
            }
        return b;
    }();
    return picture;
}

const Bitmap24& pictureFor(bool transparent) { return transparent ? keyedPhoto() : bench::photo4000x3000(); }

using zoom::detail::Isa;

// Runs the benchmark body with the given implementation (none: the one
// chosen), then restores the one chosen before. Returns false, with the
// benchmark marked as skipped, when this processor cannot run it.
class IsaScope {
public:
    explicit IsaScope(std::optional<Isa> isa) : ok_(!isa || zoom::detail::useIsa(*isa)) {}
    ~IsaScope() { zoom::detail::useIsa(saved_); }
    bool usable(benchmark::State& state) const
    {
        if (!ok_)
            state.SkipWithError("this processor cannot run this implementation");
        return ok_;
    }

private:
    Isa saved_ = zoom::detail::currentIsa();
    bool ok_;
};

// To 6000 x 4500 (1.5 times: the fractions are sixths and halves, which
// put about a tenth of the channel values exactly on halves), or to a size
// of no such ratio (6007 x 4507).
void enlarge(benchmark::State& state, bool transparent, std::optional<Isa> isa, int width = 6000, int height = 4500)
{
    const IsaScope scope(isa);
    if (!scope.usable(state))
        return;
    const Bitmap24& source = pictureFor(transparent);
    Bitmap24 target(width, height);
    for (auto _ : state) {
        zoom::zoomup(source, target, {transparent, keyColour, 50});
        benchmark::DoNotOptimize(target.data());
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void reduce(benchmark::State& state, int width, bool transparent, std::optional<Isa> isa)
{
    const IsaScope scope(isa);
    if (!scope.usable(state))
        return;
    const Bitmap24& source = pictureFor(transparent);
    Bitmap24 target(width, width * 3 / 4);
    for (auto _ : state) {
        zoom::zoomdown(source, target, {transparent, keyColour, 50});
        benchmark::DoNotOptimize(target.data());
    }
    state.SetItemsProcessed(state.iterations() * target.width() * target.height());
}

void rotate30(benchmark::State& state, bool transparent, std::optional<Isa> isa)
{
    const IsaScope scope(isa);
    if (!scope.usable(state))
        return;
    const Bitmap24& source = pictureFor(transparent);
    const double angle = zoom::rotationangle(30, 0);
    const zoom::Size size = zoom::rotatedsize(4000, 3000, angle);
    Bitmap24 target(size.width, size.height);
    // As the dialog runs it with transparency on: gap colour = transparent colour.
    const std::uint32_t gap = transparent ? keyColour : 0x000000;
    for (auto _ : state) {
        zoom::rotate(source, target, angle, gap, true, {transparent, keyColour, 50});
        benchmark::DoNotOptimize(target.data());
    }
    state.SetItemsProcessed(state.iterations() * size.width * size.height);
}

void referenceEnlarge(benchmark::State& state)
{
    Bitmap24 target(6000, 4500);
    for (auto _ : state)
        reference::zoomup(bench::photo4000x3000(), target, false, keyColour, 50);
    state.SetItemsProcessed(state.iterations() * 6000 * 4500);
}

void referenceReduce(benchmark::State& state, int width)
{
    Bitmap24 target(width, width * 3 / 4);
    for (auto _ : state)
        reference::zoomdown(bench::photo4000x3000(), target, false, keyColour, 50);
    state.SetItemsProcessed(state.iterations() * target.width() * target.height());
}

void referenceRotate30(benchmark::State& state)
{
    const double angle = zoom::rotationangle(30, 0);
    const zoom::Size size = zoom::rotatedsize(4000, 3000, angle);
    Bitmap24 target(size.width, size.height);
    for (auto _ : state)
        reference::rotate(bench::photo4000x3000(), target, angle, 0, true, false, keyColour, 50);
    state.SetItemsProcessed(state.iterations() * size.width * size.height);
}

#ifdef CLIPORA_HAVE_OPENCV
cv::Mat matOf(const Bitmap24& b)
{
    return cv::Mat(b.height(), b.width(), CV_8UC3, const_cast<std::uint8_t*>(b.data()), b.stride());
}

void openCvResize(benchmark::State& state, int width, int height, int interpolation)
{
    cv::setNumThreads(1);
    const cv::Mat source = matOf(bench::photo4000x3000());
    cv::Mat target(height, width, CV_8UC3);
    for (auto _ : state) {
        cv::resize(source, target, target.size(), 0, 0, interpolation);
        benchmark::DoNotOptimize(target.data);
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void openCvWarpAffine30(benchmark::State& state)
{
    cv::setNumThreads(1);
    const cv::Mat source = matOf(bench::photo4000x3000());
    const zoom::Size size = zoom::rotatedsize(4000, 3000, zoom::rotationangle(30, 0));
    cv::Mat matrix = cv::getRotationMatrix2D(cv::Point2f(1999.5f, 1499.5f), -30, 1.0);
    matrix.at<double>(0, 2) += (size.width - 4000) / 2.0;
    matrix.at<double>(1, 2) += (size.height - 3000) / 2.0;
    cv::Mat target(size.height, size.width, CV_8UC3);
    for (auto _ : state) {
        cv::warpAffine(source, target, matrix, target.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT);
        benchmark::DoNotOptimize(target.data);
    }
    state.SetItemsProcessed(state.iterations() * size.width * size.height);
}
#endif

void registerAll()
{
    auto add = [](const std::string& name, auto body) {
        benchmark::RegisterBenchmark(name.c_str(), body)->Unit(benchmark::kMillisecond);
    };
    const std::pair<std::string, std::optional<Isa>> paths[] = {
        {"", std::nullopt}, {"/avx2", Isa::avx2}, {"/portable", Isa::portable}};
    for (const auto& [suffix, isa] : paths) {
        add("BM_Enlarge" + suffix, [=](benchmark::State& s) { enlarge(s, false, isa); });
        add("BM_Enlarge/transparent" + suffix, [=](benchmark::State& s) { enlarge(s, true, isa); });
        add("BM_Enlarge/6007" + suffix, [=](benchmark::State& s) { enlarge(s, false, isa, 6007, 4507); });
        for (const int width : {1600, 1000}) {
            const std::string name = "BM_Reduce/" + std::to_string(width);
            add(name + suffix, [=](benchmark::State& s) { reduce(s, width, false, isa); });
            add(name + "/transparent" + suffix, [=](benchmark::State& s) { reduce(s, width, true, isa); });
        }
        add("BM_Rotate30" + suffix, [=](benchmark::State& s) { rotate30(s, false, isa); });
        add("BM_Rotate30/transparent" + suffix, [=](benchmark::State& s) { rotate30(s, true, isa); });
    }
    add("BM_Reference_Enlarge", referenceEnlarge);
    add("BM_Reference_Reduce/1600", [](benchmark::State& s) { referenceReduce(s, 1600); });
    add("BM_Reference_Reduce/1000", [](benchmark::State& s) { referenceReduce(s, 1000); });
    add("BM_Reference_Rotate30", referenceRotate30);
#ifdef CLIPORA_HAVE_OPENCV
    add("BM_OpenCV_Linear", [](benchmark::State& s) { openCvResize(s, 6000, 4500, cv::INTER_LINEAR); });
    add("BM_OpenCV_Linear/6007", [](benchmark::State& s) { openCvResize(s, 6007, 4507, cv::INTER_LINEAR); });
    add("BM_OpenCV_Area/1600", [](benchmark::State& s) { openCvResize(s, 1600, 1200, cv::INTER_AREA); });
    add("BM_OpenCV_Area/1000", [](benchmark::State& s) { openCvResize(s, 1000, 750, cv::INTER_AREA); });
    add("BM_OpenCV_WarpAffine30", openCvWarpAffine30);
#endif
}

[[maybe_unused]] const bool registered = (registerAll(), true);

}  // namespace
