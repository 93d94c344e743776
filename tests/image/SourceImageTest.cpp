#include "SourceImage.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CoordinatePicture.h"
#include "ImageCodecs.h"
#include "PictureCache.h"
#include "TestSupport.h"

namespace vantorel {

// Internal linkage: other test files of this executable may print this type too.
static std::ostream &operator<<(std::ostream &out, const TRect &r)
{
    return out << "(" << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ")";
}

namespace {

constexpr TColor kGreen = 0x00FF00;
constexpr TColor kGrey = 0x404040;

// Resampling a picture of one colour gives that colour, up to the resampler's rounding.
bool Near(TColor a, TColor b)
{
    return std::abs(RedOf(a) - RedOf(b)) <= 1 && std::abs(GreenOf(a) - GreenOf(b)) <= 1 &&
           std::abs(BlueOf(a) - BlueOf(b)) <= 1;
}

// A document of a one-colour picture written losslessly and loaded back, with its own logo record.
struct TDocument {
    explicit TDocument(std::int32_t width, std::int32_t height, std::int32_t logoWidth = 1, std::int32_t logoHeight = 1,
                       TColor color = kGrey)
    {
        Node.LogoWidth = logoWidth;
        Node.LogoHeight = logoHeight;
        const std::string file = Dir / "picture.png";
        WritePNG(TBitmap(width, height, color), file);
        Load(file, {4000, 4000}, false);
    }

    void Load(const std::string &file, TPoint pane, bool fit)
    {
        Image = std::make_unique<TSourceImage>(pane, file, &Node, fit);
        Image->BuildView();
    }
    void Rebuild(TPoint pane, bool fit) { Load(Image->FileName, pane, fit); }
    void SetFrame(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height)
    {
        Node.FrameLeft = left;
        Node.FrameTop = top;
        Node.FrameWidth = width;
        Node.FrameHeight = height;
    }
    TSourceImage &operator*() { return *Image; }
    TSourceImage *operator->() { return Image.get(); }

    test::TTempDir Dir;
    TLogoDirObject Node;
    std::unique_ptr<TSourceImage> Image;
};

// ---- Work area and view ----

struct TExtentCase {
    const char *Description;
    TPoint Picture, Logo, Extent, Offset;
};

const TExtentCase kExtents[] = {
    {"picture of the logo's proportions", {256, 192}, {4, 3}, {256, 192}, {0, 0}},
    {"640 x 480 with a 128 x 160 logo", {640, 480}, {128, 160}, {640, 800}, {0, 160}},
    {"200 x 300 with a square logo", {200, 300}, {128, 128}, {300, 300}, {50, 0}},
    {"odd padding rounds the offset down", {301, 100}, {1, 1}, {301, 301}, {0, 100}},
};

class SourceWorkArea : public testing::TestWithParam<TExtentCase> {};

TEST_P(SourceWorkArea, PadsThePictureToTheLogosProportions)
{
    const TExtentCase &c = GetParam();
    TDocument doc(c.Picture.X, c.Picture.Y, c.Logo.X, c.Logo.Y);
    EXPECT_EQ(doc->GetExtent(), c.Extent) << c.Description;
    EXPECT_EQ(doc->Offset(), c.Offset) << c.Description;
}

INSTANTIATE_TEST_SUITE_P(Examples, SourceWorkArea, testing::ValuesIn(kExtents));

struct TViewCase {
    const char *Description;
    TPoint Picture, Logo, Pane;
    bool Fit;
    TPoint View, ViewSource;
};

// The logo of the picture's proportions makes the work area equal the picture.
const TViewCase kViews[] = {
    {"800 x 300 is only too wide: by width", {800, 300}, {8, 3}, {400, 400}, true, {400, 150}, {400, 150}},
    {"300 x 800 is only too high: by height", {300, 800}, {3, 8}, {400, 400}, true, {150, 400}, {150, 400}},
    {"800 x 600 too wide and too high: by width suffices",
     {800, 600},
     {4, 3},
     {400, 400},
     true,
     {400, 300},
     {400, 300}},
    {"1000 x 2000 by width is still too high: by height",
     {1000, 2000},
     {1, 2},
     {500, 500},
     true,
     {250, 500},
     {250, 500}},
    {"300 x 200 fits: 100 % with fitting on", {300, 200}, {3, 2}, {400, 400}, true, {300, 200}, {300, 200}},
    {"300 x 200 fits: 100 % with fitting off", {300, 200}, {3, 2}, {400, 400}, false, {300, 200}, {300, 200}},
    {"1000 x 800 with fitting off: 100 %, the pane scrolls",
     {1000, 800},
     {5, 4},
     {400, 400},
     false,
     {1000, 800},
     {1000, 800}},
    {"640 x 480 padded to 640 x 800, fitted", {640, 480}, {128, 160}, {400, 400}, true, {320, 400}, {320, 240}},
    {"a view side that scales to nothing keeps one pixel", {16, 16}, {1, 1000}, {10, 10}, true, {1, 10}, {0, 0}},
};

class SourceView : public testing::TestWithParam<TViewCase> {};

TEST_P(SourceView, IsFittedIntoThePaneOnlyWhenItExceedsIt)
{
    const TViewCase &c = GetParam();
    TDocument doc(c.Picture.X, c.Picture.Y, c.Logo.X, c.Logo.Y);
    doc.Rebuild(c.Pane, c.Fit);
    EXPECT_EQ((TPoint{doc->ViewWidth, doc->ViewHeight}), c.View) << c.Description;
    EXPECT_EQ((TPoint{doc->View.Width(), doc->View.Height()}), c.View) << c.Description;
    EXPECT_EQ((TPoint{doc->ViewSourceWidth, doc->ViewSourceHeight}), c.ViewSource) << c.Description;
}

INSTANTIATE_TEST_SUITE_P(Examples, SourceView, testing::ValuesIn(kViews));

TEST(SourceViewContent, OutsideThePictureIsWhiteAtFullSizeAndFitted)
{
    // 40 x 20 padded to 40 x 40: the picture at (0, 10).
    TDocument doc(40, 20, 1, 1, kGreen);
    EXPECT_EQ(doc->View.Pixel(5, 9), clWhite);
    EXPECT_EQ(doc->View.Pixel(5, 10), kGreen);
    EXPECT_EQ(doc->View.Pixel(39, 29), kGreen);
    EXPECT_EQ(doc->View.Pixel(5, 30), clWhite);

    // 80 x 40 padded to 80 x 80, fitted to 40 x 40: the picture resampled into (0, 10, 40, 30).
    TDocument wide(80, 40, 1, 1, kGreen);
    wide.Rebuild({40, 40}, true);
    EXPECT_EQ(wide->View.Pixel(20, 9), clWhite);
    EXPECT_TRUE(Near(wide->View.Pixel(20, 10), kGreen));
    EXPECT_TRUE(Near(wide->View.Pixel(20, 29), kGreen));
    EXPECT_EQ(wide->View.Pixel(20, 30), clWhite);
}

// ---- Frame drawing ----

// The frame's outline as rows of 'B' (black), 'W' (white) and '.' (the view).
std::string Outline(const TBitmap &canvas, TRect r)
{
    std::string out;
    for (std::int32_t y = r.Top; y < r.Bottom; ++y) {
        for (std::int32_t x = r.Left; x < r.Right; ++x) {
            const TColor c = canvas.Pixel(x, y);
            out += c == clBlack ? 'B' : c == clWhite ? 'W' : '.';
        }
        out += '\n';
    }
    return out;
}

TEST(FrameDashes, PhaseOneBlackTenWide)
{
    TDocument doc(40, 40);
    doc.SetFrame(5, 5, 10, 10);
    TBitmap canvas = doc->View;
    doc->DrawFrame(canvas);
    // Top: 1 black, 4 white, 4 black, r = 1 white; the right edge goes on with s = 3 white.
    EXPECT_EQ(Outline(canvas, {5, 5, 15, 15}), "BWWWWBBBBW\n"
                                               "W........W\n"
                                               "W........W\n"
                                               "W........B\n"
                                               "W........B\n"
                                               "B........B\n"
                                               "B........B\n"
                                               "B........W\n"
                                               "B........W\n"
                                               "WWWBBBBWWW\n");
}

TEST(FrameDashes, PhaseOneBlackNineWide)
{
    TDocument doc(40, 40);
    doc.SetFrame(5, 5, 9, 9);
    TBitmap canvas = doc->View;
    doc->DrawFrame(canvas);
    // r = 0: the top ends with a full black dash, and the right edge starts 4 white pixels from
    // the corner, which ends white.
    EXPECT_EQ(Outline(canvas, {5, 5, 14, 14}), "BWWWWBBBW\n"
                                               "W.......W\n"
                                               "W.......W\n"
                                               "W.......W\n"
                                               "W.......B\n"
                                               "B.......B\n"
                                               "B.......B\n"
                                               "B.......B\n"
                                               "WWWWBBBBW\n");
}

TEST(FrameDashes, EightStepsRestoreThePictureAndFourSwapTheColours)
{
    TDocument doc(40, 40);
    doc.SetFrame(3, 4, 13, 11);
    TBitmap start = doc->View;
    doc->DrawFrame(start);

    const int phases[] = {2, 3, 4, 1, 2, 3, 4, 1};
    for (int step = 1; step <= 8; ++step) {
        doc->StepFramePhase();
        EXPECT_EQ(doc->FramePhase, phases[step - 1]) << "step " << step;
        EXPECT_EQ(doc->FrameColor, step >= 4 && step < 8 ? clWhite : clBlack) << "step " << step;
        TBitmap canvas = doc->View;
        doc->DrawFrame(canvas);
        if (step == 4) {
            std::string swapped = Outline(start, {0, 0, 40, 40});
            for (char &ch : swapped)
                ch = ch == 'B' ? 'W' : ch == 'W' ? 'B' : ch;
            EXPECT_EQ(Outline(canvas, {0, 0, 40, 40}), swapped);
        }
        if (step == 8) {
            EXPECT_EQ(canvas, start);
        }
    }
}

// The view with its blue border, as the pane shows it without the frame.
TBitmap Bordered(const TSourceImage &doc)
{
    TBitmap b = doc.View;
    b.FrameRect({0, 0, b.Width(), b.Height()}, clBlue);
    return b;
}

TEST(FrameErase, RestoresTheViewAndTheBorderUnderAFrameOnTheEdge)
{
    TDocument doc(40, 40);
    doc.SetFrame(0, 0, 40, 40);
    TBitmap canvas(40, 40, clRed);
    doc->DrawView(canvas, 0, 0);
    EXPECT_NE(canvas.Pixel(1, 0), clBlue); // the dashes cover the border
    doc->EraseFrame(canvas);
    EXPECT_EQ(canvas, Bordered(*doc));
}

// A 400 x 400 picture fitted to 40 x 40 shows a frame at a tenth: frames of 16 to 39 work-area
// pixels are 1 to 3 view pixels, narrower than a dash, in every phase. The dashes stay on the
// frame's lines, so the erase removes all of them.
TEST(FrameErase, FramesNarrowerThanADashLeaveNothingBehind)
{
    TDocument doc(400, 400);
    doc.Rebuild({40, 40}, true);
    for (std::int32_t side = 16; side < 40; side += 3) {
        doc.SetFrame(100, 120, side, 56 - side);
        for (int phase = 1; phase <= 4; ++phase) {
            TBitmap canvas(40, 40);
            doc->DrawView(canvas, 0, 0);
            doc->EraseFrame(canvas);
            EXPECT_EQ(canvas, Bordered(*doc)) << "frame side " << side << ", phase " << phase;
            doc->StepFramePhase();
        }
    }
}

// ---- Hit test and cursor ----

struct THitCase {
    TPoint Point;
    TFrameHit Expected;
};

TEST(FrameHitTest, ExampleFrame)
{
    const TRect r{100, 100, 200, 150};
    const THitCase cases[] = {
        {{97, 120}, fhOutside},      {{202, 120}, fhOutside}, {{102, 120}, fhInside},    {{101, 120}, fhLeft},
        {{150, 99}, fhTop},          {{98, 98}, fhTopLeft},   {{107, 101}, fhTopLeft},   {{108, 101}, fhTop},
        {{201, 151}, fhBottomRight}, {{195, 98}, fhTopRight}, {{99, 148}, fhBottomLeft}, {{198, 120}, fhRight},
        {{150, 149}, fhBottom},      {{150, 152}, fhOutside},
    };
    for (const THitCase &c : cases)
        EXPECT_EQ(TSourceImage::HitTest(c.Point.X, c.Point.Y, r), c.Expected)
            << "at (" << c.Point.X << ", " << c.Point.Y << ")";
}

TEST(FrameHitTest, CursorsPairOppositeCornersAndEdges)
{
    const TRect r{100, 100, 200, 150};
    EXPECT_EQ(TSourceImage::CursorAt(0, 0, r), crDefault);
    EXPECT_EQ(TSourceImage::CursorAt(150, 120, r), crHandFlat);
    EXPECT_EQ(TSourceImage::CursorAt(100, 100, r), crSizeNWSE);
    EXPECT_EQ(TSourceImage::CursorAt(200, 150, r), crSizeNWSE);
    EXPECT_EQ(TSourceImage::CursorAt(200, 100, r), crSizeNESW);
    EXPECT_EQ(TSourceImage::CursorAt(100, 150, r), crSizeNESW);
    EXPECT_EQ(TSourceImage::CursorAt(100, 125, r), crSizeWE);
    EXPECT_EQ(TSourceImage::CursorAt(200, 125, r), crSizeWE);
    EXPECT_EQ(TSourceImage::CursorAt(150, 100, r), crSizeNS);
    EXPECT_EQ(TSourceImage::CursorAt(150, 150, r), crSizeNS);
}

// ---- Clipping and rendering ----

struct TClipCase {
    const char *Description;
    TPoint Picture;
    bool Keep;
    TRect Src;
    TPoint Logo;
    TRect ExpectedSrc, ExpectedDest;
};

const TClipCase kClips[] = {
    {"frame inside the picture",
     {200, 200},
     false,
     {10, 10, 138, 138},
     {128, 128},
     {10, 10, 138, 138},
     {0, 0, 128, 128}},
    {"frame inside the picture, Keep",
     {200, 200},
     true,
     {10, 10, 138, 138},
     {128, 128},
     {10, 10, 138, 138},
     {0, 0, 128, 128}},
    {"50 pixels past the left edge: 150 x 200 fitted by height and centred",
     {200, 300},
     false,
     {-50, 50, 150, 250},
     {128, 128},
     {0, 50, 150, 250},
     {16, 0, 112, 128}},
    {"50 pixels past the left edge, Keep: cut 32, then centred",
     {200, 300},
     true,
     {-50, 50, 150, 250},
     {128, 128},
     {0, 50, 150, 250},
     {16, 0, 112, 128}},
    {"400 x 100 fitted, not stretched",
     {500, 500},
     false,
     {50, 200, 450, 300},
     {128, 128},
     {50, 200, 450, 300},
     {0, 48, 128, 80}},
    {"400 x 100 with Keep fills the logo",
     {500, 500},
     true,
     {50, 200, 450, 300},
     {128, 128},
     {50, 200, 450, 300},
     {0, 0, 128, 128}},
    {"200 x 5 covered: Round(2.5) = 2",
     {200, 200},
     false,
     {0, 195, 200, 395},
     {100, 100},
     {0, 195, 200, 200},
     {0, 49, 100, 51}},
    {"200 x 7 covered: Round(3.5) = 4",
     {200, 200},
     false,
     {0, 193, 200, 393},
     {100, 100},
     {0, 193, 200, 200},
     {0, 48, 100, 52}},
    {"past the bottom-right corner, Keep",
     {200, 200},
     true,
     {100, 150, 300, 350},
     {100, 100},
     {100, 150, 200, 200},
     {25, 37, 75, 62}},
};

class SourceClip : public testing::TestWithParam<TClipCase> {};

TEST_P(SourceClip, ShrinksAndCentresTheDestination)
{
    const TClipCase &c = GetParam();
    TDocument doc(c.Picture.X, c.Picture.Y, c.Logo.X, c.Logo.Y);
    doc.Node.KeepProportions = c.Keep;
    TRect src = c.Src;
    TRect dest{0, 0, c.Logo.X, c.Logo.Y};
    doc->ClipToSource(src, dest);
    EXPECT_EQ(src, c.ExpectedSrc) << c.Description;
    EXPECT_EQ(dest, c.ExpectedDest) << c.Description;
}

INSTANTIATE_TEST_SUITE_P(Examples, SourceClip, testing::ValuesIn(kClips));

TEST(FrameHitsSource, NeedsOneCoveredPixel)
{
    // 200 x 300 in a 300 x 300 work area: the picture's columns are 50..249.
    TDocument doc(200, 300, 128, 128);
    doc.SetFrame(0, 0, 50, 50); // right edge on the picture's left edge
    EXPECT_FALSE(doc->FrameHitsSource());
    doc.SetFrame(249, 0, 20, 20); // left edge on the last column
    EXPECT_TRUE(doc->FrameHitsSource());
    doc.SetFrame(250, 0, 20, 20);
    EXPECT_FALSE(doc->FrameHitsSource());

    // 300 x 200: the picture's rows are 50..249.
    TDocument low(300, 200, 128, 128);
    low.SetFrame(0, 0, 50, 50); // bottom edge on the picture's top edge
    EXPECT_FALSE(low->FrameHitsSource());
    low.SetFrame(0, 249, 50, 50);
    EXPECT_TRUE(low->FrameHitsSource());

    // A damaged frame of no width covers nothing, though its edges straddle the picture.
    doc.SetFrame(100, 100, 0, 50);
    EXPECT_FALSE(doc->FrameHitsSource());
}

// The example picture: 200 x 300 green, a 128 x 128 logo, a 200 x 200 frame at work-area
// (0, 50), which covers 150 x 200 of the picture and lands in (16, 0, 112, 128).
struct TRenderExample : TDocument {
    TRenderExample() : TDocument(200, 300, 128, 128, kGreen) { SetFrame(0, 50, 200, 200); }
    TBitmap Dest{128, 128};
};

TEST(RenderLogo, FillColourBandsInBothDisplayAndLogo)
{
    TRenderExample doc;
    doc->RenderLogo(doc.Dest, 0, 0, {true, clRed});
    ASSERT_EQ((TPoint{doc->Logo.Width(), doc->Logo.Height()}), (TPoint{128, 128}));
    for (std::int32_t y : {1, 64, 126}) {
        EXPECT_EQ(doc.Dest.Pixel(8, y), clRed);
        EXPECT_EQ(doc.Dest.Pixel(15, y), clRed);
        EXPECT_TRUE(Near(doc.Dest.Pixel(16, y), kGreen));
        EXPECT_TRUE(Near(doc.Dest.Pixel(111, y), kGreen));
        EXPECT_EQ(doc.Dest.Pixel(112, y), clRed);
        EXPECT_EQ(doc->Logo.Pixel(0, y), clRed);
        EXPECT_EQ(doc->Logo.Pixel(15, y), clRed);
        EXPECT_TRUE(Near(doc->Logo.Pixel(16, y), kGreen));
        EXPECT_EQ(doc->Logo.Pixel(127, y), clRed);
    }
    // The grey border is on Dest's outermost pixels only, never in Logo.
    for (std::int32_t i : {0, 64, 127}) {
        EXPECT_EQ(doc.Dest.Pixel(i, 0), clGray);
        EXPECT_EQ(doc.Dest.Pixel(i, 127), clGray);
        EXPECT_EQ(doc.Dest.Pixel(0, i), clGray);
        EXPECT_EQ(doc.Dest.Pixel(127, i), clGray);
        EXPECT_NE(doc->Logo.Pixel(i, 0), clGray);
        EXPECT_NE(doc->Logo.Pixel(0, i), clGray);
    }
}

TEST(RenderLogo, WithoutFillTheBandsAreWhiteAndTheLogoIsCropped)
{
    for (bool keep : {false, true}) {
        TRenderExample doc;
        doc.Node.KeepProportions = keep;
        doc->RenderLogo(doc.Dest, 0, 0, {false, clRed});
        EXPECT_EQ(doc.Dest.Pixel(8, 64), clWhite);
        EXPECT_EQ(doc.Dest.Pixel(120, 64), clWhite);
        EXPECT_EQ(doc.Dest.Pixel(0, 64), clGray);
        ASSERT_EQ((TPoint{doc->Logo.Width(), doc->Logo.Height()}), (TPoint{96, 128})) << "Keep " << keep;
        for (TPoint p : {TPoint{0, 0}, TPoint{95, 0}, TPoint{0, 127}, TPoint{95, 127}, TPoint{48, 64}})
            EXPECT_TRUE(Near(doc->Logo.Pixel(p.X, p.Y), kGreen)) << "Logo pixel " << p.X << ", " << p.Y;
    }
}

TEST(RenderLogo, FrameInsideThePictureGivesAWholeLogoEitherWay)
{
    for (bool fill : {false, true}) {
        TRenderExample doc;
        doc.SetFrame(60, 40, 100, 100);
        doc->RenderLogo(doc.Dest, 0, 0, {fill, clRed});
        EXPECT_EQ((TPoint{doc->Logo.Width(), doc->Logo.Height()}), (TPoint{128, 128})) << "fill " << fill;
        EXPECT_TRUE(Near(doc.Dest.Pixel(1, 1), kGreen));
    }
}

TEST(RenderLogo, NoCoveredPixelShowsOnlyTheFillAndKeepsTheLastLogo)
{
    TRenderExample doc;
    doc->RenderLogo(doc.Dest, 0, 0, {false, clRed});
    const TBitmap last = doc->Logo;

    doc.SetFrame(0, 0, 50, 50); // right edge on the picture's left edge
    doc->RenderLogo(doc.Dest, 0, 0, {true, clRed});
    EXPECT_EQ(doc.Dest.Pixel(1, 1), clRed);
    EXPECT_EQ(doc.Dest.Pixel(64, 64), clRed);
    EXPECT_EQ(doc.Dest.Pixel(0, 0), clGray);
    EXPECT_EQ(doc->Logo, last);

    TRenderExample fresh;
    fresh.SetFrame(0, 0, 50, 50);
    fresh->RenderLogo(fresh.Dest, 0, 0, {false, clRed});
    EXPECT_EQ(fresh.Dest.Pixel(64, 64), clWhite);
    EXPECT_TRUE(fresh->Logo.Empty());
}

TEST(RenderLogo, OneCoveredColumnRenders)
{
    TRenderExample doc;
    doc.SetFrame(249, 0, 20, 20); // the picture's last column, past it to the right
    doc->RenderLogo(doc.Dest, 0, 0, {false, clRed});
    // 1 x 20 covered: fitted by height to 6 x 128, centred at 61.
    EXPECT_EQ((TPoint{doc->Logo.Width(), doc->Logo.Height()}), (TPoint{6, 128}));
    EXPECT_TRUE(Near(doc.Dest.Pixel(64, 64), kGreen));
    EXPECT_EQ(doc.Dest.Pixel(60, 64), clWhite);
}

// ---- Loading and the picture check ----

const std::string kLoadError = "Error loading image. Check if you have enough disk space and write permissions.";
const std::string kSizeError = "Image dimensions must be at least 16x16.";

// A one-frame GIF: a logical screen of the given size (no pixels stored for it) with a 1 x 1
// image at its top-left corner.
std::string GifWithScreen(std::uint16_t width, std::uint16_t height)
{
    std::string gif = "GIF89a";
    gif += static_cast<char>(width & 0xFF);
    gif += static_cast<char>(width >> 8);
    gif += static_cast<char>(height & 0xFF);
    gif += static_cast<char>(height >> 8);
    const unsigned char rest[] = {0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00,
                                  0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
    gif.append(reinterpret_cast<const char *>(rest), sizeof rest);
    return gif;
}

struct TCheckCase {
    const char *Description;
    const char *Name;
    std::function<void(const std::string &)> Make;
    bool Passes;
    std::string Message;
};

void Png(const std::string &file, std::int32_t w, std::int32_t h) { WritePNG(TBitmap(w, h), file); }

TEST(CheckImageFile, AcceptsReadablePicturesOfAtLeast16x16)
{
    const TCheckCase cases[] = {
        {"16 x 16 passes", "a.png", [](const std::string &f) { Png(f, 16, 16); }, true, ""},
        {"15 x 200 is too narrow", "b.png", [](const std::string &f) { Png(f, 15, 200); }, false, kSizeError},
        {"200 x 15 is too low", "c.bmp", [](const std::string &f) { WriteBMP(TBitmap(200, 15), f); }, false,
         kSizeError},
        {"a text file named .jpg", "d.jpg", [](const std::string &f) { test::WriteFile(f, "not a picture\n"); }, false,
         kLoadError},
        {"a missing file", "missing.png", [](const std::string &) {}, false, kLoadError},
        {"a GIF's logical screen counts, not its 1 x 1 frame", "e.gif",
         [](const std::string &f) { test::WriteFile(f, GifWithScreen(16, 20)); }, true, ""},
        {"a side of 46340 is the largest the geometry holds", "f.gif",
         [](const std::string &f) { test::WriteFile(f, GifWithScreen(46340, 16)); }, true, ""},
        {"a side of 46341 is refused as unreadable", "g.gif",
         [](const std::string &f) { test::WriteFile(f, GifWithScreen(46341, 16)); }, false, kLoadError},
        {"a sound header over damaged data is refused", "h.png",
         [](const std::string &f) {
             Png(f, 64, 64);
             std::string bytes = test::ReadFile(f);
             for (std::size_t i = 60; i < bytes.size() - 20; ++i)
                 bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
             test::WriteFile(f, bytes);
         },
         false, kLoadError},
    };
    test::TTempDir dir;
    for (const TCheckCase &c : cases) {
        const std::string file = dir / c.Name;
        c.Make(file);
        TScriptedPromptService prompts;
        EXPECT_EQ(TSourceImage::CheckImageFile(file, prompts), c.Passes) << c.Description;
        if (c.Passes) {
            EXPECT_TRUE(prompts.Prompts().empty()) << c.Description;
        } else {
            ASSERT_EQ(prompts.Prompts().size(), 1u) << c.Description;
            EXPECT_EQ(prompts.Prompts()[0].Caption, "Error") << c.Description;
            EXPECT_EQ(prompts.Prompts()[0].Text, c.Message) << c.Description;
        }
    }
}

TEST(SourceImage, AWorkAreaTooLargeToShowAtFullSizeIsRefusedButCanBeFitted)
{
    // A small file of a very long picture: with a 128 x 160 logo the work area is 40000 x 50000,
    // six gigabytes at 100 %.
    test::TTempDir dir;
    WritePNG(TBitmap(40000, 16), dir / "long.png");
    TLogoDirObject node;
    node.LogoWidth = 128;
    node.LogoHeight = 160;
    TSourceImage full({800, 600}, dir / "long.png", &node, false);
    EXPECT_THROW(full.BuildView(), EImageError);
    TSourceImage fitted({800, 600}, dir / "long.png", &node, true);
    fitted.BuildView();
    EXPECT_EQ((TPoint{fitted.ViewWidth, fitted.ViewHeight}), (TPoint{480, 600}));
}

TEST(SourceImage, LoadsThePictureOrRaises)
{
    test::TTempDir dir;
    TLogoDirObject node;
    EXPECT_THROW(TSourceImage({100, 100}, dir / "missing.png", &node, true), EImageError);

    test::WriteFile(dir / "screen.gif", GifWithScreen(20, 17));
    TSourceImage gif({100, 100}, dir / "screen.gif", &node, true);
    EXPECT_EQ((TPoint{gif.SourceWidth, gif.SourceHeight}), (TPoint{20, 17}));
    EXPECT_EQ(gif.FramePhase, 1);
    EXPECT_EQ(gif.FrameColor, clBlack);
    EXPECT_EQ(gif.ExtentWidth, 0);
    EXPECT_TRUE(gif.Logo.Empty());
}

struct TStoredFrameCase {
    const char *What;
    TFrameBox Frame;
    bool Kept;
};

TEST(SourceImage, AStoredFrameOutsideTheWorkAreaIsPlacedAnew)
{
    // A 64 x 48 picture and a 32 x 32 logo: a work area of 64 x 64.
    const TStoredFrameCase cases[] = {
        {"inside", {8, 8, 40, 40}, true},
        {"a new frame stays new", {-1, -1, -1, -1}, false},
        {"past the right edge", {40, 8, 40, 40}, false},
        {"an edge past 32 bits", {2000000000, 5, 2000000000, 40}, false},
    };
    for (const TStoredFrameCase &c : cases) {
        SCOPED_TRACE(c.What);
        TDocument doc(64, 48, 32, 32);
        doc.SetFrame(c.Frame.Left, c.Frame.Top, c.Frame.Width, c.Frame.Height);
        doc->BuildView();
        const TFrameBox after{doc.Node.FrameLeft, doc.Node.FrameTop, doc.Node.FrameWidth, doc.Node.FrameHeight};
        const TFrameBox none{-1, -1, -1, -1};
        EXPECT_TRUE(after == (c.Kept ? c.Frame : none));
        // The display then places the frame of a new logo, which renders.
        if (!c.Kept) {
            InitSelectionFrame(doc.Node, doc->Metrics());
        }
        TBitmap target(32, 32);
        EXPECT_TRUE(doc->RenderLogo(target, 0, 0, {}));
        EXPECT_FALSE(doc->Logo.Empty());
    }
}

// A rebuild for a new pane size or setting may take the previous document's view and logo; what it
// shows must be what a fresh document would show, and the logo is taken only where its inputs are
// unchanged.
struct TRebuildCase {
    const char *What;
    TPoint Pane;
    bool Fit;
    std::function<void(TLogoDirObject &, TRenderOptions &)> Change;
    bool LogoTaken;
    bool FitBefore = true;
};

TEST(SourceImage, ARebuildShowsWhatAFreshDocumentShows)
{
    test::TTempDir dir;
    const TBitmap picture = test::CoordinatePicture(600, 400);
    const std::string file = dir / "photo.png";
    WritePNG(picture, file);
    // The picture cache keeps only a file that has settled, and only a kept picture is shared; the
    // file's change time is recent all the same.
    std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) - std::chrono::hours(1));
    TPictureCache::SetSettleTime(0);

    const auto unchanged = [](TLogoDirObject &, TRenderOptions &) {};
    const TRebuildCase cases[] = {
        {"the same pane", {300, 200}, true, unchanged, true},
        {"a wider pane, the view bound by its height", {340, 200}, true, unchanged, true},
        {"a taller pane, a new view", {300, 260}, true, unchanged, true},
        {"fitting turned off", {300, 200}, false, unchanged, true},
        {"at 100 % before and after, another pane", {340, 260}, false, unchanged, true, false},
        {"another logo size", {300, 200}, true, [](TLogoDirObject &n, TRenderOptions &) { n.LogoWidth = 96; }, false},
        {"the frame moved", {300, 200}, true, [](TLogoDirObject &n, TRenderOptions &) { n.FrameLeft += 3; }, false},
        {"the empty area filled",
         {300, 200},
         true,
         [](TLogoDirObject &, TRenderOptions &o) { o.FillEmptyArea = true; },
         false},
    };
    for (const TRebuildCase &c : cases) {
        SCOPED_TRACE(c.What);
        TLogoDirObject node;
        node.LogoWidth = 128;
        node.LogoHeight = 160;
        TRenderOptions options{false, clRed};
        TSourceImage before({300, 200}, file, &node, c.FitBefore);
        before.BuildView();
        InitSelectionFrame(node, before.Metrics());
        TBitmap shown(node.LogoWidth, node.LogoHeight);
        before.RenderLogo(shown, 0, 0, options);
        c.Change(node, options);

        TSourceImage after(c.Pane, file, &node, c.Fit);
        after.BuildView(&before);
        TSourceImage fresh(c.Pane, file, &node, c.Fit);
        fresh.BuildView();
        EXPECT_TRUE(after.View == fresh.View);
        TBitmap freshShown(node.LogoWidth, node.LogoHeight);
        fresh.RenderLogo(freshShown, 0, 0, options);
        ASSERT_EQ(after.TakeLogoFrom(before, options), c.LogoTaken);
        if (!c.LogoTaken) {
            shown = TBitmap(node.LogoWidth, node.LogoHeight);
            after.RenderLogo(shown, 0, 0, options);
        }
        EXPECT_TRUE(after.Logo == fresh.Logo);
        EXPECT_TRUE(shown == freshShown);
    }
    // Another record of the same sizes and frame is another logo: nothing of it is taken.
    TLogoDirObject first, second;
    first.LogoWidth = second.LogoWidth = 128;
    first.LogoHeight = second.LogoHeight = 160;
    TSourceImage one({300, 200}, file, &first, true);
    one.BuildView();
    InitSelectionFrame(first, one.Metrics());
    TBitmap target(128, 160);
    one.RenderLogo(target, 0, 0, {});
    second.FrameLeft = first.FrameLeft;
    second.FrameTop = first.FrameTop;
    second.FrameWidth = first.FrameWidth;
    second.FrameHeight = first.FrameHeight;
    TSourceImage other({300, 200}, file, &second, true);
    other.BuildView(&one);
    EXPECT_FALSE(other.TakeLogoFrom(one, {}));
    TPictureCache::SetSettleTime(TPictureCache::kSettleNanoseconds);
}
} // namespace
} // namespace vantorel
