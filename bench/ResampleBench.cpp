// The view of a 24-megapixel photo: 6000 x 4000 resampled whole to 400 x 267 must take at most
// 30 ms on one core. The plain double-precision resampler is timed beside it as the baseline, and
// two other logo-like sizes and the all-cores run for comparison.
#include <cstdint>
#include <random>

#include <benchmark/benchmark.h>

#include "Resample.h"
#include "image/ResampleReference.h"

namespace vantorel {
namespace {

// Smooth gradients with some noise, like a photo.
const TBitmap &Photo()
{
    static const TBitmap photo = [] {
        constexpr std::int32_t kWidth = 6000, kHeight = 4000;
        TBitmap b(kWidth, kHeight);
        std::mt19937 random(42);
        for (std::int32_t y = 0; y < kHeight; ++y) {
            std::uint8_t *p = b.Scanline(y);
            for (std::int32_t x = 0; x < kWidth; ++x, p += 3) {
                const int noise = static_cast<int>(random() % 32);
                p[0] = static_cast<std::uint8_t>((x * 200 / kWidth + noise) & 0xFF);
                p[1] = static_cast<std::uint8_t>((y * 200 / kHeight + noise) & 0xFF);
                p[2] = static_cast<std::uint8_t>(((x + y) / 40 + noise) & 0xFF);
            }
        }
        return b;
    }();
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
