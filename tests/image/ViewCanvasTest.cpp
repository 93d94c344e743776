#include "ViewCanvas.h"

#include <gtest/gtest.h>

#include "CoordinatePicture.h"
#include "ImageCodecs.h"
#include "SourceImage.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

struct TFrameStep {
    const char *What;
    TRect Frame; // left, top, width, height in work-area pixels
};

// The pane's drawing (the view, then moves of the frame and steps of its dashes) done on the
// canvas and on a copy of the view, as the pane did before: the two show the same pixels.
TEST(ViewCanvas, ShowsWhatACopyOfTheViewDrawnOnShows)
{
    // 300 x 200 is no whole number of tiles; the logo's proportions make it the work area.
    test::TTempDir dir;
    const TBitmap picture = test::CoordinatePicture(300, 200);
    WritePNG(picture, dir / "photo.png");
    TLogoDirObject node;
    node.LogoWidth = 30;
    node.LogoHeight = 20;
    node.FrameLeft = node.FrameTop = 10;
    node.FrameWidth = node.FrameHeight = 50;
    TSourceImage doc({100, 100}, dir / "photo.png", &node, false);
    doc.BuildView();
    ASSERT_EQ(doc.View.Width(), 300);

    TBitmap copy(300, 200);
    doc.DrawView(copy, 0, 0);
    TViewCanvas canvas;
    canvas.Reset(&doc.View);
    doc.DrawView(canvas, 0, 0);
    EXPECT_TRUE(canvas.Composite() == copy);

    const TFrameStep steps[] = {
        {"across tile edges", {60, 60, 70, 70}},
        {"on the work area's edge", {0, 0, 300, 200}},
        {"one pixel wide on a tile edge", {64, 10, 1, 150}},
        {"narrower than a dash", {127, 127, 3, 2}},
        {"past the right and bottom", {250, 150, 100, 100}},
        {"back inside", {10, 10, 50, 50}},
    };
    for (const TFrameStep &step : steps) {
        SCOPED_TRACE(step.What);
        doc.EraseFrame(copy);
        doc.EraseFrame(canvas);
        node.FrameLeft = step.Frame.Left;
        node.FrameTop = step.Frame.Top;
        node.FrameWidth = step.Frame.Right;
        node.FrameHeight = step.Frame.Bottom;
        for (int phase = 0; phase < 3; ++phase) {
            doc.DrawFrame(copy);
            doc.DrawFrame(canvas);
            doc.StepFramePhase();
        }
        ASSERT_TRUE(canvas.Composite() == copy);
        for (std::int32_t y = 0; y < 200; ++y)
            for (std::int32_t x = 0; x < 300; ++x)
                ASSERT_EQ(canvas.Pixel(x, y), copy.Pixel(x, y)) << x << ", " << y;
    }
    // Drawing the view again leaves no tile of its own.
    doc.DrawView(canvas, 0, 0);
    doc.DrawView(copy, 0, 0);
    EXPECT_TRUE(canvas.Composite() == copy);
    // 5 x 4 tiles: the 14 on the border hold pixels of their own (the frame lies in a corner one).
    EXPECT_EQ(canvas.TilesIn({0, 0, 300, 200}).size(), 14u);
}

// A long drag of the frame leaves tiles of their own only under the border and the frame.
TEST(ViewCanvas, ALongDragKeepsTilesOfTheirOwnOnlyUnderTheBorderAndTheFrame)
{
    test::TTempDir dir;
    WritePNG(test::CoordinatePicture(640, 480), dir / "photo.png");
    TLogoDirObject node; // a 4 x 3 logo: the picture is the work area, 10 x 8 tiles
    node.LogoWidth = 4;
    node.LogoHeight = 3;
    node.FrameWidth = 100;
    node.FrameHeight = 80;
    TSourceImage doc({100, 100}, dir / "photo.png", &node, false);
    doc.BuildView();
    TViewCanvas canvas;
    canvas.Reset(&doc.View);
    const std::int32_t side = TViewCanvas::kTileSide;
    const auto onOutline = [](TRect t, TRect r) {
        return t.Left < r.Right && r.Left < t.Right && t.Top < r.Bottom && r.Top < t.Bottom &&
               !(t.Left > r.Left && t.Right < r.Right && t.Top > r.Top && t.Bottom < r.Bottom);
    };
    for (int step = 0; step < 600; ++step) {
        doc.EraseFrame(canvas);
        node.FrameLeft = step * 7 % 540;
        node.FrameTop = step * 3 % 400;
        doc.DrawFrame(canvas);
        std::size_t expected = 0;
        for (std::int32_t y = 0; y < 480; y += side)
            for (std::int32_t x = 0; x < 640; x += side) {
                const TRect tile{x, y, std::min(x + side, 640), std::min(y + side, 480)};
                expected += onOutline(tile, {0, 0, 640, 480}) || onOutline(tile, doc.FrameInView());
            }
        ASSERT_EQ(canvas.TilesIn({0, 0, 640, 480}).size(), expected) << "step " << step;
    }
}

} // namespace
} // namespace vantorel
