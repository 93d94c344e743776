// Writing a 400 x 400 photo-like logo as a GIF of 8 bits per pixel: colour reduction to an
// optimised palette with Floyd-Steinberg dithering, then LZW. Goal: at most 20 ms.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

#include <benchmark/benchmark.h>

#include "ImageCodecs.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

// Smooth gradients with a little noise, as a photograph has.
TBitmap PhotoLikeLogo(int width, int height)
{
    TBitmap b(width, height);
    std::mt19937 random(42);
    std::uniform_int_distribution<int> noise(-12, 12);
    const auto channel = [&](double value) {
        return static_cast<std::uint8_t>(std::clamp(static_cast<int>(value) + noise(random), 0, 255));
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            b.SetPixel(x, y,
                       RGBColor(channel(255 * u), channel(127.5 + 127.5 * std::sin(6.0 * v + 3.0 * u)),
                                channel(255 * (1 - u) * v)));
        }
    return b;
}

void BM_WriteGif8Bits(benchmark::State &state)
{
    SetGIFDefaults();
    test::TTempDir dir;
    const TBitmap logo = PhotoLikeLogo(400, 400);
    const std::string target = dir / "logo.gif";
    for (auto _ : state)
        WriteGIF(logo, target, 8);
}
BENCHMARK(BM_WriteGif8Bits)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
} // namespace vantorel

BENCHMARK_MAIN();
