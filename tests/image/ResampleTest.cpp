#include "Resample.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "image/ResampleReference.h"

namespace vantorel {

// Defined in Resample.cpp for the tests: 0 = scalar, 1 = up to SSE2, 2 = the best available.
void LimitResampleSimd(int level);
// Also for the tests: the thread that takes this block fails as if out of memory (-1: none).
void FailResampleBlock(std::int32_t block);

namespace {

constexpr TColor kBackground = 0x3355AA; // shows which destination pixels were left alone

enum class TContent { Noise, Stripes, BrightDot, Gradient };

TBitmap MakePicture(std::int32_t width, std::int32_t height, TContent content, unsigned seed = 1)
{
    TBitmap b(width, height, clBlack);
    std::mt19937 random(seed);
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t *p = b.Scanline(y);
        for (std::int32_t x = 0; x < width; ++x, p += 3)
            for (int c = 0; c < 3; ++c) {
                switch (content) {
                case TContent::Noise:
                    p[c] = static_cast<std::uint8_t>(random());
                    break;
                case TContent::Stripes: // 1-, 2- and 3-pixel black and white bands per channel
                    p[c] = ((x / (c + 1) + y / (3 - c)) % 2) ? 255 : 0;
                    break;
                case TContent::BrightDot:
                    p[c] = (x == width / 3 && y == height / 2) ? 255 : 0;
                    break;
                case TContent::Gradient:
                    p[c] = static_cast<std::uint8_t>((x * 255 / std::max(width - 1, 1) + y * 7 + c * 50) & 0xFF);
                    break;
                }
            }
    }
    return b;
}

int MaxDifference(const TBitmap &a, const TBitmap &b)
{
    int worst = 0;
    for (std::int32_t y = 0; y < a.Height(); ++y)
        for (std::int32_t i = 0; i < a.Width() * 3; ++i)
            worst = std::max(worst, std::abs(a.Scanline(y)[i] - b.Scanline(y)[i]));
    return worst;
}

struct TScaleCase {
    const char *Name;
    TPoint SrcSize;
    TRect SrcRect;
    TPoint DstSize;
    TRect DstRect;
};

const TScaleCase kScaleCases[] = {
    {"shrink by 1.01", {202, 101}, {0, 0, 202, 101}, {200, 100}, {0, 0, 200, 100}},
    {"halve", {120, 80}, {0, 0, 120, 80}, {60, 40}, {0, 0, 60, 40}},
    {"shrink by 15", {600, 450}, {0, 0, 600, 450}, {40, 30}, {0, 0, 40, 30}},
    {"shrink by 37.5", {300, 150}, {0, 0, 300, 150}, {8, 4}, {0, 0, 8, 4}},
    {"shrink by 1500 (long windows)", {3000, 3}, {0, 0, 3000, 3}, {2, 1}, {0, 0, 2, 1}},
    {"rows wide enough for several column strips", {6000, 40}, {0, 0, 6000, 40}, {60, 4}, {0, 0, 60, 4}},
    {"enlarge by 1.5", {40, 30}, {0, 0, 40, 30}, {60, 45}, {0, 0, 60, 45}},
    {"enlarge by 4", {13, 9}, {0, 0, 13, 9}, {52, 36}, {0, 0, 52, 36}},
    {"same size", {37, 5}, {0, 0, 37, 5}, {37, 5}, {0, 0, 37, 5}},
    {"shrink x, enlarge y", {200, 10}, {0, 0, 200, 10}, {20, 40}, {0, 0, 20, 40}},
    {"enlarge x, shrink y", {10, 200}, {0, 0, 10, 200}, {40, 20}, {0, 0, 40, 20}},
    {"1-pixel source", {1, 1}, {0, 0, 1, 1}, {7, 5}, {0, 0, 7, 5}},
    {"1-pixel destination", {50, 40}, {0, 0, 50, 40}, {1, 1}, {0, 0, 1, 1}},
    {"1-pixel-high row", {50, 1}, {0, 0, 50, 1}, {3, 4}, {0, 0, 3, 4}},
    {"sub-rectangles in both bitmaps", {100, 80}, {10, 5, 90, 65}, {64, 48}, {3, 4, 43, 34}},
    {"destination rectangle past the bitmap", {40, 40}, {0, 0, 40, 40}, {30, 30}, {-10, -5, 25, 40}},
    {"source rectangle past the bitmap", {40, 40}, {-20, 10, 30, 60}, {50, 50}, {0, 0, 50, 50}},
    {"both past, shrinking", {90, 70}, {-30, -10, 100, 75}, {30, 20}, {-4, 2, 36, 22}},
};

class ResampleTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        LimitResampleSimd(2);
        SetResampleThreads(0);
        FailResampleBlock(-1);
    }
};

TEST_F(ResampleTest, AgreesWithTheDoubleReferenceWithinOnePerChannel)
{
    for (const TScaleCase &row : kScaleCases)
        for (TContent content : {TContent::Noise, TContent::Stripes, TContent::BrightDot, TContent::Gradient}) {
            SCOPED_TRACE(std::string(row.Name) + ", picture " + std::to_string(static_cast<int>(content)));
            const TBitmap src = MakePicture(row.SrcSize.X, row.SrcSize.Y, content);
            TBitmap expected(row.DstSize.X, row.DstSize.Y, kBackground);
            test::ReferenceStretch(src, expected, row.SrcRect, row.DstRect);
            TBitmap actual(row.DstSize.X, row.DstSize.Y, kBackground);
            StretchResample(src, actual, row.SrcRect, row.DstRect);
            EXPECT_LE(MaxDifference(actual, expected), 1);
        }
}

TEST_F(ResampleTest, ScalarSse2AndAvx2PathsGiveIdenticalPixels)
{
    for (const TScaleCase &row : kScaleCases) {
        SCOPED_TRACE(row.Name);
        const TBitmap src = MakePicture(row.SrcSize.X, row.SrcSize.Y, TContent::Noise, 7);
        TBitmap results[3];
        for (int level = 0; level < 3; ++level) {
            LimitResampleSimd(level);
            results[level].SetSize(row.DstSize.X, row.DstSize.Y, kBackground);
            StretchResample(src, results[level], row.SrcRect, row.DstRect);
        }
        EXPECT_TRUE(results[0] == results[1]);
        EXPECT_TRUE(results[0] == results[2]);
    }
}

TEST_F(ResampleTest, ThreadsSplitTheRowsWithoutChangingThem)
{
    const TBitmap src = MakePicture(1500, 1000, TContent::Noise, 3);
    const TRect dstRect{5, 3, 405, 270};
    SetResampleThreads(1);
    TBitmap single(410, 280, kBackground);
    StretchResample(src, single, {0, 0, 1500, 1000}, dstRect);
    for (int threads : {0, 3, 64}) {
        SCOPED_TRACE(threads);
        SetResampleThreads(threads);
        TBitmap many(410, 280, kBackground);
        StretchResample(src, many, {0, 0, 1500, 1000}, dstRect);
        EXPECT_TRUE(many == single);
    }
    TBitmap expected(410, 280, kBackground);
    test::ReferenceStretch(src, expected, {0, 0, 1500, 1000}, dstRect);
    EXPECT_LE(MaxDifference(single, expected), 1);
}

TEST_F(ResampleTest, AThreadThatFailsWithItsBlockIsTheCallersError)
{
    // 1500 x 1000 into 400 x 1000: blocks of 28 rows, 36 of them, shared by up to 9 threads.
    const TBitmap src = MakePicture(1500, 1000, TContent::Noise, 5);
    struct TFailCase {
        int Threads;
        std::int32_t Block;
    } cases[] = {{1, 0}, {1, 15}, {2, 0}, {2, 1}, {4, 7}, {8, 15}, {16, 3}};
    for (const TFailCase &c : cases) {
        SCOPED_TRACE("threads " + std::to_string(c.Threads) + ", block " + std::to_string(c.Block));
        SetResampleThreads(c.Threads);
        FailResampleBlock(c.Block);
        TBitmap dst(400, 1000, kBackground);
        EXPECT_THROW(StretchResample(src, dst, {0, 0, 1500, 1000}, {0, 0, 400, 1000}), std::bad_alloc);
    }
    // With no failure the same work goes through whole.
    FailResampleBlock(-1);
    SetResampleThreads(4);
    TBitmap dst(400, 1000, kBackground);
    EXPECT_NO_THROW(StretchResample(src, dst, {0, 0, 1500, 1000}, {0, 0, 400, 1000}));
    EXPECT_NE(dst.Pixel(200, 999), kBackground);
}

TEST_F(ResampleTest, AFlatColourStaysExactlyThatColour)
{
    // The fixed-point weights of every pixel sum to exactly 1.0.
    const TColor colour = RGBColor(17, 128, 254);
    const TBitmap src(97, 61, colour);
    for (TPoint size : {TPoint{5, 3}, TPoint{96, 60}, TPoint{300, 7}, TPoint{1, 1}}) {
        TBitmap dst(size.X, size.Y, clBlack);
        StretchResample(src, dst, {0, 0, 97, 61}, {0, 0, size.X, size.Y});
        EXPECT_TRUE(dst == TBitmap(size.X, size.Y, colour)) << size.X << " x " << size.Y;
    }
}

TEST_F(ResampleTest, EmptyRectanglesDrawNothing)
{
    const TBitmap src = MakePicture(20, 20, TContent::Noise);
    const struct {
        TRect SrcRect;
        TRect DstRect;
    } rows[] = {
        {{0, 0, 0, 20}, {0, 0, 10, 10}},    // no source width
        {{5, 5, 10, 5}, {0, 0, 10, 10}},    // no source height
        {{0, 0, 20, 20}, {3, 3, 3, 9}},     // no destination width
        {{0, 0, 20, 20}, {8, 2, 2, 9}},     // inverted destination
        {{20, 0, 40, 20}, {0, 0, 10, 10}},  // source wholly right of the picture
        {{0, 0, 20, 20}, {-20, 0, -1, 10}}, // destination wholly left of the bitmap
        {{-100, 0, 1, 20}, {0, 0, 10, 10}}, // the one usable column lies under no pixel centre
    };
    for (const auto &row : rows) {
        TBitmap dst(10, 10, kBackground);
        StretchResample(src, dst, row.SrcRect, row.DstRect);
        EXPECT_TRUE(dst == TBitmap(10, 10, kBackground));
    }
}

TEST_F(ResampleTest, ASourceRectanglePastThePictureLeavesItsPartOfTheDestinationAlone)
{
    // 20 source columns onto 20 destination columns; the left 10 are not picture.
    const TBitmap src(10, 10, clRed);
    TBitmap dst(20, 10, kBackground);
    StretchResample(src, dst, {-10, 0, 10, 10}, {0, 0, 20, 10});
    for (std::int32_t x = 0; x < 20; ++x)
        EXPECT_EQ(dst.Pixel(x, 4), x < 10 ? kBackground : clRed) << x;
}

TEST_F(ResampleTest, ResamplingWithinOneBitmapReadsThePictureAsItWasBefore)
{
    TBitmap picture = MakePicture(60, 40, TContent::Gradient);
    TBitmap expected = picture;
    test::ReferenceStretch(picture, expected, {0, 0, 40, 40}, {10, 5, 60, 35});
    StretchResample(picture, picture, {0, 0, 40, 40}, {10, 5, 60, 35});
    EXPECT_LE(MaxDifference(picture, expected), 1);
}

} // namespace
} // namespace vantorel
