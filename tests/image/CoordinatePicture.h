#pragma once

#include <cstdint>

#include "Bitmap.h"

namespace vantorel::test {

// A picture whose every pixel tells its place (red x, green y, modulo 256), so a pixel shown from
// the wrong place is seen.
inline TBitmap CoordinatePicture(std::int32_t width, std::int32_t height)
{
    TBitmap picture(width, height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            picture.SetPixel(x, y, RGBColor(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 77));
    return picture;
}

} // namespace vantorel::test
