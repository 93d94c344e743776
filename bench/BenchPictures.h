#pragma once

#include <cstdint>
#include <random>

#include "Bitmap.h"

namespace vantorel::bench {

// Smooth gradients with some noise, like a photo.
inline TBitmap MakePhoto(std::int32_t width, std::int32_t height)
{
    TBitmap b(width, height);
    std::mt19937 random(42);
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t *p = b.Scanline(y);
        for (std::int32_t x = 0; x < width; ++x, p += 3) {
            const int noise = static_cast<int>(random() % 32);
            p[0] = static_cast<std::uint8_t>((x * 200 / width + noise) & 0xFF);
            p[1] = static_cast<std::uint8_t>((y * 200 / height + noise) & 0xFF);
            p[2] = static_cast<std::uint8_t>(((x + y) / 40 + noise) & 0xFF);
        }
    }
    return b;
}

} // namespace vantorel::bench
