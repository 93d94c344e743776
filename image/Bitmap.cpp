#include "Bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/mman.h>

namespace vantorel {

namespace {

TRect Clip(TRect r, std::int32_t width, std::int32_t height)
{
    r.Left = std::max(r.Left, 0);
    r.Top = std::max(r.Top, 0);
    r.Right = std::min(r.Right, width);
    r.Bottom = std::min(r.Bottom, height);
    return r;
}

// Below this a buffer comes from the heap; from it, from whole huge pages of its own.
constexpr std::size_t kLargePixelBytes = std::size_t(8) << 20;
constexpr std::size_t kHugePageBytes = std::size_t(2) << 20;

std::size_t RoundUp(std::size_t n, std::size_t unit) { return (n + unit - 1) / unit * unit; }

// The address sanitizer watches only the heap's buffers. GCC names it with a macro, clang (before
// version 17) only through __has_feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTOREL_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(VANTOREL_ADDRESS_SANITIZER)
constexpr bool kPixelsOnTheHeap = true;
#else
constexpr bool kPixelsOnTheHeap = false;
#endif

} // namespace

void *AllocatePixels(std::size_t bytes)
{
    if (kPixelsOnTheHeap || bytes < kLargePixelBytes)
        return ::operator new(bytes);
    // A huge page must start on its own boundary: one more is mapped, and the ends beyond the
    // aligned part are given back.
    const std::size_t length = RoundUp(bytes, kHugePageBytes);
    void *mapped = ::mmap(nullptr, length + kHugePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto base = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t start = RoundUp(base, kHugePageBytes);
    if (start > base)
        ::munmap(mapped, start - base);
    if (const std::size_t tail = base + kHugePageBytes - start)
        ::munmap(reinterpret_cast<void *>(start + length), tail);
    ::madvise(reinterpret_cast<void *>(start), length, MADV_HUGEPAGE); // a hint; refused, small pages serve
    return reinterpret_cast<void *>(start);
}

void FreePixels(void *pixels, std::size_t bytes) noexcept
{
    if (kPixelsOnTheHeap || bytes < kLargePixelBytes)
        ::operator delete(pixels);
    else
        ::munmap(pixels, RoundUp(bytes, kHugePageBytes));
}

TBitmap::TBitmap(std::int32_t width, std::int32_t height, TColor fill) { SetSize(width, height, fill); }

TBitmap TBitmap::ForOverwrite(std::int32_t width, std::int32_t height)
{
    TBitmap bitmap;
    bitmap.SetSizeForOverwrite(width, height);
    return bitmap;
}

void TBitmap::SetSizeForOverwrite(std::int32_t width, std::int32_t height)
{
    FWidth = std::max(width, 0);
    FHeight = std::max(height, 0);
    FStride = (static_cast<std::size_t>(FWidth) * 3 + 3) & ~static_cast<std::size_t>(3);
    const std::size_t bytes = FStride * static_cast<std::size_t>(FHeight);
    if (FPixels.size() != bytes) {
        // Let go first, so that the old and the new buffer are never held at once.
        FPixels = decltype(FPixels)();
        FPixels.resize(bytes);
    }
    const std::size_t padding = FStride - static_cast<std::size_t>(FWidth) * 3;
    if (padding != 0)
        for (std::int32_t y = 0; y < FHeight; ++y)
            std::memset(Scanline(y) + FStride - padding, 0, padding);
}

void TBitmap::SetSize(std::int32_t width, std::int32_t height, TColor fill)
{
    SetSizeForOverwrite(width, height);
    FillRect({0, 0, FWidth, FHeight}, fill);
}

TColor TBitmap::Pixel(std::int32_t x, std::int32_t y) const
{
    const std::uint8_t *p = Scanline(y) + x * 3;
    return RGBColor(p[0], p[1], p[2]);
}

void TBitmap::SetPixel(std::int32_t x, std::int32_t y, TColor color)
{
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight)
        return;
    std::uint8_t *p = Scanline(y) + x * 3;
    p[0] = RedOf(color);
    p[1] = GreenOf(color);
    p[2] = BlueOf(color);
}

void TBitmap::FillRect(TRect rect, TColor color)
{
    rect = Clip(rect, FWidth, FHeight);
    if (rect.IsEmpty())
        return;
    const std::uint8_t rgb[3] = {RedOf(color), GreenOf(color), BlueOf(color)};
    std::uint8_t *first = Scanline(rect.Top) + rect.Left * 3;
    for (std::int32_t x = 0; x < rect.Width(); ++x)
        std::memcpy(first + x * 3, rgb, 3);
    const std::size_t bytes = static_cast<std::size_t>(rect.Width()) * 3;
    for (std::int32_t y = rect.Top + 1; y < rect.Bottom; ++y)
        std::memcpy(Scanline(y) + rect.Left * 3, first, bytes);
}

void TBitmap::FrameRect(TRect rect, TColor color) { FrameRectOn(*this, rect, color); }

void TBitmap::Line(TPoint a, TPoint b, TColor color)
{
    if (a.Y == b.Y) {
        if (a.X < b.X)
            FillRect({a.X, a.Y, b.X, a.Y + 1}, color);
        else if (a.X > b.X)
            FillRect({b.X + 1, a.Y, a.X + 1, a.Y + 1}, color);
        return;
    }
    if (a.X == b.X) {
        if (a.Y < b.Y)
            FillRect({a.X, a.Y, a.X + 1, b.Y}, color);
        else
            FillRect({a.X, b.Y + 1, a.X + 1, a.Y + 1}, color);
        return;
    }
    // Any other slope: Bresenham's steps, stopping before the end point.
    const std::int64_t dx = std::llabs(static_cast<std::int64_t>(b.X) - a.X);
    const std::int64_t dy = -std::llabs(static_cast<std::int64_t>(b.Y) - a.Y);
    const int sx = a.X < b.X ? 1 : -1;
    const int sy = a.Y < b.Y ? 1 : -1;
    std::int64_t err = dx + dy;
    std::int32_t x = a.X;
    std::int32_t y = a.Y;
    while (x != b.X || y != b.Y) {
        SetPixel(x, y, color);
        const std::int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

TCopySpan ClipCopy(TRect dstRect, TPoint targetSize, TRect srcRect, TPoint sourceSize)
{
    // Keep the two rectangles in step while clipping each to its bitmap.
    TCopySpan span{srcRect.Left,
                   srcRect.Top,
                   dstRect.Left,
                   dstRect.Top,
                   std::min(srcRect.Width(), dstRect.Width()),
                   std::min(srcRect.Height(), dstRect.Height())};
    auto trim = [](std::int32_t &s, std::int32_t &d, std::int32_t &len, std::int32_t sLimit, std::int32_t dLimit) {
        const std::int32_t skip = std::max({0, -s, -d});
        s += skip;
        d += skip;
        len -= skip;
        len = std::min({len, sLimit - s, dLimit - d});
    };
    trim(span.SourceX, span.X, span.Width, sourceSize.X, targetSize.X);
    trim(span.SourceY, span.Y, span.Height, sourceSize.Y, targetSize.Y);
    return span;
}

void TBitmap::CopyRect(TRect dstRect, const TBitmap &source, TRect srcRect)
{
    const TCopySpan span = ClipCopy(dstRect, {FWidth, FHeight}, srcRect, {source.FWidth, source.FHeight});
    if (span.Empty())
        return;
    const std::int32_t sx = span.SourceX, sy = span.SourceY, dx = span.X, dy = span.Y, w = span.Width, h = span.Height;
    const std::size_t bytes = static_cast<std::size_t>(w) * 3;
    if (&source == this && sy < dy) {
        for (std::int32_t y = h - 1; y >= 0; --y)
            std::memmove(Scanline(dy + y) + dx * 3, source.Scanline(sy + y) + sx * 3, bytes);
    } else {
        for (std::int32_t y = 0; y < h; ++y)
            std::memmove(Scanline(dy + y) + dx * 3, source.Scanline(sy + y) + sx * 3, bytes);
    }
}

void TBitmap::Draw(std::int32_t x, std::int32_t y, const TBitmap &source)
{
    CopyRect({x, y, x + source.FWidth, y + source.FHeight}, source, {0, 0, source.FWidth, source.FHeight});
}

void TBitmap::XorDottedRect(TRect rect)
{
    if (rect.IsEmpty())
        return;
    auto invert = [this](std::int32_t x, std::int32_t y) {
        if (x < 0 || y < 0 || x >= FWidth || y >= FHeight)
            return;
        std::uint8_t *p = Scanline(y) + x * 3;
        p[0] ^= 0xFF;
        p[1] ^= 0xFF;
        p[2] ^= 0xFF;
    };
    // Every other outline pixel, by a checkerboard from the top-left corner; each outline pixel is
    // visited once, so a second call restores the picture.
    auto dot = [&](std::int32_t x, std::int32_t y) {
        if (((x - rect.Left) + (y - rect.Top)) % 2 == 0)
            invert(x, y);
    };
    for (std::int32_t x = rect.Left; x < rect.Right; ++x) {
        dot(x, rect.Top);
        if (rect.Height() > 1)
            dot(x, rect.Bottom - 1);
    }
    for (std::int32_t y = rect.Top + 1; y < rect.Bottom - 1; ++y) {
        dot(rect.Left, y);
        if (rect.Width() > 1)
            dot(rect.Right - 1, y);
    }
}

bool TBitmap::operator==(const TBitmap &other) const
{
    if (FWidth != other.FWidth || FHeight != other.FHeight)
        return false;
    const std::size_t bytes = static_cast<std::size_t>(FWidth) * 3;
    for (std::int32_t y = 0; y < FHeight; ++y)
        if (std::memcmp(Scanline(y), other.Scanline(y), bytes) != 0)
            return false;
    return true;
}

} // namespace vantorel
