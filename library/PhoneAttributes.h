#pragma once

#include <cstdint>

namespace vantorel {

// The screen size of one phone model, in pixels.
class TPhoneAttributes {
public:
    TPhoneAttributes(std::int32_t screenWidth, std::int32_t screenHeight)
        : ScreenWidth(screenWidth), ScreenHeight(screenHeight)
    {
    }
    std::int32_t ScreenWidth;
    std::int32_t ScreenHeight;
};

} // namespace vantorel
