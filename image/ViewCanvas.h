#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Bitmap.h"
#include "Geometry.h"

namespace vantorel {

// What the picture pane shows of a large view: the view with the border and the frame drawn over
// it, without a copy of the view. The canvas is cut into square tiles; a tile drawn on holds its
// own pixels, every other tile shows the view's, and a tile restored to the view's pixels is let go
// of. Drawing is the bitmap's own (the same fills and copies, clipped alike), so the pixels are
// those a copy of the view drawn on would have.
class TViewCanvas {
public:
    static constexpr std::int32_t kTileSide = 64;

    // Shows view (not owned; it must outlive its showing, or be replaced first); null shows nothing.
    void Reset(const TBitmap *view);
    const TBitmap *View() const { return FView; }
    std::int32_t Width() const { return FView ? FView->Width() : 0; }
    std::int32_t Height() const { return FView ? FView->Height() : 0; }
    bool Empty() const { return !FView || FView->Empty(); }

    TColor Pixel(std::int32_t x, std::int32_t y) const;
    void FillRect(TRect rect, TColor color);
    void FrameRect(TRect rect, TColor color);
    void CopyRect(TRect dstRect, const TBitmap &source, TRect srcRect);
    void Draw(std::int32_t x, std::int32_t y, const TBitmap &source);

    // The tiles of their own that meet area, each with its place on the canvas.
    struct TTile {
        TRect Place;
        const TBitmap *Pixels;
    };
    std::vector<TTile> TilesIn(TRect area) const;
    // A bitmap of what the canvas shows.
    TBitmap Composite() const;

private:
    // The tile, made from the view's pixels when it had none of its own.
    TBitmap &OwnTile(std::int32_t column, std::int32_t row);
    // Lets go of the tile when it holds just the view's pixels.
    void DropIfShowingTheView(std::int32_t column, std::int32_t row);
    TRect TileRect(std::int32_t column, std::int32_t row) const;

    const TBitmap *FView = nullptr;
    std::int32_t FColumns = 0;
    std::int32_t FRows = 0;
    std::vector<std::unique_ptr<TBitmap>> FTiles;
};

} // namespace vantorel
