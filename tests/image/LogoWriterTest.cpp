#include "LogoWriter.h"

#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

#include "ImageCodecs.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

using test::Exists;
using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

// The kind of picture file by its leading bytes.
std::string FileKind(const std::string &path)
{
    const std::string head = ReadFile(path).substr(0, 3);
    if (head.empty())
        return "none";
    if (head.rfind("BM", 0) == 0)
        return "BMP";
    return head == "GIF" ? "GIF" : head == "\x89PN" ? "PNG" : head == "\xFF\xD8\xFF" ? "JPEG" : "other";
}

// A logo with plenty of colours, so that colour reduction and quality show.
TBitmap ColourfulLogo()
{
    TBitmap b(64, 48);
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            b.SetPixel(x, y,
                       RGBColor(static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 5),
                                static_cast<std::uint8_t>((x * y) & 0xFF)));
    return b;
}

struct TWriterRow {
    const char *LogoName;
    const char *Target;
    bool Written;
    const char *Kind;
};

void PrintTo(const TWriterRow &row, std::ostream *os) { *os << row.LogoName << " to " << row.Target; }

class WriteLogoFileByName : public ::testing::TestWithParam<TWriterRow> {};

TEST_P(WriteLogoFileByName, TheLogoNameNotTheTargetChoosesTheWriter)
{
    const TWriterRow &row = GetParam();
    TTempDir dir;
    const std::string target = dir / row.Target;
    EXPECT_EQ(HasLogoWriter(row.LogoName), row.Written); // the question agrees with the writers
    EXPECT_EQ(WriteLogoFile(ColourfulLogo(), row.LogoName, target, 90, 8), row.Written);
    EXPECT_EQ(FileKind(target), row.Kind);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WriteLogoFileByName,
    ::testing::Values(TWriterRow{"sunset.bmp", "out.bmp", true, "BMP"}, TWriterRow{"sunset.JpEg", "out", true, "JPEG"},
                      TWriterRow{"sunset.jpg", "out.png", true, "JPEG"}, TWriterRow{"a.b.GIF", "out.bmp", true, "GIF"},
                      TWriterRow{"sunset.Png", "out.jpg", true, "PNG"},
                      TWriterRow{"sunset.tif", "out.tif", false, "none"},
                      TWriterRow{"sunset", "out.jpg", false, "none"}, TWriterRow{"png", "out.png", false, "none"}));

TEST(WriteLogoFile, PassesTheJPEGQualityAndTheGIFBitsOn)
{
    TTempDir dir;
    const TBitmap logo = ColourfulLogo();
    WriteLogoFile(logo, "a.jpg", dir / "q10.jpg", 10, 8);
    WriteLogoFile(logo, "a.jpg", dir / "q100.jpg", 100, 8);
    EXPECT_LT(ReadFile(dir / "q10.jpg").size(), ReadFile(dir / "q100.jpg").size());

    WriteLogoFile(logo, "a.gif", dir / "3bits.gif", 90, 3);
    const TBitmap back = ReadPicture(dir / "3bits.gif");
    std::set<TColor> colours;
    for (int y = 0; y < back.Height(); ++y)
        for (int x = 0; x < back.Width(); ++x)
            colours.insert(back.Pixel(x, y));
    EXPECT_LE(colours.size(), 8u);
}

TEST(WriteLogoFile, AFailedWriteRaises)
{
    TTempDir dir;
    EXPECT_THROW(WriteLogoFile(ColourfulLogo(), "a.png", dir / "missing/out.png", 90, 8), EImageError);
}

TEST(RenderLogoToTempFile, EachWorkFolderKeepsItsOwnFileAndGoesWithIt)
{
    TTempDir dir;
    std::string first;
    {
        const TTempWorkFolder upload(dir.Path());
        const TTempWorkFolder preview(dir.Path());
        first = RenderLogoToTempFile(upload, "logo.png", TBitmap(4, 3, clRed), 90, 8);
        EXPECT_EQ(first, upload.Path() + "logo.png");
        EXPECT_EQ(first.rfind(dir / "Temp/", 0), 0u);
        // A second file of the same name elsewhere leaves the first alone.
        EXPECT_EQ(RenderLogoToTempFile(preview, "logo.png", TBitmap(2, 5, clBlue), 90, 8), preview.Path() + "logo.png");
        EXPECT_EQ(ReadPicture(first), TBitmap(4, 3, clRed));
        // The same folder again replaces its file.
        EXPECT_EQ(RenderLogoToTempFile(upload, "logo.png", TBitmap(2, 5, clBlue), 90, 8), first);
        EXPECT_EQ(ReadPicture(first), TBitmap(2, 5, clBlue));
    }
    EXPECT_FALSE(Exists(first));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "Temp"));
}

TEST(RenderLogoToTempFile, NothingWrittenGivesTheEmptyPath)
{
    TTempDir dir;
    const TTempWorkFolder work(dir.Path());
    const TBitmap logo(4, 4, clRed);
    // No writer for the extension.
    EXPECT_EQ(RenderLogoToTempFile(work, "logo.tif", logo, 90, 8), "");
    EXPECT_FALSE(Exists(work.Path() + "logo.tif"));
    // Nothing rendered yet, or a name that would leave the folder.
    EXPECT_EQ(RenderLogoToTempFile(work, "logo.png", TBitmap(), 90, 8), "");
    EXPECT_EQ(RenderLogoToTempFile(work, "../logo.png", logo, 90, 8), "");
    EXPECT_FALSE(Exists(work.Path() + "logo.png"));
    // The write fails: the error is swallowed.
    WriteFile(work.Path() + "busy.png/inside", "");
    EXPECT_EQ(RenderLogoToTempFile(work, "busy.png", logo, 90, 8), "");
}

struct TReasonRow {
    const char *What;
    const char *LogoName;
    bool Empty;         // nothing rendered
    const char *Target; // relative to the folder
    const char *Reason; // the start of the reason; empty: written
};

TEST(WriteLogoFileReason, EveryFailureNamesItsCause)
{
    TTempDir dir;
    std::filesystem::create_directories(dir / "taken.png/inside");
    const TReasonRow rows[] = {
        {"written", "sunset.png", false, "out.png", ""},
        {"no writer for the extension", "sunset.tif", false, "out.tif",
         "No picture format is known for the logo's name \"sunset.tif\"."},
        {"no extension", "sunset", false, "out.jpg", "No picture format is known for the logo's name \"sunset\"."},
        {"nothing rendered", "sunset.png", true, "empty.png", "No logo has been rendered from the picture."},
        {"a missing folder", "sunset.png", false, "missing/out.png", "missing/out.png: cannot open the file: "},
        {"a folder in the way", "sunset.bmp", false, "taken.png", "taken.png: cannot write the file: "},
    };
    for (const TReasonRow &row : rows) {
        SCOPED_TRACE(row.What);
        const std::string reason =
            WriteLogoFileReason(row.Empty ? TBitmap() : ColourfulLogo(), row.LogoName, dir / row.Target, 90, 8);
        const std::string expected = std::string(row.Reason).find(':') == std::string::npos
                                         ? row.Reason
                                         : dir.Path() + row.Reason; // a writer's reason names the file
        EXPECT_EQ(reason.substr(0, expected.size()), expected);
        EXPECT_EQ(reason.empty(), expected.empty());
        EXPECT_EQ(Exists(dir / row.Target) && !std::filesystem::is_directory(dir / row.Target), expected.empty());
    }
}

TEST(RenderLogoToTempFile, AFailedRenderGivesItsCauseWhenAsked)
{
    TTempDir dir;
    const TTempWorkFolder work(dir.Path());
    std::string reason = "stale";
    EXPECT_EQ(RenderLogoToTempFile(work, "logo.tif", TBitmap(4, 4), 90, 8, &reason), "");
    EXPECT_EQ(reason, "No picture format is known for the logo's name \"logo.tif\".");
    EXPECT_EQ(RenderLogoToTempFile(work, "../logo.png", TBitmap(4, 4), 90, 8, &reason), "");
    EXPECT_EQ(reason, "The logo's name \"../logo.png\" cannot name a file.");
    EXPECT_EQ(RenderLogoToTempFile(work, "logo.png", TBitmap(4, 4), 90, 8, &reason), work.Path() + "logo.png");
    EXPECT_EQ(reason, "");
}

TEST(TTempWorkFolder, AFileWhereTempShouldBeRaises)
{
    TTempDir blocked;
    WriteFile(blocked / "Temp", "a file where the folder should be");
    EXPECT_THROW(TTempWorkFolder{blocked.Path()}, std::system_error);
}

} // namespace
} // namespace vantorel
