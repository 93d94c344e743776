// The view of a 24-megapixel photo: 6000 x 4000 resampled whole to 400 x 267 must take at most
// 30 ms on one core. The plain double-precision resampler is timed beside it as the baseline, and
// two other logo-like sizes and the all-cores run for comparison.
#include <benchmark/benchmark.h>

#include "BenchPictures.h"
#include "Resample.h"
#include "image/ResampleReference.h"

namespace vantorel {
namespace {

const TBitmap &Photo()
{
    static const TBitmap photo = bench::MakePhoto(6000, 4000);
    return photo;
}

void BM_Reference(benchmark::State &state)
{
    const TBitmap &src = Photo();
    TBitmap dst(400, 267);
    for (auto _ : state)
        test::ReferenceStretch(src, dst, {0, 0, src.Width(), src.Height()}, {0, 0, 400, 267});
}

// Arguments: destination width, height and the number of threads (0 = one per processor).
void BM_StretchResample(benchmark::State &state)
{
    const TBitmap &src = Photo();
    const auto width = static_cast<std::int32_t>(state.range(0));
    const auto height = static_cast<std::int32_t>(state.range(1));
    SetResampleThreads(static_cast<int>(state.range(2)));
    TBitmap dst(width, height);
    for (auto _ : state)
        StretchResample(src, dst, {0, 0, src.Width(), src.Height()}, {0, 0, width, height});
    SetResampleThreads(0);
}

BENCHMARK(BM_Reference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StretchResample)
    ->ArgNames({"w", "h", "threads"})
    ->Args({400, 267, 1})
    ->Args({400, 267, 0})
    ->Args({800, 533, 1})
    ->Args({128, 160, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
} // namespace vantorel

BENCHMARK_MAIN();
