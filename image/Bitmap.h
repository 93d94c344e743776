#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "Geometry.h"

namespace vantorel {

// Storage for pixels that are always filled or drawn over once allocated: it is not zeroed first,
// and a photo-sized buffer lies on huge pages where the kernel offers them, which spares most of
// the page faults of touching a fresh buffer for the first time.
void *AllocatePixels(std::size_t bytes);
void FreePixels(void *pixels, std::size_t bytes) noexcept;

template <typename T> struct TPixelAllocator {
    using value_type = T;
    TPixelAllocator() = default;
    template <typename U> TPixelAllocator(const TPixelAllocator<U> &) noexcept {}
    T *allocate(std::size_t n) { return static_cast<T *>(AllocatePixels(n * sizeof(T))); }
    void deallocate(T *p, std::size_t n) noexcept { FreePixels(p, n * sizeof(T)); }
    // Default-initialised, that is left as they are, unless a value is given.
    template <typename U> void construct(U *p) noexcept { ::new (static_cast<void *>(p)) U; }
    template <typename U, typename... A> void construct(U *p, A &&...args)
    {
        ::new (static_cast<void *>(p)) U(std::forward<A>(args)...);
    }
    template <typename U> bool operator==(const TPixelAllocator<U> &) const noexcept { return true; }
};

// A copy of srcRect of a source bitmap onto dstRect of a target, both rectangles clipped in step,
// each to its own bitmap: what is left is Width x Height pixels from (SourceX, SourceY) to (X, Y).
struct TCopySpan {
    std::int32_t SourceX, SourceY, X, Y, Width, Height;
    bool Empty() const { return Width <= 0 || Height <= 0; }
};
TCopySpan ClipCopy(TRect dstRect, TPoint targetSize, TRect srcRect, TPoint sourceSize);

// The 1-pixel frame on the edge of the rectangle, drawn with the canvas's FillRect.
template <typename Canvas> void FrameRectOn(Canvas &canvas, TRect rect, TColor color)
{
    if (rect.IsEmpty())
        return;
    canvas.FillRect({rect.Left, rect.Top, rect.Right, rect.Top + 1}, color);
    canvas.FillRect({rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom}, color);
    canvas.FillRect({rect.Left, rect.Top, rect.Left + 1, rect.Bottom}, color);
    canvas.FillRect({rect.Right - 1, rect.Top, rect.Right, rect.Bottom}, color);
}

// A 24-bit picture: rows of R, G, B bytes, each row padded to a multiple of 4 bytes (so a
// QImage of Format_RGB888 can wrap the buffer). Every drawing rule of the program is done here,
// clipped to the bitmap, so its pixels can be checked exactly.
class TBitmap {
public:
    TBitmap() = default;
    // A new bitmap starts white.
    TBitmap(std::int32_t width, std::int32_t height, TColor fill = clWhite);
    // A bitmap whose every pixel the caller is about to write: the pixels are undefined until then
    // (the row padding is zero, as in every bitmap).
    static TBitmap ForOverwrite(std::int32_t width, std::int32_t height);

    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }
    bool Empty() const { return FWidth <= 0 || FHeight <= 0; }
    std::size_t Stride() const { return FStride; }
    // Sets the size; the content becomes the fill colour.
    void SetSize(std::int32_t width, std::int32_t height, TColor fill = clWhite);
    // Sets the size for a caller about to write every pixel, as ForOverwrite; an old buffer of
    // another size is let go of before the new one is taken.
    void SetSizeForOverwrite(std::int32_t width, std::int32_t height);

    std::uint8_t *Scanline(std::int32_t y) { return FPixels.data() + static_cast<std::size_t>(y) * FStride; }
    const std::uint8_t *Scanline(std::int32_t y) const
    {
        return FPixels.data() + static_cast<std::size_t>(y) * FStride;
    }
    std::uint8_t *Bits() { return FPixels.data(); }
    const std::uint8_t *Bits() const { return FPixels.data(); }

    TColor Pixel(std::int32_t x, std::int32_t y) const;
    void SetPixel(std::int32_t x, std::int32_t y, TColor color); // ignored outside the bitmap

    // A solid fill of the rectangle.
    void FillRect(TRect rect, TColor color);
    // The 1-pixel frame on the edge of the rectangle: its outermost rows and columns.
    void FrameRect(TRect rect, TColor color);
    // A pen line from a up to, but not including, b.
    void Line(TPoint a, TPoint b, TColor color);
    // Copies srcRect of source onto dstRect here, unscaled; both rectangles have the same size.
    void CopyRect(TRect dstRect, const TBitmap &source, TRect srcRect);
    // Draws the whole of source with its top-left corner at (x, y).
    void Draw(std::int32_t x, std::int32_t y, const TBitmap &source);
    // The dotted focus rectangle drawn by inverting every other pixel of its outline; drawing it
    // twice restores the picture.
    void XorDottedRect(TRect rect);

    bool operator==(const TBitmap &other) const;

private:
    std::int32_t FWidth = 0;
    std::int32_t FHeight = 0;
    std::size_t FStride = 0;
    std::vector<std::uint8_t, TPixelAllocator<std::uint8_t>> FPixels;
};

} // namespace vantorel
