#pragma once

#include <cstdint>

#include "Geometry.h"
#include "LogoDirObject.h"

namespace vantorel {

// The frame hit code and drag mode.
enum TFrameHit : std::uint8_t {
    fhOutside = 0,
    fhInside = 1,
    fhTopLeft = 2,
    fhTopRight = 3,
    fhBottomLeft = 4,
    fhBottomRight = 5,
    fhLeft = 6,
    fhTop = 7,
    fhRight = 8,
    fhBottom = 9,
};

// The sizes a frame lives among: the picture (SW x SH), the work area (EW x EH) and the view
// (VW x VH), all positive.
struct TFrameMetrics {
    std::int32_t SW = 0, SH = 0;
    std::int32_t EW = 0, EH = 0;
    std::int32_t VW = 0, VH = 0;
};

// A frame as the logo record stores it.
struct TFrameBox {
    std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const TFrameBox &) const = default;
};

// The default frame of a fit rule, centred in the work area, as (Left, Top, Right, Bottom).
TRect CalcFrameRect(TFitKind fit, const TFrameMetrics &m);
// Writes the default frame into the record's frame fields.
void InitSelectionFrame(TLogoDirObject &logo, const TFrameMetrics &m);
// The record's frame as a rectangle in work-area pixels.
TRect FrameRectOf(const TLogoDirObject &logo);
// Whether the record's frame, at least a pixel each way, lies inside the work area of m.
bool FrameFitsWorkArea(const TLogoDirObject &logo, const TFrameMetrics &m);
// The record's frame in view pixels for hit testing: scaled by VW / EW when fitting to the pane.
TRect FrameInViewCoordinates(const TLogoDirObject &logo, const TFrameMetrics &m, bool fitToPane);

// What a drag starts from: the frame in work-area pixels and the mouse position in view pixels.
struct TDragStart {
    TRect Frame;
    TPoint Point;
};

// The drag routines: each starts from the mouse-down state and the total mouse offset, clamps
// the moving sides to the bounds and to the 16-pixel minimum in their order, and returns the
// new frame.
TFrameBox MoveFrame(std::int32_t x, std::int32_t y, const TDragStart &start, TRect bounds, const TFrameMetrics &m);
TFrameBox DragFrameTopLeft(std::int32_t x, std::int32_t y, const TDragStart &start, TRect bounds,
                           const TFrameMetrics &m, bool keep);
TFrameBox DragFrameTopRight(std::int32_t x, std::int32_t y, const TDragStart &start, TRect bounds,
                            const TFrameMetrics &m, bool keep);
TFrameBox DragFrameBottomLeft(std::int32_t x, std::int32_t y, const TDragStart &start, TRect bounds,
                              const TFrameMetrics &m, bool keep);
TFrameBox DragFrameBottomRight(std::int32_t x, std::int32_t y, const TDragStart &start, TRect bounds,
                               const TFrameMetrics &m, bool keep);
TFrameBox DragFrameLeftEdge(std::int32_t x, const TDragStart &start, TRect bounds, const TFrameMetrics &m, bool keep);
TFrameBox DragFrameTopEdge(std::int32_t y, const TDragStart &start, TRect bounds, const TFrameMetrics &m, bool keep);
TFrameBox DragFrameRightEdge(std::int32_t x, const TDragStart &start, TRect bounds, const TFrameMetrics &m, bool keep);
TFrameBox DragFrameBottomEdge(std::int32_t y, const TDragStart &start, TRect bounds, const TFrameMetrics &m, bool keep);
// Dispatches by drag mode; mode fhOutside gives the start frame unchanged.
TFrameBox DragFrame(TFrameHit mode, std::int32_t x, std::int32_t y, const TDragStart &start, TRect bounds,
                    const TFrameMetrics &m, bool keep);

} // namespace vantorel
