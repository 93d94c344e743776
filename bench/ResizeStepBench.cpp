// One step of resizing the main window with a 6000 x 4000 JPEG shown, fitted into the pane: the
// pane's new size rebuilds the image document, and the window repaints. The goal is at most 16 ms
// a step with the picture cache; the same step with the cache off, decoding the photo at every
// step as before, is timed beside it in the same run. A drag of the side edge leaves a view bound
// by the pane's height as it was, which the rebuild then takes over; a drag of the corner makes a
// new view at every step, so both are timed.
#include <chrono>
#include <filesystem>
#include <string>

#include <QApplication>

#include <benchmark/benchmark.h>

#include "BenchPictures.h"
#include "BenchWindow.h"
#include "WindowBenchMain.h"
#include "FrameGeometry.h"
#include "ImageCodecs.h"
#include "MainForm.h"
#include "OptionsForm.h"
#include "PictureCache.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

// The photo, made once for every run: a file that has lain there a while, as the cache keeps
// only a file that has settled.
const std::string &PhotoFile()
{
    static test::TTempDir dir;
    static const std::string file = [] {
        const std::string path = dir / "photo.jpg";
        WriteJPEG(bench::MakePhoto(6000, 4000), path, 90);
        namespace fs = std::filesystem;
        fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(1));
        // Its change time is recent all the same.
        TPictureCache::SetSettleTime(0);
        return path;
    }();
    return file;
}

// Arguments: 1 with the picture cache, 0 without; 1 for a drag of the corner, 0 of the side edge.
void BM_ResizeStep(benchmark::State &state)
{
    const bool cached = state.range(0) != 0;
    const bool corner = state.range(1) != 0;
    bench::TBenchWindow window([](const test::TTempDir &folder) {
        std::filesystem::create_directories(folder / "Logo Directory");
        std::filesystem::create_symlink(PhotoFile(), folder / "Logo Directory/photo.jpg");
        test::WriteFile(folder / "logodirectory.xml",
                        R"(<logodirectory><logodirnode nodekind="logo" nodename="photo.jpg" frameleft="-1" frametop="-1"
                       framewidth="-1" frameheight="-1" logowidth="128" logoheight="160" fitkind="smaller"
                       keepproportions="yes"/></logodirectory>)");
    });
    PictureCache().SetEnabled(cached);
    TMainAppForm &form = window.Form;
    form.resize(1000, 700);
    form.show();
    form.FitimageintopaneClick();
    form.LogoTree().Select(form.LogoTree().Root()->Item(0));
    QApplication::processEvents();
    if (!form.SourceImageDocument()) {
        state.SkipWithError("the photo is not shown");
        return;
    }

    // Widen and narrow the window two pixels a step, as a drag of its edge does; the corner
    // makes it taller by as much.
    int step = 0;
    std::int64_t rebuilds = 0;
    std::int64_t newViews = 0;
    for (auto _ : state) {
        const int paneWidth = form.SourceImageDocument()->PaneWidth;
        const int viewHeight = form.SourceImageDocument()->ViewHeight;
        const int offset = (step++ % 40 + 1) * 2;
        form.resize(1000 + offset, 700 + (corner ? offset : 0));
        QApplication::processEvents();
        form.repaint();
        // A document made for the new pane: the step did rebuild.
        rebuilds += form.SourceImageDocument() && form.SourceImageDocument()->PaneWidth != paneWidth;
        newViews += form.SourceImageDocument() && form.SourceImageDocument()->ViewHeight != viewHeight;
    }
    state.counters["rebuilds"] = benchmark::Counter(static_cast<double>(rebuilds) / static_cast<double>(step));
    state.counters["new_views"] = benchmark::Counter(static_cast<double>(newViews) / static_cast<double>(step));
    state.counters["view_w"] = form.SourceImageDocument()->ViewWidth;
    PictureCache().SetEnabled(true);
}

// The part of a step that the cache changes, without the window: the document made for the new
// pane size, its view and its logo.
void BM_DocumentRebuild(benchmark::State &state)
{
    PictureCache().SetEnabled(state.range(0) != 0);
    TLogoDirObject logo;
    logo.LogoWidth = 128;
    logo.LogoHeight = 160;
    TBitmap target(logo.LogoWidth, logo.LogoHeight);
    // The display before the first resize.
    TSourceImage({400, 340}, PhotoFile(), &logo, true).BuildView();
    int step = 0;
    for (auto _ : state) {
        const int offset = (step++ % 40 + 1) * 2;
        TSourceImage document({400 + offset, 340}, PhotoFile(), &logo, true);
        document.BuildView();
        if (logo.FrameLeft == -1)
            InitSelectionFrame(logo, document.Metrics());
        document.RenderLogo(target, 0, 0, {});
        benchmark::DoNotOptimize(target.Bits());
    }
    PictureCache().SetEnabled(true);
}

BENCHMARK(BM_ResizeStep)
    ->ArgNames({"cache", "corner"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_DocumentRebuild)
    ->ArgName("cache")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

} // namespace
} // namespace vantorel

int main(int argc, char **argv) { return vantorel::bench::RunWindowBenchmarks(argc, argv); }
