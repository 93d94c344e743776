// One step of a frame drag with live rendering: a 6000 x 4000 picture fitted into the pane and a
// 400 x 400 logo. The goal is at most 16 ms a step, so that dragging keeps 60 frames a second.
// Each step is the mouse move handler and the repaint it causes. BM_MoveFrameOverViewInPlace moves
// a frame to and fro across a 2400 x 1600 picture shown at 100 %, where the pane draws on the
// tiles of a canvas over the view; "own tiles" counts those holding pixels of their own at the
// end, of "tiles".
#include <QApplication>
#include <QCheckBox>

#include <benchmark/benchmark.h>

#include "BenchPictures.h"
#include "BenchWindow.h"
#include "WindowBenchMain.h"
#include "ImageCodecs.h"
#include "ImageControl.h"
#include "MainForm.h"
#include "OptionsForm.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

void BM_DragStep(benchmark::State &state)
{
    bench::TBenchWindow window([](const test::TTempDir &folder) {
        test::WriteFile(folder / "Logo Directory/keep", "");
        WriteJPEG(bench::MakePhoto(6000, 4000), folder / "Logo Directory/photo.jpg", 90);
        test::WriteFile(folder / "logodirectory.xml",
                        R"(<logodirectory><logodirnode nodekind="logo" nodename="photo.jpg" frameleft="-1" frametop="-1"
                       framewidth="-1" frameheight="-1" logowidth="400" logoheight="400" fitkind="smaller"
                       keepproportions="yes"/></logodirectory>)");
    });
    TMainAppForm &form = window.Form;
    TOptionsForm &options = window.Options;
    options.ShowLogoChangeCheckBox->setChecked(true);
    form.resize(803, 610);
    form.show();
    form.FitimageintopaneClick();
    form.LogoTree().Select(form.LogoTree().Root()->Item(0));
    QApplication::processEvents();

    // Drag the bottom-right corner of the frame in and out.
    const TRect frame = form.SourceImageDocument()->FrameInView();
    const int x0 = frame.Right - 1, y0 = frame.Bottom - 1;
    form.SourceImageMouseDown(Qt::LeftButton, x0, y0);
    int step = 0;
    for (auto _ : state) {
        const int offset = (step++ % 40) * 2;
        form.SourceImageMouseMove(x0 - offset, y0 - offset);
        form.SourceImage->repaint();
    }
    form.SourceImageMouseUp(Qt::LeftButton, x0, y0);
}

void BM_MoveFrameOverViewInPlace(benchmark::State &state)
{
    bench::TBenchWindow window([](const test::TTempDir &folder) {
        test::WriteFile(folder / "Logo Directory/keep", "");
        WriteJPEG(bench::MakePhoto(2400, 1600), folder / "Logo Directory/photo.jpg", 90);
        test::WriteFile(folder / "logodirectory.xml",
                        R"(<logodirectory><logodirnode nodekind="logo" nodename="photo.jpg" frameleft="0" frametop="0"
                       framewidth="600" frameheight="400" logowidth="300" logoheight="200" fitkind="smaller"
                       keepproportions="yes"/></logodirectory>)");
    });
    TMainAppForm &form = window.Form;
    form.resize(803, 610);
    form.show();
    form.LogoTree().Select(form.LogoTree().Root()->Item(0));
    QApplication::processEvents();

    form.SourceImageMouseDown(Qt::LeftButton, 300, 200);
    int step = 0;
    for (auto _ : state) {
        ++step;
        form.SourceImageMouseMove(300 + step * 7 % 1800, 200 + step * 3 % 1200);
        form.SourceImage->repaint();
    }
    form.SourceImageMouseUp(Qt::LeftButton, 300, 200);
    const TViewCanvas &canvas = form.SourceImage->Canvas();
    const std::int32_t side = TViewCanvas::kTileSide;
    state.counters["own tiles"] = static_cast<double>(canvas.TilesIn({0, 0, canvas.Width(), canvas.Height()}).size());
    state.counters["tiles"] =
        static_cast<double>(((canvas.Width() + side - 1) / side) * ((canvas.Height() + side - 1) / side));
}

BENCHMARK(BM_DragStep)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_MoveFrameOverViewInPlace)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace
} // namespace vantorel

int main(int argc, char **argv) { return vantorel::bench::RunWindowBenchmarks(argc, argv); }
