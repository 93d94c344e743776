// The grab window's selection: the rubber band on the frozen copy, the normalised rectangle and
// clamping to the picture. The whole grab on a real screen is in xvfb/GrabCommandTest.cpp.
#include "GrabScreen.h"

#include <QImage>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

constexpr TRect kNothing{-1, -1, -1, -1};

class GrabScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QImage copy(64, 48, QImage::Format_RGB32);
        for (int y = 0; y < copy.height(); ++y)
            for (int x = 0; x < copy.width(); ++x)
                copy.setPixel(x, y, qRgb(x * 4, y * 5, 77));
        FForm.SetScreenPicture(copy);
        FClean = FForm.Picture();
        FForm.FormShow();
    }
    // The clean copy with the band of rect drawn on it.
    TBitmap WithBand(TRect rect) const
    {
        TBitmap picture = FClean;
        picture.XorDottedRect(rect);
        return picture;
    }

    TGrabScreenForm FForm;
    TBitmap FClean;
};

TEST_F(GrabScreenTest, TheBandFollowsTheDragNormalisedAndIsGoneAfterTheRelease)
{
    struct TCase {
        const char *Description;
        QPoint Press, Move;
        TRect Band;     // while the button is down
        TRect Selected; // after the release
    };
    const TCase cases[] = {
        {"down and right", {10, 10}, {20, 15}, {10, 10, 21, 16}, {10, 10, 21, 16}},
        {"up and left", {20, 15}, {10, 10}, {11, 11, 20, 15}, {11, 11, 20, 15}},
        {"off the picture's top-left corner", {20, 15}, {-30, -7}, {1, 1, 20, 15}, {1, 1, 20, 15}},
        {"a press left of the picture reads as its first column", {-5, 3}, {70, 60}, {0, 3, 64, 48}, {0, 3, 64, 48}},
    };
    for (const TCase &c : cases) {
        FForm.FormShow();
        FForm.ScreenImageMouseDown(Qt::LeftButton, c.Press.x(), c.Press.y());
        FForm.ScreenImageMouseMove(c.Move.x(), c.Move.y());
        EXPECT_TRUE(FForm.Picture() == WithBand(c.Band)) << c.Description;
        // The release point does not move the rectangle; the last move did.
        FForm.ScreenImageMouseUp(Qt::LeftButton, 0, 0);
        EXPECT_EQ(FForm.SelRect(), c.Selected) << c.Description;
        EXPECT_TRUE(FForm.Picture() == FClean) << c.Description;
        EXPECT_EQ(FForm.result(), QDialog::Accepted) << c.Description;
    }
}

TEST_F(GrabScreenTest, AWindowClosedFromOutsideDropsTheHalfMadeSelection)
{
    FForm.show();
    EXPECT_EQ(FForm.SelRect(), kNothing);
    FForm.ScreenImageMouseDown(Qt::LeftButton, 5, 5);
    FForm.ScreenImageMouseMove(40, 40);
    FForm.close();
    EXPECT_EQ(FForm.SelRect(), kNothing);
}

} // namespace
} // namespace vantorel
