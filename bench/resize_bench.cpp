// The resize dialog's Preview on the 4000 by 3000 photo, through the dialog
// (settings read, result allocated, the computation with the progress bar
// advancing after every row, the result put on display), against the same
// steps done directly with no progress bar: the difference is what the dialog
// and its progress bar cost. The dialog is shown, so the bar really repaints.

#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/startup.h"
#include "bench/benchsupport.h"
#include "load/loadcut.h"
#include "toolkit/editfield.h"
#include "toolkit/imagecontrol.h"
#include "zoom/calc/zoomcalc.h"
#include "zoom/resize.h"

using namespace clipora;

namespace {

enum class Work { Reduce, Rotate };

// The main window holding the photo, and the dialog open on it with the
// settings of `work`.
std::unique_ptr<ProgramWindows> openOnPhoto(Work work)
{
    auto windows = createWindows();
    Tloadcut& window = *windows->loadcut;
    window.show();
    window.mainimage->setBitmap(bench::photo4000x3000());
    window.loaded();
    Tresize& dialog = *windows->resize;
    dialog.show();
    QApplication::processEvents();
    if (work == Work::Reduce) {
        dialog.newsizex->setText(QStringLiteral("2000"));
        dialog.newsizey->setText(QStringLiteral("1500"));
    } else {
        dialog.degree->setText(QStringLiteral("30"));
    }
    return windows;
}

void previewThroughDialog(benchmark::State& state, Work work)
{
    const auto windows = openOnPhoto(work);
    Tresize& dialog = *windows->resize;
    for (auto _ : state)
        dialog.goresizeClick();
    state.SetItemsProcessed(state.iterations() * dialog.resultbmp.width() * dialog.resultbmp.height());
}

void previewDirectly(benchmark::State& state, Work work)
{
    const auto windows = openOnPhoto(work);
    Tloadcut& window = *windows->loadcut;
    const double angle = zoom::rotationangle(30, 0);
    const zoom::Size size = work == Work::Reduce ? zoom::Size{2000, 1500} : zoom::rotatedsize(4000, 3000, angle);
    const zoom::Transparency transparency{false, 0, 50};
    for (auto _ : state) {
        Bitmap24 result(size.width, size.height);
        if (work == Work::Reduce)
            zoom::zoomdown(window.workbmp, result, transparency);
        else
            zoom::rotate(window.workbmp, result, angle, 0, true, transparency);
        window.mainimage->setBitmap(result);
    }
    state.SetItemsProcessed(state.iterations() * size.width * size.height);
}

}  // namespace

static void BM_ResizePreviewReduce(benchmark::State& state)
{
    previewThroughDialog(state, Work::Reduce);
}
BENCHMARK(BM_ResizePreviewReduce)->Unit(benchmark::kMillisecond);

static void BM_ResizePreviewReduceDirect(benchmark::State& state)
{
    previewDirectly(state, Work::Reduce);
}
BENCHMARK(BM_ResizePreviewReduceDirect)->Unit(benchmark::kMillisecond);

static void BM_ResizePreviewRotate(benchmark::State& state)
{
    previewThroughDialog(state, Work::Rotate);
}
BENCHMARK(BM_ResizePreviewRotate)->Unit(benchmark::kMillisecond);

static void BM_ResizePreviewRotateDirect(benchmark::State& state)
{
    previewDirectly(state, Work::Rotate);
}
BENCHMARK(BM_ResizePreviewRotateDirect)->Unit(benchmark::kMillisecond);
