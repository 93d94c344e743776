#include "FrameGeometry.h"

#include <array>

namespace vantorel {

namespace {

// The minimum frame side, in work-area pixels, measured from the fixed opposite side.
constexpr std::int32_t kMinFrameSide = 16;

// One clamp of an offset: the offset may not go below Limit (IsMinimum) or above it.
struct TOffsetClamp {
    std::int32_t Limit;
    bool IsMinimum;

    // Clamps d; true when the clamp fired.
    bool Apply(std::int32_t &d) const
    {
        if (IsMinimum ? d < Limit : d > Limit) {
            d = Limit;
            return true;
        }
        return false;
    }
};

// The two clamps of a moving side, in their order: first the bound, then the 16-pixel minimum.
using TSideClamps = std::array<TOffsetClamp, 2>;

TSideClamps LeftSide(const TRect &f, const TRect &b)
{
    return {{{b.Left - f.Left, true}, {f.Right - kMinFrameSide - f.Left, false}}};
}

TSideClamps TopSide(const TRect &f, const TRect &b)
{
    return {{{b.Top - f.Top, true}, {f.Bottom - kMinFrameSide - f.Top, false}}};
}

TSideClamps RightSide(const TRect &f, const TRect &b)
{
    return {{{b.Right - f.Right, false}, {f.Left + kMinFrameSide - f.Right, true}}};
}

TSideClamps BottomSide(const TRect &f, const TRect &b)
{
    return {{{b.Bottom - f.Bottom, false}, {f.Top + kMinFrameSide - f.Bottom, true}}};
}

void ClampOffset(std::int32_t &d, const TSideClamps &clamps)
{
    for (const TOffsetClamp &clamp : clamps)
        clamp.Apply(d);
}

// The offsets in proportion: dy from dx and dx from dy. sign is -1 at the corners where the
// frame grows with offsets of opposite signs.
std::int32_t VerticalFrom(std::int32_t dx, const TFrameMetrics &m, int sign) { return sign * MulDiv(m.EH, dx, m.EW); }
std::int32_t HorizontalFrom(std::int32_t dy, const TFrameMetrics &m, int sign) { return sign * MulDiv(m.EW, dy, m.EH); }

// Clamps the derived offset with its side's clamps; each clamp that fires derives the leading
// offset again from it.
void ClampDerived(std::int32_t &derived, std::int32_t &leading, const TSideClamps &clamps, bool derivedIsVertical,
                  const TFrameMetrics &m, int sign)
{
    for (const TOffsetClamp &clamp : clamps)
        if (clamp.Apply(derived))
            leading = derivedIsVertical ? HorizontalFrom(derived, m, sign) : VerticalFrom(derived, m, sign);
}

// The new frame from the offsets of the sides that move; the opposite sides stay where they were.
TFrameBox Compose(const TRect &f, std::int32_t dx, std::int32_t dy, bool leftMoves, bool topMoves)
{
    TFrameBox box;
    box.Left = leftMoves ? f.Left + dx : f.Left;
    box.Width = leftMoves ? f.Right - f.Left - dx : f.Right - f.Left + dx;
    box.Top = topMoves ? f.Top + dy : f.Top;
    box.Height = topMoves ? f.Bottom - f.Top - dy : f.Bottom - f.Top + dy;
    return box;
}

// An edge drag: the dragged side's offset is clamped; with Keep the neighbouring side follows
// in the work area's proportions and is clamped in turn.
TFrameBox DragEdge(std::int32_t d, bool horizontal, const TSideClamps &own, const TSideClamps &neighbour,
                   bool leftMoves, bool topMoves, const TDragStart &start, const TFrameMetrics &m, bool keep)
{
    ClampOffset(d, own);
    std::int32_t other = 0;
    if (keep) {
        other = horizontal ? VerticalFrom(d, m, 1) : HorizontalFrom(d, m, 1);
        ClampDerived(other, d, neighbour, horizontal, m, 1);
    }
    return horizontal ? Compose(start.Frame, d, other, leftMoves, topMoves)
                      : Compose(start.Frame, other, d, leftMoves, topMoves);
}

// A corner drag. growsLeft: the frame grows as dx decreases (the left corners). sign: -1 at
// the corners where the frame grows with offsets of opposite signs (top-right, bottom-left).
TFrameBox DragCorner(std::int32_t x, std::int32_t y, const TDragStart &start, const TSideClamps &horizontal,
                     const TSideClamps &vertical, bool leftMoves, bool topMoves, int sign, const TFrameMetrics &m,
                     bool keep)
{
    // The width ratio for both axes.
    std::int32_t dx = MulDiv(static_cast<std::int64_t>(x) - start.Point.X, m.EW, m.VW);
    std::int32_t dy = MulDiv(static_cast<std::int64_t>(y) - start.Point.Y, m.EW, m.VW);
    ClampOffset(dx, horizontal);
    ClampOffset(dy, vertical);
    if (keep) {
        const std::int32_t g = HorizontalFrom(dy, m, sign);
        // The axis asking for the larger frame leads; on a tie the horizontal one.
        const bool horizontalLeads = leftMoves ? g >= dx : g <= dx;
        if (horizontalLeads) {
            dy = VerticalFrom(dx, m, sign);
            ClampDerived(dy, dx, vertical, true, m, sign);
        } else {
            dx = g;
            ClampDerived(dx, dy, horizontal, false, m, sign);
        }
    }
    return Compose(start.Frame, dx, dy, leftMoves, topMoves);
}

std::int32_t HorizontalOffset(std::int32_t x, const TDragStart &start, const TFrameMetrics &m)
{
    return MulDiv(static_cast<std::int64_t>(x) - start.Point.X, m.EW, m.VW);
}

std::int32_t VerticalOffset(std::int32_t y, const TDragStart &start, const TFrameMetrics &m)
{
    return MulDiv(static_cast<std::int64_t>(y) - start.Point.Y, m.EH, m.VH);
}

} // namespace

TRect CalcFrameRect(TFitKind fit, const TFrameMetrics &m)
{
    bool widthRule = true;
    switch (fit) {
    case fkWidth:
        widthRule = true;
        break;
    case fkHeight:
        widthRule = false;
        break;
    case fkSmaller:
        widthRule = m.SW < m.EW;
        break;
    case fkBigger:
        widthRule = m.SH < m.EH;
        break;
    }
    std::int32_t w, h;
    if (widthRule) {
        w = m.SW;
        h = MulDiv(m.EH, m.SW, m.EW);
    } else {
        h = m.SH;
        w = MulDiv(m.EW, m.SH, m.EH);
    }
    const std::int32_t left = (m.EW - w) / 2;
    const std::int32_t top = (m.EH - h) / 2;
    return {left, top, left + w, top + h};
}

void InitSelectionFrame(TLogoDirObject &logo, const TFrameMetrics &m)
{
    const TRect r = CalcFrameRect(logo.FitKind, m);
    logo.FrameLeft = r.Left;
    logo.FrameTop = r.Top;
    logo.FrameWidth = r.Width();
    logo.FrameHeight = r.Height();
}

TRect FrameRectOf(const TLogoDirObject &logo)
{
    return {logo.FrameLeft, logo.FrameTop, logo.FrameLeft + logo.FrameWidth, logo.FrameTop + logo.FrameHeight};
}

bool FrameFitsWorkArea(const TLogoDirObject &logo, const TFrameMetrics &m)
{
    // In 64 bits: the values come from the index and may be anything.
    const std::int64_t left = logo.FrameLeft, top = logo.FrameTop, width = logo.FrameWidth, height = logo.FrameHeight;
    return left >= 0 && top >= 0 && width > 0 && height > 0 && left + width <= m.EW && top + height <= m.EH;
}

TRect FrameInViewCoordinates(const TLogoDirObject &logo, const TFrameMetrics &m, bool fitToPane)
{
    TRect r = FrameRectOf(logo);
    if (fitToPane) {
        // The width ratio for both axes.
        r.Left = MulDiv(r.Left, m.VW, m.EW);
        r.Top = MulDiv(r.Top, m.VW, m.EW);
        r.Right = MulDiv(r.Right, m.VW, m.EW);
        r.Bottom = MulDiv(r.Bottom, m.VW, m.EW);
    }
    return r;
}

TFrameBox MoveFrame(std::int32_t x, std::int32_t y, const TDragStart &start, TRect bounds, const TFrameMetrics &m)
{
    const TRect &f = start.Frame;
    // The height ratio for both axes.
    std::int32_t dx = MulDiv(static_cast<std::int64_t>(x) - start.Point.X, m.EH, m.VH);
    std::int32_t dy = MulDiv(static_cast<std::int64_t>(y) - start.Point.Y, m.EH, m.VH);
    if (f.Left + dx < bounds.Left)
        dx = bounds.Left - f.Left;
    if (f.Right + dx > bounds.Right)
        dx = bounds.Right - f.Right;
    if (f.Top + dy < bounds.Top)
        dy = bounds.Top - f.Top;
    if (f.Bottom + dy > bounds.Bottom)
        dy = bounds.Bottom - f.Bottom;
    return {f.Left + dx, f.Top + dy, f.Right - f.Left, f.Bottom - f.Top};
}

TFrameBox DragFrameTopLeft(std::int32_t x, std::int32_t y, const TDragStart &start, TRect bounds,
                           const TFrameMetrics &m, bool keep)
{
    return DragCorner(x, y, start, LeftSide(start.Frame, bounds), TopSide(start.Frame, bounds), true, true, 1, m, keep);
}

TFrameBox DragFrameTopRight(std::int32_t x, std::int32_t y, const TDragStart &start, TRect bounds,
                            const TFrameMetrics &m, bool keep)
{
    return DragCorner(x, y, start, RightSide(start.Frame, bounds), TopSide(start.Frame, bounds), false, true, -1, m,
                      keep);
}

TFrameBox DragFrameBottomLeft(std::int32_t x, std::int32_t y, const TDragStart &start, TRect bounds,
                              const TFrameMetrics &m, bool keep)
{
    return DragCorner(x, y, start, LeftSide(start.Frame, bounds), BottomSide(start.Frame, bounds), true, false, -1, m,
                      keep);
}

TFrameBox DragFrameBottomRight(std::int32_t x, std::int32_t y, const TDragStart &start, TRect bounds,
                               const TFrameMetrics &m, bool keep)
{
    return DragCorner(x, y, start, RightSide(start.Frame, bounds), BottomSide(start.Frame, bounds), false, false, 1, m,
                      keep);
}

TFrameBox DragFrameLeftEdge(std::int32_t x, const TDragStart &start, TRect bounds, const TFrameMetrics &m, bool keep)
{
    return DragEdge(HorizontalOffset(x, start, m), true, LeftSide(start.Frame, bounds), TopSide(start.Frame, bounds),
                    true, true, start, m, keep);
}

TFrameBox DragFrameTopEdge(std::int32_t y, const TDragStart &start, TRect bounds, const TFrameMetrics &m, bool keep)
{
    return DragEdge(VerticalOffset(y, start, m), false, TopSide(start.Frame, bounds), LeftSide(start.Frame, bounds),
                    true, true, start, m, keep);
}

TFrameBox DragFrameRightEdge(std::int32_t x, const TDragStart &start, TRect bounds, const TFrameMetrics &m, bool keep)
{
    return DragEdge(HorizontalOffset(x, start, m), true, RightSide(start.Frame, bounds),
                    BottomSide(start.Frame, bounds), false, false, start, m, keep);
}

TFrameBox DragFrameBottomEdge(std::int32_t y, const TDragStart &start, TRect bounds, const TFrameMetrics &m, bool keep)
{
    return DragEdge(VerticalOffset(y, start, m), false, BottomSide(start.Frame, bounds), RightSide(start.Frame, bounds),
                    false, false, start, m, keep);
}

TFrameBox DragFrame(TFrameHit mode, std::int32_t x, std::int32_t y, const TDragStart &start, TRect bounds,
                    const TFrameMetrics &m, bool keep)
{
    switch (mode) {
    case fhInside:
        return MoveFrame(x, y, start, bounds, m);
    case fhTopLeft:
        return DragFrameTopLeft(x, y, start, bounds, m, keep);
    case fhTopRight:
        return DragFrameTopRight(x, y, start, bounds, m, keep);
    case fhBottomLeft:
        return DragFrameBottomLeft(x, y, start, bounds, m, keep);
    case fhBottomRight:
        return DragFrameBottomRight(x, y, start, bounds, m, keep);
    case fhLeft:
        return DragFrameLeftEdge(x, start, bounds, m, keep);
    case fhTop:
        return DragFrameTopEdge(y, start, bounds, m, keep);
    case fhRight:
        return DragFrameRightEdge(x, start, bounds, m, keep);
    case fhBottom:
        return DragFrameBottomEdge(y, start, bounds, m, keep);
    case fhOutside:
        break;
    }
    const TRect &f = start.Frame;
    return {f.Left, f.Top, f.Right - f.Left, f.Bottom - f.Top};
}

} // namespace vantorel
