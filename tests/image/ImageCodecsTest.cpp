#include "ImageCodecs.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <QColor>
#include <QImage>
#include <QImageReader>

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <jpeglib.h>

#include "TestSupport.h"

namespace vantorel {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

constexpr TColor clGreen = 0x00FF00;

// Five colours on an odd width, so row padding and colour order both show.
TBitmap FewColours()
{
    TBitmap b(7, 5);
    b.FillRect({0, 0, 3, 2}, clRed);
    b.FillRect({3, 2, 7, 5}, clBlue);
    b.FillRect({1, 3, 2, 5}, clBlack);
    b.SetPixel(6, 0, clGreen);
    return b;
}

// Smooth colours, as a photograph has.
TBitmap Gradient(int width, int height)
{
    TBitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.SetPixel(x, y,
                       RGBColor(static_cast<std::uint8_t>(x * 255 / width), static_cast<std::uint8_t>(y * 255 / height),
                                static_cast<std::uint8_t>((x + y) * 127 / (width + height))));
    return b;
}

// Which pixels are white ('.'), black ('#'), red, green or blue ('r', 'g', 'b'), or other ('?').
std::string Picture(const TBitmap &b)
{
    std::string out;
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) {
            const TColor c = b.Pixel(x, y);
            out += c == clWhite   ? '.'
                   : c == clBlack ? '#'
                   : c == clRed   ? 'r'
                   : c == clGreen ? 'g'
                   : c == clBlue  ? 'b'
                                  : '?';
        }
        out += '\n';
    }
    return out;
}

// A GIF written with giflib itself: one frame of '#', 'r', 'g', 'b' pixels (palette 0..3), placed
// at (left, top) on the screen.
struct TGifFrame {
    int Left = 0, Top = 0;
    std::vector<std::string> Rows;
    bool Interlaced = false;
    int Transparent = NO_TRANSPARENT_COLOR;
};

void WriteTestGif(const std::string &path, int screenWidth, int screenHeight, const std::vector<TGifFrame> &frames)
{
    GifColorType colours[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    int error = 0;
    GifFileType *gif = EGifOpenFileName(path.c_str(), false, &error);
    ASSERT_NE(gif, nullptr);
    ColorMapObject *map = GifMakeMapObject(4, colours);
    EGifPutScreenDesc(gif, screenWidth, screenHeight, 2, 0, map);
    GifFreeMapObject(map);
    for (const TGifFrame &frame : frames) {
        if (frame.Transparent != NO_TRANSPARENT_COLOR) {
            GraphicsControlBlock control{0, false, 0, frame.Transparent};
            GifByteType block[4];
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(EGifGCBToExtension(&control, block)), block);
        }
        const int width = static_cast<int>(frame.Rows[0].size()), height = static_cast<int>(frame.Rows.size());
        EGifPutImageDesc(gif, frame.Left, frame.Top, width, height, frame.Interlaced, nullptr);
        std::vector<int> order;
        for (const auto &[first, step] : frame.Interlaced
                                             ? std::vector<std::pair<int, int>>{{0, 8}, {4, 8}, {2, 4}, {1, 2}}
                                             : std::vector<std::pair<int, int>>{{0, 1}})
            for (int y = first; y < height; y += step)
                order.push_back(y);
        for (int y : order) {
            std::vector<GifPixelType> line;
            for (char c : frame.Rows[y])
                line.push_back(static_cast<GifPixelType>(std::string("#rgb").find(c)));
            EGifPutLine(gif, line.data(), width);
        }
    }
    ASSERT_EQ(EGifCloseFile(gif, &error), GIF_OK);
}

// A JPEG of another colour space, written with libjpeg itself.
void WriteRawJpeg(const std::string &path, int width, int height, J_COLOR_SPACE space, int components,
                  const std::vector<std::uint8_t> &pixel)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row;
    for (int x = 0; x < width; ++x)
        row.insert(row.end(), pixel.begin(), pixel.end());
    while (info.next_scanline < info.image_height) {
        JSAMPROW rowPointer = row.data();
        jpeg_write_scanlines(&info, &rowPointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

std::string BigEndian32(std::uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

// A PNG that is nothing but a (correct) header of the given size and empty data.
std::string PngHeaderOnly(std::uint32_t width, std::uint32_t height)
{
    const auto chunk = [](const std::string &typeAndData) {
        return BigEndian32(static_cast<std::uint32_t>(typeAndData.size() - 4)) + typeAndData +
               BigEndian32(test::Crc32(typeAndData));
    };
    return "\x89PNG\r\n\x1A\n" +
           chunk("IHDR" + BigEndian32(width) + BigEndian32(height) + std::string("\x08\x02\x00\x00\x00", 5)) +
           chunk("IDAT") + chunk("IEND");
}

// A GIF screen descriptor with a two-colour table and no image.
std::string GifScreenOnly(int width, int height)
{
    return std::string("GIF89a") + char(width & 0xFF) + char(width >> 8) + char(height & 0xFF) + char(height >> 8) +
           std::string("\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF;", 10);
}

// A valid file with its width field overwritten; `offset` is where the big-endian or
// little-endian 16-bit width sits.
std::string WithWidth(std::string bytes, std::size_t offset, int width, bool bigEndian)
{
    bytes[offset] = char(bigEndian ? width >> 8 : width & 0xFF);
    bytes[offset + 1] = char(bigEndian ? width & 0xFF : width >> 8);
    return bytes;
}

TEST(ImageCodecs, LosslessFormatsGiveBackTheExactPixels)
{
    TTempDir dir;
    const TBitmap original = FewColours();
    WriteBMP(original, dir / "a.Bmp");
    WritePNG(original, dir / "a.PNG");
    WriteGIF(original, dir / "a.gif", 3);
    for (const char *name : {"a.Bmp", "a.PNG", "a.gif"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Picture(ReadPicture(dir / name)), Picture(original));
        EXPECT_TRUE(ReadPicture(dir / name) == original);
    }
}

TEST(ImageCodecs, JpegComesBackCloseAtHighQuality)
{
    TTempDir dir;
    const TBitmap original = Gradient(40, 30);
    WriteJPEG(original, dir / "a.jpeg", 95);
    const TBitmap back = ReadPicture(dir / "a.jpeg");
    ASSERT_EQ(back.Width(), 40);
    ASSERT_EQ(back.Height(), 30);
    int worst = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40 * 3; ++x)
            worst = std::max(worst, std::abs(back.Scanline(y)[x] - original.Scanline(y)[x]));
    EXPECT_LE(worst, 12);
    EXPECT_EQ(back.Width(), 40);
    EXPECT_EQ(back.Height(), 30);
}

TEST(ImageCodecs, OtherJpegColourSpacesBecomeRgb)
{
    TTempDir dir;
    WriteRawJpeg(dir / "gray.jpg", 8, 8, JCS_GRAYSCALE, 1, {200});
    // Adobe's CMYK (which libjpeg writes) stores inverted inks: 255 is no ink, so this is pure red.
    WriteRawJpeg(dir / "cmyk.jpg", 8, 8, JCS_CMYK, 4, {255, 0, 0, 255});
    const TColor gray = ReadPicture(dir / "gray.jpg").Pixel(3, 3);
    EXPECT_NEAR(RedOf(gray), 200, 2);
    EXPECT_EQ(RedOf(gray), BlueOf(gray));
    const TColor red = ReadPicture(dir / "cmyk.jpg").Pixel(3, 3);
    EXPECT_GE(RedOf(red), 250);
    EXPECT_LE(GreenOf(red), 5);
    EXPECT_LE(BlueOf(red), 5);
}

TEST(ImageCodecs, PngTransparencyShowsWhiteAndPartlyTransparentIsBlended)
{
    TTempDir dir;
    QImage argb(3, 1, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(255, 0, 0, 255));
    argb.setPixel(1, 0, qRgba(0, 255, 0, 0));
    argb.setPixel(2, 0, qRgba(0, 0, 255, 128));
    ASSERT_TRUE(argb.save(QString::fromStdString(dir / "alpha.png"), "PNG"));
    QImage indexed(2, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgba(0, 0, 0, 0), qRgba(0, 0, 255, 255)});
    indexed.setPixel(0, 0, 0);
    indexed.setPixel(1, 0, 1);
    ASSERT_TRUE(indexed.save(QString::fromStdString(dir / "palette.png"), "PNG"));
    QImage deep(1, 1, QImage::Format_Grayscale16);
    deep.fill(QColor::fromRgba64(0x8080, 0x8080, 0x8080));
    ASSERT_TRUE(deep.save(QString::fromStdString(dir / "deep.png"), "PNG"));

    const TBitmap alpha = ReadPicture(dir / "alpha.png");
    EXPECT_EQ(alpha.Pixel(0, 0), clRed);
    EXPECT_EQ(alpha.Pixel(1, 0), clWhite);
    EXPECT_EQ(alpha.Pixel(2, 0), RGBColor(127, 127, 255)); // (128 * c + 127 * 255 + 127) / 255
    EXPECT_EQ(Picture(ReadPicture(dir / "palette.png")), ".b\n");
    EXPECT_EQ(ReadPicture(dir / "deep.png").Pixel(0, 0), 0x808080);
}

TEST(ImageCodecs, OtherExtensionsGoThroughTheReaderRegisteredForThem)
{
    TTempDir dir;
    QImage indexed(3, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 255, 255), qRgb(255, 0, 0)});
    indexed.fill(0);
    indexed.setPixel(2, 1, 1);
    ASSERT_TRUE(indexed.save(QString::fromStdString(dir / "qt.BMP"), "BMP"));
    EXPECT_EQ(Picture(ReadPicture(dir / "qt.BMP")), "...\n..r\n");

    // BMP content under a name that no reader is registered for is not guessed at.
    WriteFile(dir / "bitmap.xyz", ReadFile(dir / "qt.BMP"));
    WriteFile(dir / "bitmap", ReadFile(dir / "qt.BMP"));
    EXPECT_THROW(ReadPicture(dir / "bitmap.xyz"), EImageError);
    EXPECT_THROW(ReadPicture(dir / "bitmap"), EImageError);
}

struct TGifCase {
    const char *Name;
    int ScreenWidth, ScreenHeight;
    TGifFrame Frame;
    const char *Expected;
};
// Without it the test's name is printed from the case's bytes, padding included.
void PrintTo(const TGifCase &c, std::ostream *os) { *os << c.Name; }

class GifFirstFrame : public testing::TestWithParam<TGifCase> {};

TEST_P(GifFirstFrame, IsDrawnAtItsPlaceOnAWhiteScreen)
{
    TTempDir dir;
    const TGifCase &c = GetParam();
    TGifFrame second{0, 0, std::vector<std::string>(c.ScreenHeight, std::string(c.ScreenWidth, 'g'))};
    WriteTestGif(dir / "a.gif", c.ScreenWidth, c.ScreenHeight, {c.Frame, second}); // the second never shows
    EXPECT_EQ(Picture(ReadPicture(dir / "a.gif")), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    ImageCodecs, GifFirstFrame,
    testing::Values(TGifCase{"SmallerFrameAtAnOffset", 5, 4, {2, 1, {"rb", "#r"}}, ".....\n..rb.\n..#r.\n.....\n"},
                    TGifCase{
                        "FramePartlyOffScreenIsClipped", 4, 3, {2, 1, {"rbr", "#r#", "bbb"}}, "....\n..rb\n..#r\n"},
                    TGifCase{"TransparentIndexLeavesWhite", 3, 1, {0, 0, {"rbr"}, false, 1}, ".b.\n"},
                    TGifCase{"InterlacedRowsComeBackInOrder",
                             2,
                             9,
                             {0, 0, {"#r", "rg", "gb", "b#", "##", "rr", "gg", "bb", "br"}, true},
                             "#r\nrg\ngb\nb#\n##\nrr\ngg\nbb\nbr\n"}),
    [](const testing::TestParamInfo<TGifCase> &info) { return std::string(info.param.Name); });

TEST(ImageCodecs, GifAtThreeBitsHoldsAtMostEightColours)
{
    TTempDir dir;
    WriteGIF(Gradient(64, 64), dir / "a.gif", 3);
    const TBitmap back = ReadPicture(dir / "a.gif");
    std::set<TColor> colours;
    for (int y = 0; y < back.Height(); ++y)
        for (int x = 0; x < back.Width(); ++x)
            colours.insert(back.Pixel(x, y));
    EXPECT_LE(colours.size(), 8u);
    EXPECT_GE(colours.size(), 4u);

    EXPECT_THROW(WriteGIF(FewColours(), dir / "b.gif", 2), EImageError);
    EXPECT_THROW(WriteGIF(FewColours(), dir / "b.gif", 9), EImageError);
}

TEST(ImageCodecs, GifDitheringKeepsTheAverageOfSmoothAreas)
{
    TTempDir dir;
    TBitmap ramp(256, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 256; ++x)
            ramp.SetPixel(x, y, RGBColor(x, x, x));
    WriteGIF(ramp, dir / "ramp.gif", 3);
    const TBitmap back = ReadPicture(dir / "ramp.gif");
    // Eight colours cannot show 256 greys; spread errors make every 16 x 16 block average out
    // where flat bands would miss by up to half a band.
    for (int left = 16; left < 240; left += 16) {
        double sum = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = left; x < left + 16; ++x)
                sum += RedOf(back.Pixel(x, y));
        EXPECT_NEAR(sum / 256, left + 7.5, 3) << "block at " << left;
    }
}

TEST(ImageCodecs, WrittenFilesAreReadableByAnIndependentReader)
{
    TTempDir dir;
    const TBitmap original = FewColours();
    WriteBMP(original, dir / "a.bmp");
    WriteJPEG(original, dir / "a.jpg", 90);
    WritePNG(original, dir / "a.png");
    WriteGIF(original, dir / "a.gif", 8);
    for (const char *name : {"a.bmp", "a.jpg", "a.png", "a.gif"}) {
        SCOPED_TRACE(name);
        QImageReader reader(QString::fromStdString(dir / name));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
        EXPECT_EQ(image.size(), QSize(7, 5));
        if (std::string(name) != "a.jpg") {
            EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
            EXPECT_EQ(image.pixel(6, 0), qRgb(0, 255, 0)); // the top row is at the top
            EXPECT_EQ(image.pixel(1, 4), qRgb(0, 0, 0));
        }
    }
    EXPECT_EQ(ReadFile(dir / "a.bmp").size(), 54u + 5 * 24); // 24 bits, rows padded to 24 bytes
    // Every writer creates its file with the same permissions.
    EXPECT_EQ(std::filesystem::status(dir / "a.gif").permissions(),
              std::filesystem::status(dir / "a.png").permissions());
}

TEST(ImageCodecs, DamagedFilesRaiseTheLoadFailure)
{
    TTempDir dir;
    WriteJPEG(Gradient(64, 64), dir / "whole.jpg", 90);
    WritePNG(Gradient(64, 64), dir / "whole.png");
    WriteGIF(Gradient(64, 64), dir / "whole.gif", 8);
    WriteBMP(Gradient(64, 64), dir / "whole.bmp");
    for (const char *ext : {".jpg", ".png", ".gif", ".bmp"}) {
        const std::string whole = ReadFile(dir / (std::string("whole") + ext));
        WriteFile(dir / (std::string("half") + ext), whole.substr(0, whole.size() / 2));
        WriteFile(dir / (std::string("text") + ext), "This is not a picture.\n");
        WriteFile(dir / (std::string("empty") + ext), "");
    }
    const std::string jpeg = ReadFile(dir / "whole.jpg");
    const std::size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    WriteFile(dir / "huge.jpg", WithWidth(jpeg, sof + 7, 50000, true));
    WriteFile(dir / "huge.bmp", WithWidth(ReadFile(dir / "whole.bmp"), 18, 50000, false));
    WriteFile(dir / "huge.png", PngHeaderOnly(50000, 10));
    WriteFile(dir / "huge.gif", GifScreenOnly(50000, 10));
    WriteFile(dir / "zero.gif", GifScreenOnly(0, 5));
    WriteFile(dir / "noimage.gif", GifScreenOnly(5, 5));

    // Truncated files keep a sound header, so only a full read finds the damage.
    for (const char *name : {"half.jpg", "half.png", "half.gif", "noimage.gif"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(ReadPicture(dir / name), EImageError);
    }
    for (const char *name : {"text.jpg", "text.png", "text.gif", "text.bmp", "empty.jpg", "empty.png", "empty.gif",
                             "empty.bmp", "missing.jpg", "missing.png", "missing.gif", "missing.bmp", "huge.jpg",
                             "huge.bmp", "huge.png", "huge.gif", "zero.gif"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(ReadPicture(dir / name), EImageError);
    }
    // Hostile sizes are refused from the header, not by a decoder that happens to fail later.
    for (const char *name : {"huge.jpg", "huge.bmp", "huge.png", "huge.gif"}) {
        try {
            ReadPicture(dir / name);
            ADD_FAILURE() << name << " was read";
        } catch (const EImageError &e) {
            EXPECT_NE(std::string(e.what()).find("too large (50000 x"), std::string::npos) << e.what();
        }
    }
}

TEST(ImageCodecs, ACutShortBitmapFileIsRefused)
{
    TTempDir dir;
    WriteBMP(Gradient(40, 30), dir / "whole.bmp");
    const std::string bytes = test::ReadFile(dir / "whole.bmp");
    test::WriteFile(dir / "cut.bmp", bytes.substr(0, bytes.size() / 2));
    EXPECT_NO_THROW(ReadPicture(dir / "whole.bmp"));
    EXPECT_THROW(ReadPicture(dir / "cut.bmp"), EImageError);
}

TEST(ImageCodecs, WritersRaiseWhenTheFileCannotBeWritten)
{
    TTempDir dir;
    const TBitmap picture = Gradient(200, 200);
    // A folder that does not exist, and a folder in the target's place.
    std::filesystem::create_directories(dir / "taken/inside");
    for (const std::string &target : {dir / "missing/logo", dir / "taken"}) {
        SCOPED_TRACE(target);
        EXPECT_THROW(WriteBMP(picture, target), EImageError);
        EXPECT_THROW(WriteJPEG(picture, target, 90), EImageError);
        EXPECT_THROW(WritePNG(picture, target), EImageError);
        EXPECT_THROW(WriteGIF(picture, target, 8), EImageError);
    }
    // A write that fails part-way, as on a full disk, leaves the file that was there whole and
    // no temporary file behind: the picture being rewritten may be the only copy.
    const std::string previous = dir / "previous.bmp";
    WriteBMP(Gradient(20, 20), previous);
    const std::string before = test::ReadFile(previous);
    {
        test::TFileSizeLimit limit(1000);
        EXPECT_THROW(WriteBMP(picture, previous), EImageError);
        EXPECT_THROW(WriteJPEG(picture, previous, 100), EImageError);
        EXPECT_THROW(WritePNG(picture, previous), EImageError);
        EXPECT_THROW(WriteGIF(picture, previous, 8), EImageError);
    }
    // A new file's name that another program took after it was chosen.
    EXPECT_THROW(WriteBMP(picture, previous, TExisting::Keep), EImageError);
    EXPECT_THROW(WriteJPEG(picture, previous, 100, TExisting::Keep), EImageError);
    EXPECT_THROW(WritePNG(picture, previous, TExisting::Keep), EImageError);
    EXPECT_THROW(WriteGIF(picture, previous, 8, TExisting::Keep), EImageError);
    EXPECT_EQ(test::ReadFile(previous), before);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 2u); // previous.bmp and the folder "taken"
    EXPECT_THROW(WritePNG(TBitmap(), dir / "empty.png"), EImageError);
}

} // namespace
} // namespace vantorel
