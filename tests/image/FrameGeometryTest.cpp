#include "FrameGeometry.h"

#include <climits>
#include <cstdint>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace vantorel {

// Internal linkage: other test files of this executable may print these types too.
static std::ostream &operator<<(std::ostream &out, const TFrameBox &b)
{
    return out << "(" << b.Left << ", " << b.Top << ", " << b.Width << " x " << b.Height << ")";
}

static std::ostream &operator<<(std::ostream &out, const TRect &r)
{
    return out << "(" << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ")";
}

namespace {

// ---- The default frame ----

struct TDefaultFrameCase {
    const char *Description;
    TFrameMetrics Metrics;
    TFitKind Fit;
    TRect Expected;
};

// Work areas are those the picture and logo give: 400 x 100 and 100 x 400 with a square logo
// pad to 400 x 400; 640 x 480 with a 128 x 160 logo pads to 640 x 800.
const TDefaultFrameCase kDefaultFrames[] = {
    {"picture of the logo's proportions, width", {300, 200, 300, 200, 300, 200}, fkWidth, {0, 0, 300, 200}},
    {"picture of the logo's proportions, height", {300, 200, 300, 200, 300, 200}, fkHeight, {0, 0, 300, 200}},
    {"picture of the logo's proportions, smaller", {300, 200, 300, 200, 300, 200}, fkSmaller, {0, 0, 300, 200}},
    {"picture of the logo's proportions, bigger", {300, 200, 300, 200, 300, 200}, fkBigger, {0, 0, 300, 200}},
    {"wide picture, width: the whole work area", {400, 100, 400, 400, 400, 400}, fkWidth, {0, 0, 400, 400}},
    {"wide picture, bigger: the whole work area", {400, 100, 400, 400, 400, 400}, fkBigger, {0, 0, 400, 400}},
    {"wide picture, height: as high as the picture, centred",
     {400, 100, 400, 400, 400, 400},
     fkHeight,
     {150, 150, 250, 250}},
    {"wide picture, smaller: as high as the picture, centred",
     {400, 100, 400, 400, 400, 400},
     fkSmaller,
     {150, 150, 250, 250}},
    {"tall picture, width: as wide as the picture", {100, 400, 400, 400, 400, 400}, fkWidth, {150, 150, 250, 250}},
    {"tall picture, smaller: as wide as the picture", {100, 400, 400, 400, 400, 400}, fkSmaller, {150, 150, 250, 250}},
    {"tall picture, bigger: the whole work area", {100, 400, 400, 400, 400, 400}, fkBigger, {0, 0, 400, 400}},
    {"640 x 480 in 640 x 800, height: 384 x 480 centred",
     {640, 480, 640, 800, 320, 400},
     fkHeight,
     {128, 160, 512, 640}},
    {"640 x 480 in 640 x 800, bigger: the whole work area", {640, 480, 640, 800, 320, 400}, fkBigger, {0, 0, 640, 800}},
};

class FrameDefault : public testing::TestWithParam<TDefaultFrameCase> {};

TEST_P(FrameDefault, FollowsTheFitRule)
{
    const TDefaultFrameCase &c = GetParam();
    EXPECT_EQ(CalcFrameRect(c.Fit, c.Metrics), c.Expected) << c.Description;

    TLogoDirObject logo;
    logo.FitKind = c.Fit;
    InitSelectionFrame(logo, c.Metrics);
    EXPECT_EQ(FrameRectOf(logo), c.Expected) << c.Description;
}

INSTANTIATE_TEST_SUITE_P(FitRules, FrameDefault, testing::ValuesIn(kDefaultFrames));

TEST(FrameInViewCoordinates, ScalesAllFourByTheWidthRatioOnlyWhenFitting)
{
    TLogoDirObject logo;
    logo.FrameLeft = 100;
    logo.FrameTop = 50;
    logo.FrameWidth = 201;
    logo.FrameHeight = 99;
    // A view whose height ratio (66 / 200) differs from its width ratio (100 / 300).
    const TFrameMetrics m{300, 200, 300, 200, 100, 66};
    EXPECT_EQ(FrameInViewCoordinates(logo, m, true), (TRect{33, 16, 100, 49}));
    EXPECT_EQ(FrameInViewCoordinates(logo, m, false), (TRect{100, 50, 301, 149}));
}

// ---- Dragging ----

struct TDragCase {
    const char *Description;
    TFrameHit Mode;
    TPoint Mouse; // relative to the mouse-down point
    bool Keep;
    TFrameBox Expected;
};

// Work area 400 x 200 shown at 100 %, bounds the whole work area, the frame (100, 50, 300, 150)
// of the work area's proportions.
const TFrameMetrics kFull{400, 200, 400, 200, 400, 200};
const TRect kBounds{0, 0, 400, 200};
const TDragStart kStart{{100, 50, 300, 150}, {150, 100}};

const TDragCase kDrags[] = {
    {"outside: nothing moves", fhOutside, {40, 40}, false, {100, 50, 200, 100}},
    {"move", fhInside, {20, 10}, false, {120, 60, 200, 100}},
    {"move ignores Keep", fhInside, {20, 10}, true, {120, 60, 200, 100}},
    {"move stops when the frame touches the right and bottom bounds",
     fhInside,
     {500, 500},
     false,
     {200, 100, 200, 100}},
    {"move stops at the left and top bounds", fhInside, {-500, -500}, true, {0, 0, 200, 100}},

    {"left edge: only the left edge moves", fhLeft, {-30, 99}, false, {70, 50, 230, 100}},
    {"left edge with Keep moves the top edge too", fhLeft, {-30, 99}, true, {70, 35, 230, 115}},
    {"left edge past the bound", fhLeft, {-200, 0}, false, {0, 50, 300, 100}},
    {"left edge past the bound with Keep", fhLeft, {-200, 0}, true, {0, 0, 300, 150}},
    {"left edge shrinks to 16 pixels", fhLeft, {500, 0}, false, {284, 50, 16, 100}},
    {"left edge with Keep: the top's minimum fires and pulls the left edge back",
     fhLeft,
     {500, 0},
     true,
     {268, 134, 32, 16}},
    {"top edge", fhTop, {77, -20}, false, {100, 30, 200, 120}},
    {"top edge with Keep moves the left edge too", fhTop, {77, -20}, true, {60, 30, 240, 120}},
    {"top edge shrinks to 16 pixels", fhTop, {0, 500}, false, {100, 134, 200, 16}},
    {"right edge", fhRight, {50, -9}, false, {100, 50, 250, 100}},
    {"right edge with Keep moves the bottom edge too", fhRight, {50, -9}, true, {100, 50, 250, 125}},
    {"right edge shrinks to 16 pixels", fhRight, {-500, 0}, false, {100, 50, 16, 100}},
    {"right edge past the bound with Keep", fhRight, {500, 0}, true, {100, 50, 300, 150}},
    {"bottom edge", fhBottom, {0, 20}, false, {100, 50, 200, 120}},
    {"bottom edge with Keep moves the right edge too", fhBottom, {0, 20}, true, {100, 50, 240, 120}},
    {"bottom edge past the bound with Keep", fhBottom, {0, 500}, true, {100, 50, 300, 150}},

    {"top-left corner", fhTopLeft, {-20, -40}, false, {80, 10, 220, 140}},
    {"top-left with Keep: vertical leads", fhTopLeft, {-20, -40}, true, {20, 10, 280, 140}},
    {"top-left with Keep: horizontal leads", fhTopLeft, {-60, -10}, true, {40, 20, 260, 130}},
    {"top-left shrinks to 16 x 16", fhTopLeft, {500, 500}, false, {284, 134, 16, 16}},
    {"top-left shrinking with Keep: vertical leads, 32 x 16", fhTopLeft, {500, 500}, true, {268, 134, 32, 16}},
    {"top-left past both bounds", fhTopLeft, {-500, -500}, false, {0, 0, 300, 150}},
    {"top-right corner", fhTopRight, {60, -10}, false, {100, 40, 260, 110}},
    {"top-right with Keep: horizontal leads", fhTopRight, {60, -10}, true, {100, 20, 260, 130}},
    {"top-right with Keep: vertical leads", fhTopRight, {10, -40}, true, {100, 10, 280, 140}},
    {"top-right past the bounds with Keep", fhTopRight, {500, -500}, true, {100, 0, 300, 150}},
    {"bottom-left corner", fhBottomLeft, {-60, 10}, false, {40, 50, 260, 110}},
    {"bottom-left with Keep: horizontal leads", fhBottomLeft, {-60, 10}, true, {40, 50, 260, 130}},
    {"bottom-left with Keep: vertical leads", fhBottomLeft, {-10, 40}, true, {20, 50, 280, 140}},
    {"bottom-left shrinks to 16 x 16", fhBottomLeft, {500, -500}, false, {284, 50, 16, 16}},
    {"bottom-right corner", fhBottomRight, {10, 40}, false, {100, 50, 210, 140}},
    {"bottom-right with Keep: vertical leads", fhBottomRight, {10, 40}, true, {100, 50, 280, 140}},
    {"bottom-right with Keep: horizontal leads", fhBottomRight, {60, 10}, true, {100, 50, 260, 130}},
    {"bottom-right past the bottom bound with Keep", fhBottomRight, {10, 100}, true, {100, 50, 300, 150}},
    {"bottom-right past the right bound with Keep", fhBottomRight, {200, 10}, true, {100, 50, 300, 150}},
};

class FrameDrag : public testing::TestWithParam<TDragCase> {};

TEST_P(FrameDrag, ClampsInOrder)
{
    const TDragCase &c = GetParam();
    const TFrameBox got =
        DragFrame(c.Mode, kStart.Point.X + c.Mouse.X, kStart.Point.Y + c.Mouse.Y, kStart, kBounds, kFull, c.Keep);
    EXPECT_EQ(got, c.Expected) << c.Description;
}

INSTANTIATE_TEST_SUITE_P(AllModes, FrameDrag, testing::ValuesIn(kDrags));

// Drags near a bound whose Keep coupling is stopped by the neighbouring side's bound.
TEST(FrameDragRules, KeepCouplingStopsAtTheNeighbouringBound)
{
    const TDragStart start{{100, 20, 300, 120}, {0, 0}};
    // dx -80 asks for dy -40, the top bound allows -20, so dx becomes -40.
    EXPECT_EQ(DragFrameLeftEdge(-80, start, kBounds, kFull, true), (TFrameBox{60, 0, 240, 120}));
    // Horizontal leads with dx -100; dy -50 is clamped to -20 and dx derived back.
    EXPECT_EQ(DragFrameTopLeft(-100, 0, start, kBounds, kFull, true), (TFrameBox{60, 0, 240, 120}));
}

// A frame taken from a view scaled to half: offsets are scaled from view to work-area pixels.
TEST(FrameDragRules, ScalesViewOffsetsToTheWorkArea)
{
    const TFrameMetrics half{400, 200, 400, 200, 200, 100};
    const TDragStart start{{100, 50, 300, 150}, {75, 50}};
    EXPECT_EQ(MoveFrame(85, 55, start, kBounds, half), (TFrameBox{120, 60, 200, 100}));
    EXPECT_EQ(DragFrameLeftEdge(60, start, kBounds, half, false), (TFrameBox{70, 50, 230, 100}));
    EXPECT_EQ(DragFrameBottomEdge(60, start, kBounds, half, false), (TFrameBox{100, 50, 200, 120}));
    // Corners take the width ratio for both axes.
    EXPECT_EQ(DragFrameBottomRight(80, 55, start, kBounds, half, false), (TFrameBox{100, 50, 210, 110}));

    // A view whose ratios differ by truncation: 300 x 200 shown as 100 x 66. Moving takes the
    // height ratio for both axes (33 * 200 div 66 = 100), a right edge the width ratio (99).
    const TFrameMetrics uneven{300, 200, 300, 200, 100, 66};
    const TDragStart s{{100, 50, 150, 100}, {0, 0}};
    const TRect wide{0, 0, 300, 200};
    EXPECT_EQ(MoveFrame(33, 0, s, wide, uneven), (TFrameBox{200, 50, 50, 50}));
    EXPECT_EQ(DragFrameRightEdge(33, s, wide, uneven, false), (TFrameBox{100, 50, 149, 50}));
}

// With Keep and a diagonal corner drag whose two offsets ask for the same frame, the horizontal
// offset decides. In a 300 x 200 work area dy = -1 matches g = 300 * -1 div 200 = -1 = dx; the
// horizontal offset then derives dy = 200 * -1 div 300 = 0, where the vertical would keep -1.
TEST(FrameDragRules, TieBetweenTheOffsetsLetsTheHorizontalLead)
{
    const TFrameMetrics m{300, 200, 300, 200, 300, 200};
    const TRect bounds{0, 0, 300, 200};
    const TDragStart start{{100, 50, 250, 150}, {100, 100}};
    EXPECT_EQ(DragFrameTopLeft(99, 99, start, bounds, m, true), (TFrameBox{99, 50, 151, 100}));
    EXPECT_EQ(DragFrameBottomRight(101, 101, start, bounds, m, true), (TFrameBox{100, 50, 151, 100}));
    EXPECT_EQ(DragFrameTopRight(101, 99, start, bounds, m, true), (TFrameBox{100, 50, 151, 100}));
    EXPECT_EQ(DragFrameBottomLeft(99, 101, start, bounds, m, true), (TFrameBox{99, 50, 151, 100}));
}

// Every routine starts from the mouse-down state, so returning to the mouse-down point gives
// back the mouse-down frame, in every mode, with and without Keep, also after a detour.
TEST(FrameDragRules, BackToTheStartPointGivesTheStartFrame)
{
    const TFrameMetrics scaled{640, 480, 640, 800, 320, 400};
    const TRect bounds{0, 0, 640, 800};
    const TDragStart start{{101, 203, 333, 517}, {77, 150}};
    const TFrameBox startBox{101, 203, 232, 314};
    for (int mode = fhOutside; mode <= fhBottom; ++mode) {
        for (bool keep : {false, true}) {
            DragFrame(static_cast<TFrameHit>(mode), 5, 900, start, bounds, scaled, keep);
            EXPECT_EQ(DragFrame(static_cast<TFrameHit>(mode), 77, 150, start, bounds, scaled, keep), startBox)
                << "mode " << mode << (keep ? " with Keep" : "");
        }
    }
}

// ---- Values from the index ----

struct TMulDivCase {
    const char *What;
    std::int64_t A, B, C;
    std::int32_t Expected;
};

TEST(MulDiv, AQuotientPastThe32BitRangeStopsAtItsEnd)
{
    constexpr std::int32_t kMax = INT32_MAX;
    const TMulDivCase cases[] = {
        {"in range, truncated toward zero", 7, -5, 3, -11},
        {"a zero divisor", 5, 5, 0, 0},
        {"a product past 32 bits, in range after the division", 46341, 46341, 46341, 46341},
        {"a frame edge scaled up", 2000000000, 400, 100, kMax},
        {"a negative one scaled up", -2000000000, 400, 100, INT32_MIN},
        {"a mouse offset of 2^32 times a large side", 4294967295LL, 2147483647LL, 1, kMax},
        {"the largest magnitudes on both sides", INT64_MIN, INT64_MIN, 1, kMax},
    };
    for (const TMulDivCase &c : cases)
        EXPECT_EQ(MulDiv(c.A, c.B, c.C), c.Expected) << c.What;
}

struct TFitsCase {
    const char *What;
    TFrameBox Frame;
    bool Fits;
};

TEST(FrameFitsWorkArea, OnlyAFrameOfAtLeastAPixelInsideTheWorkArea)
{
    const TFrameMetrics m{100, 80, 120, 80, 120, 80};
    const TFitsCase cases[] = {
        {"the whole work area", {0, 0, 120, 80}, true},
        {"a pixel in the far corner", {119, 79, 1, 1}, true},
        {"one past the right", {1, 0, 120, 80}, false},
        {"left of the work area", {-1, 0, 16, 16}, false},
        {"no width", {5, 5, 0, 16}, false},
        {"a negative height", {5, 5, 16, -16}, false},
        {"an edge that overflows 32 bits", {INT32_MAX, 0, INT32_MAX, 16}, false},
    };
    for (const TFitsCase &c : cases) {
        TLogoDirObject logo;
        logo.FrameLeft = c.Frame.Left;
        logo.FrameTop = c.Frame.Top;
        logo.FrameWidth = c.Frame.Width;
        logo.FrameHeight = c.Frame.Height;
        EXPECT_EQ(FrameFitsWorkArea(logo, m), c.Fits) << c.What;
    }
}

} // namespace
} // namespace vantorel
