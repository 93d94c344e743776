#include "ViewCanvas.h"

#include <algorithm>
#include <cstring>

namespace vantorel {

namespace {

TRect Intersect(TRect a, TRect b)
{
    return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
}

TRect Moved(TRect r, std::int32_t dx, std::int32_t dy)
{
    return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

} // namespace

void TViewCanvas::Reset(const TBitmap *view)
{
    FView = view;
    const std::int32_t side = kTileSide;
    FColumns = view ? (view->Width() + side - 1) / side : 0;
    FRows = view ? (view->Height() + side - 1) / side : 0;
    FTiles.clear();
    FTiles.resize(static_cast<std::size_t>(FColumns) * static_cast<std::size_t>(FRows));
}

TRect TViewCanvas::TileRect(std::int32_t column, std::int32_t row) const
{
    return {column * kTileSide, row * kTileSide, std::min((column + 1) * kTileSide, Width()),
            std::min((row + 1) * kTileSide, Height())};
}

TBitmap &TViewCanvas::OwnTile(std::int32_t column, std::int32_t row)
{
    std::unique_ptr<TBitmap> &tile = FTiles[static_cast<std::size_t>(row) * FColumns + column];
    if (!tile) {
        const TRect place = TileRect(column, row);
        tile = std::make_unique<TBitmap>(TBitmap::ForOverwrite(place.Width(), place.Height()));
        tile->CopyRect({0, 0, place.Width(), place.Height()}, *FView, place);
    }
    return *tile;
}

TColor TViewCanvas::Pixel(std::int32_t x, std::int32_t y) const
{
    const std::unique_ptr<TBitmap> &tile = FTiles[static_cast<std::size_t>(y / kTileSide) * FColumns + x / kTileSide];
    return tile ? tile->Pixel(x % kTileSide, y % kTileSide) : FView->Pixel(x, y);
}

void TViewCanvas::FillRect(TRect rect, TColor color)
{
    rect = Intersect(rect, {0, 0, Width(), Height()});
    if (rect.IsEmpty())
        return;
    for (std::int32_t row = rect.Top / kTileSide; row <= (rect.Bottom - 1) / kTileSide; ++row)
        for (std::int32_t column = rect.Left / kTileSide; column <= (rect.Right - 1) / kTileSide; ++column) {
            const TRect place = TileRect(column, row);
            OwnTile(column, row).FillRect(Moved(Intersect(rect, place), -place.Left, -place.Top), color);
        }
}

void TViewCanvas::FrameRect(TRect rect, TColor color) { FrameRectOn(*this, rect, color); }

void TViewCanvas::CopyRect(TRect dstRect, const TBitmap &source, TRect srcRect)
{
    const TCopySpan span = ClipCopy(dstRect, {Width(), Height()}, srcRect, {source.Width(), source.Height()});
    if (span.Empty())
        return;
    const std::int32_t sx = span.SourceX, sy = span.SourceY, dx = span.X, dy = span.Y, w = span.Width, h = span.Height;
    // The view's pixels put back in their place change nothing in a tile that shows the view.
    const bool restore = &source == FView && sx == dx && sy == dy;
    const TRect target{dx, dy, dx + w, dy + h};
    for (std::int32_t row = dy / kTileSide; row <= (dy + h - 1) / kTileSide; ++row)
        for (std::int32_t column = dx / kTileSide; column <= (dx + w - 1) / kTileSide; ++column) {
            if (restore && !FTiles[static_cast<std::size_t>(row) * FColumns + column])
                continue;
            const TRect place = TileRect(column, row);
            const TRect part = Intersect(target, place);
            OwnTile(column, row).CopyRect(Moved(part, -place.Left, -place.Top), source, Moved(part, sx - dx, sy - dy));
            if (restore)
                DropIfShowingTheView(column, row);
        }
}

void TViewCanvas::DropIfShowingTheView(std::int32_t column, std::int32_t row)
{
    // A restore is where a tile can come to hold the view's pixels again; kept, every tile a long
    // drag of the frame passed over would stay a copy of the view.
    std::unique_ptr<TBitmap> &tile = FTiles[static_cast<std::size_t>(row) * FColumns + column];
    const TRect place = TileRect(column, row);
    const std::size_t bytes = static_cast<std::size_t>(place.Width()) * 3;
    for (std::int32_t y = 0; y < place.Height(); ++y)
        if (std::memcmp(tile->Scanline(y), FView->Scanline(place.Top + y) + place.Left * 3, bytes) != 0)
            return;
    tile.reset();
}

void TViewCanvas::Draw(std::int32_t x, std::int32_t y, const TBitmap &source)
{
    if (&source == FView && x == 0 && y == 0) {
        Reset(FView);
        return;
    }
    CopyRect({x, y, x + source.Width(), y + source.Height()}, source, {0, 0, source.Width(), source.Height()});
}

std::vector<TViewCanvas::TTile> TViewCanvas::TilesIn(TRect area) const
{
    std::vector<TTile> tiles;
    area = Intersect(area, {0, 0, Width(), Height()});
    if (area.IsEmpty())
        return tiles;
    for (std::int32_t row = area.Top / kTileSide; row <= (area.Bottom - 1) / kTileSide; ++row)
        for (std::int32_t column = area.Left / kTileSide; column <= (area.Right - 1) / kTileSide; ++column)
            if (const auto &tile = FTiles[static_cast<std::size_t>(row) * FColumns + column])
                tiles.push_back({TileRect(column, row), tile.get()});
    return tiles;
}

TBitmap TViewCanvas::Composite() const
{
    if (!FView)
        return {};
    TBitmap composite = *FView;
    for (const TTile &tile : TilesIn({0, 0, Width(), Height()}))
        composite.Draw(tile.Place.Left, tile.Place.Top, *tile.Pixels);
    return composite;
}

} // namespace vantorel
