#include "Bitmap.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// Which pixels of a small bitmap differ from white, as rows of '.' and '#'.
std::string Picture(const TBitmap &b)
{
    std::string out;
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x)
            out += b.Pixel(x, y) == clWhite ? '.' : '#';
        out += '\n';
    }
    return out;
}

TEST(Bitmap, NewBitmapIsWhiteWithRowsPaddedToFourBytes)
{
    TBitmap b(5, 2);
    EXPECT_EQ(b.Stride(), 16u);
    EXPECT_EQ(b.Pixel(4, 1), clWhite);
    b.SetPixel(1, 0, 0x123456);
    EXPECT_EQ(b.Scanline(0)[3], 0x56); // red first
    EXPECT_EQ(b.Scanline(0)[5], 0x12);
    EXPECT_EQ(b.Pixel(1, 0), 0x123456);
    b.SetPixel(-1, 0, clBlack); // outside: ignored
    b.SetPixel(5, 0, clBlack);
}

TEST(Bitmap, ABitmapForOverwriteHasZeroPaddingAndAPhotoSizedOneCopiesLikeASmallOne)
{
    // 1501 pixels leave one byte of padding a row; 1501 x 2000 takes the huge-page storage.
    for (const std::int32_t height : {2, 2000}) {
        TBitmap b = TBitmap::ForOverwrite(1501, height);
        ASSERT_EQ(b.Stride(), 4504u);
        for (std::int32_t y = 0; y < height; ++y)
            ASSERT_EQ(b.Scanline(y)[4503], 0) << "row " << y;
        b.FillRect({0, 0, 1501, height}, 0x123456);
        b.SetPixel(1500, height - 1, clBlack);
        TBitmap copy = b;
        EXPECT_TRUE(copy == b);
        b.SetSize(1501, height); // the same size keeps the storage and fills it
        EXPECT_EQ(b.Pixel(1500, height - 1), clWhite);
        EXPECT_EQ(copy.Pixel(1500, height - 1), clBlack);
        EXPECT_EQ(copy.Pixel(0, 0), 0x123456);
    }
}

TEST(Bitmap, FillAndFrameAreClippedAndRightBottomExclusive)
{
    TBitmap b(6, 4);
    b.FillRect({-2, -2, 2, 1}, clBlack);
    b.FrameRect({2, 1, 6, 4}, clBlue);
    EXPECT_EQ(Picture(b), "##....\n"
                          "..####\n"
                          "..#..#\n"
                          "..####\n");
}

TEST(Bitmap, LinesStopBeforeTheirEndPoint)
{
    TBitmap b(5, 5);
    b.Line({0, 0}, {3, 0}, clBlack);
    b.Line({4, 4}, {4, 1}, clBlack);
    b.Line({0, 2}, {0, 2}, clBlack); // nothing
    b.Line({0, 4}, {2, 2}, clBlack);
    EXPECT_EQ(Picture(b), "###..\n"
                          ".....\n"
                          "....#\n"
                          ".#..#\n"
                          "#...#\n");
}

TEST(Bitmap, CopyRectClipsBothSidesInStep)
{
    TBitmap src(4, 4, clBlack);
    src.SetPixel(0, 0, clRed);
    TBitmap dst(4, 4);
    dst.CopyRect({-1, -1, 3, 3}, src, {0, 0, 4, 4});
    EXPECT_EQ(dst.Pixel(0, 0), clBlack); // the red pixel fell off the left
    EXPECT_EQ(dst.Pixel(2, 2), clBlack);
    EXPECT_EQ(dst.Pixel(3, 3), clWhite);

    TBitmap self(3, 3);
    self.SetPixel(0, 0, clRed);
    self.CopyRect({1, 1, 3, 3}, self, {0, 0, 2, 2}); // overlapping copy within one bitmap
    EXPECT_EQ(self.Pixel(1, 1), clRed);
    EXPECT_EQ(self.Pixel(2, 2), clWhite);
}

TEST(Bitmap, XorDottedRectTwiceRestoresThePicture)
{
    TBitmap b(7, 5, clBlack);
    b.SetPixel(3, 2, clRed);
    const TBitmap before = b;
    b.XorDottedRect({1, 1, 6, 5});
    EXPECT_NE(b, before);
    EXPECT_EQ(b.Pixel(1, 1), clWhite);   // dot at the corner
    EXPECT_EQ(b.Pixel(2, 1), clBlack);   // gap
    EXPECT_EQ(b.Pixel(3, 2), clRed);     // inside untouched
    b.XorDottedRect({1, 1, 6, 5});
    EXPECT_EQ(b, before);
}

} // namespace
} // namespace vantorel
