#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace vantorel {

// Rectangles are (Left, Top, Right, Bottom) with Right and Bottom exclusive.
struct TRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;

    std::int32_t Width() const { return Right - Left; }
    std::int32_t Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(std::int32_t x, std::int32_t y) const { return Left <= x && x < Right && Top <= y && y < Bottom; }
    bool operator==(const TRect &) const = default;
};

struct TPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    bool operator==(const TPoint &) const = default;
};

// Colours are 0x00BBGGRR values.
using TColor = std::int32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clGray = 0x808080;

// a * b div c: the product first, then division truncating toward zero. The product is formed
// in 128 bits so that a work area padded past 46340 pixels, or a mouse offset times a side, cannot
// overflow; within that range the result is the one 32-bit arithmetic gives. A quotient past the
// 32-bit range (a damaged frame) is held at its nearest end rather than wrapping round to the
// other side. A zero divisor (no view built yet) gives 0.
inline std::int32_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c)
{
    if (c == 0)
        return 0;
    const __int128 q = static_cast<__int128>(a) * b / c;
    return static_cast<std::int32_t>(
        std::clamp<__int128>(q, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

inline std::uint8_t RedOf(TColor c) { return static_cast<std::uint8_t>(c & 0xFF); }
inline std::uint8_t GreenOf(TColor c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
inline std::uint8_t BlueOf(TColor c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }
inline TColor RGBColor(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return static_cast<TColor>(r | (g << 8) | (b << 16));
}

} // namespace vantorel
