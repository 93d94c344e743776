// One display of a 24-megapixel photo: the document made from a quality-90 JPEG, the view fitted
// to an 800 x 600 pane and the logo rendered at 128 x 160. The goal is at most 1.3 times the
// time of decoding the JPEG alone, which is timed beside it.
#include <benchmark/benchmark.h>

#include "BenchPictures.h"
#include "FrameGeometry.h"
#include "ImageCodecs.h"
#include "PictureCache.h"
#include "SourceImage.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

const std::string &PhotoFile()
{
    static test::TTempDir dir;
    static const std::string file = [] {
        const std::string path = dir / "photo.jpg";
        WriteJPEG(bench::MakePhoto(6000, 4000), path, 90);
        return path;
    }();
    return file;
}

void BM_DecodeJPEG(benchmark::State &state)
{
    const std::string &file = PhotoFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadPicture(file));
}

void BM_Display(benchmark::State &state)
{
    const std::string &file = PhotoFile();
    // A first display decodes the photo; the picture cache would skip that once the file settles.
    PictureCache().SetEnabled(false);
    for (auto _ : state) {
        TLogoDirObject logo;
        logo.LogoWidth = 128;
        logo.LogoHeight = 160;
        TSourceImage document({800, 600}, file, &logo, true);
        document.BuildView();
        InitSelectionFrame(logo, document.Metrics());
        TBitmap target(128, 160);
        document.RenderLogo(target, 0, 0, {});
        benchmark::DoNotOptimize(target.Bits());
    }
}

BENCHMARK(BM_DecodeJPEG)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Display)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace vantorel

BENCHMARK_MAIN();
