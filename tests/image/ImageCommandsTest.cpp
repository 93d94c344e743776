#include "ImageCommands.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ImageCodecs.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

const std::string kKeepAfterConvert = "Do you want to keep source file after image conversion?";
const std::string kKeepAfterMirror = "Do you want to keep source file after mirrorring image?";
const std::string kKeepAfterRotate = "Do you want to keep source file after rotating image?";
const std::string kNameTaken = "Node with the specified name already exists. Please enter another name.";
const std::string kCannotDeleteSource = "Could not delete logo source file. Check if you have permissions to write "
                                        "to folder where the application is installed.";
const std::string kSourceContent = "the source file";

using TNames = std::vector<std::string>;
using TFiles = std::set<std::string>;

std::string FileKind(const std::string &path)
{
    const std::string head = ReadFile(path).substr(0, 3);
    if (head.rfind("BM", 0) == 0)
        return "BMP";
    return head == "GIF" ? "GIF" : head == "\x89PN" ? "PNG" : head == "\xFF\xD8\xFF" ? "JPEG" : "other";
}

// Small pictures written as rows of letters, each letter its own colour.
TColor LetterColour(char c) { return RGBColor(static_cast<std::uint8_t>(c), 40, 200); }

TBitmap Letters(const TNames &rows)
{
    TBitmap b(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            b.SetPixel(x, y, LetterColour(rows[y][x]));
    return b;
}

TNames Letters(const TBitmap &b)
{
    TNames rows(b.Height());
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            rows[y] += static_cast<char>(RedOf(b.Pixel(x, y)));
    return rows;
}

// Every pixel its own colour, so that a misplaced one shows.
TBitmap Pattern(int width, int height)
{
    TBitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.SetPixel(x, y, RGBColor(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                                      static_cast<std::uint8_t>(x >> 8)));
    return b;
}

struct TFormatRow {
    const char *Name;
    TImageFileFormat Format;
    const char *Extension;
};

TEST(ImageFormats, TheLogoNameGivesTheFormatAndTheFormatItsExtension)
{
    const TFormatRow rows[] = {{"a.bmp", iffBMP, ".bmp"}, {"a.JPG", iffJPG, ".jpg"},  {"a.JpEg", iffJPG, ".jpg"},
                               {"a.gif", iffGIF, ".gif"}, {"a.b.PNG", iffPNG, ".png"}, {"a.tif", iffBMP, ".bmp"},
                               {"jpg", iffBMP, ".bmp"}};
    for (const TFormatRow &row : rows) {
        EXPECT_EQ(FormatOfLogoName(row.Name), row.Format) << row.Name;
        EXPECT_STREQ(FormatExtension(FormatOfLogoName(row.Name)), row.Extension) << row.Name;
    }
}

struct TTransformRow {
    const char *Operation;
    std::function<TBitmap(const TBitmap &)> Apply;
    TNames Expected;
};

TEST(ImageTransforms, MoveEveryPixelAsTheWorldTransformsDo)
{
    const TBitmap source = Letters({"abc", "def"});
    const TTransformRow rows[] = {
        {"mirror horizontally", [](const TBitmap &b) { return MirroredBitmap(b, 0); }, {"cba", "fed"}},
        {"mirror vertically", [](const TBitmap &b) { return MirroredBitmap(b, 1); }, {"def", "abc"}},
        {"rotate 90", [](const TBitmap &b) { return RotatedBitmap(b, 90); }, {"da", "eb", "fc"}},
        {"rotate 180", [](const TBitmap &b) { return RotatedBitmap(b, 180); }, {"fed", "cba"}},
        {"rotate 270", [](const TBitmap &b) { return RotatedBitmap(b, 270); }, {"cf", "be", "ad"}},
    };
    for (const TTransformRow &row : rows)
        EXPECT_EQ(Letters(row.Apply(source)), row.Expected) << row.Operation;
}

class TSelectionLog : public TLogoTreeObserver {
public:
    void SelectionChanged(TLogoNode *node) override { Selections.push_back(node); }
    std::vector<TLogoNode *> Selections;
};

class ImageCommandsTest : public ::testing::Test {
protected:
    ImageCommandsTest()
    {
        FTree.CreateRootNode();
        FFolder = FTree.AddChild(FTree.Root(), std::make_unique<TLogoDirObject>(nkFolder, "Phones"));
        std::filesystem::create_directories(Disk(""));
    }

    std::string Disk(const std::string &name) const { return FDir.Path() + "Logo Directory/Phones/" + name; }

    // A logo node with a file on disk (its content plays no part: the commands get the picture).
    TLogoNode *Logo(const std::string &name, bool withFile = true)
    {
        TLogoNode *node = FTree.AddChild(FFolder, std::make_unique<TLogoDirObject>(nkLogo, name));
        if (withFile)
            WriteFile(Disk(name), kSourceContent);
        return node;
    }

    TLogoNode *SelectedLogo(const std::string &name)
    {
        TLogoNode *node = Logo(name);
        FTree.Select(node);
        FTree.SetObserver(&FLog);
        return node;
    }

    TNames Names() const
    {
        TNames names;
        for (int i = 0; i < FFolder->Count(); ++i)
            names.push_back(FFolder->Item(i)->Text());
        return names;
    }

    TFiles Files() const
    {
        TFiles files;
        for (const auto &entry : std::filesystem::directory_iterator(Disk("")))
            files.insert(entry.path().filename().string());
        return files;
    }

    static TImageCommandOptions Options(int retain, bool ask = false) { return {retain, ask}; }

    TTempDir FDir;
    TLogoTree FTree{FDir.Path()};
    TScriptedPromptService FPrompts;
    TImageCommands FCommands{FTree, FPrompts};
    TSelectionLog FLog;
    TLogoNode *FFolder = nullptr;
};

TLogoDirObject SunsetRecord(const std::string &name = "sunset.jpg", std::int32_t frame = 5)
{
    TLogoDirObject r(nkLogo, name);
    r.FrameLeft = r.FrameTop = r.FrameWidth = r.FrameHeight = frame;
    r.PhoneMakeId = 7;
    r.PhoneModelId = 12;
    r.LogoWidth = 72;
    r.FitKind = fkWidth;
    r.KeepProportions = false;
    r.UploadURL = "http://logos.example/1";
    return r;
}

TEST_F(ImageCommandsTest, KeepingAddsACopyOfTheRecordRightAfterTheSourceAndSelectsIt)
{
    TLogoNode *sunset = SelectedLogo("sunset.jpg");
    *sunset->Data() = SunsetRecord();
    Logo("zeta.png");
    const TBitmap source = Pattern(6, 4);

    FCommands.ConvertNode(iffPNG, source, Options(srRetain));
    EXPECT_EQ(Names(), (TNames{"sunset.jpg", "sunset2.png", "zeta.png"}));
    EXPECT_EQ(*FFolder->Item(1)->Data(), SunsetRecord("sunset2.png", -1));
    EXPECT_EQ(*sunset->Data(), SunsetRecord()); // the kept source is untouched
    EXPECT_EQ(FTree.Selected(), FFolder->Item(1));
    EXPECT_EQ(ReadFile(Disk("sunset.jpg")), kSourceContent);
    EXPECT_EQ(ReadPicture(Disk("sunset2.png")), source);
    EXPECT_TRUE(FPrompts.Prompts().empty());

    // Again from the source: the next free name, still right after it; the last child appends.
    FTree.Select(sunset);
    FCommands.ConvertNode(iffBMP, source, Options(srRetain));
    FTree.Select(FFolder->Item(3));
    FCommands.ConvertNode(iffGIF, source, Options(srRetain));
    EXPECT_EQ(Names(), (TNames{"sunset.jpg", "sunset3.bmp", "sunset2.png", "zeta.png", "zeta2.gif"}));
}

TEST_F(ImageCommandsTest, ReplacingRenamesTheSourceRecordAndDeletesTheOldFile)
{
    TLogoNode *sunset = SelectedLogo("sunset.jpg");
    *sunset->Data() = SunsetRecord();

    FCommands.ConvertNode(iffPNG, Pattern(6, 4), Options(srDelete));
    EXPECT_EQ(Names(), (TNames{"sunset.png"}));
    EXPECT_EQ(*sunset->Data(), SunsetRecord("sunset.png", -1));
    EXPECT_EQ(Files(), (TFiles{"sunset.png"}));
    // Cleared and set again, so that the window shows the new file.
    EXPECT_EQ(FLog.Selections, (std::vector<TLogoNode *>{nullptr, sunset}));
}

struct TQuestionRow {
    const char *Command;
    TPromptResult Answer;
    TNames Names;
};

void PrintTo(const TQuestionRow &row, std::ostream *os) { *os << row.Command << " " << static_cast<int>(row.Answer); }

class KeepQuestion : public ImageCommandsTest, public ::testing::WithParamInterface<TQuestionRow> {};

TEST_P(KeepQuestion, YesKeepsNoReplacesCancelChangesNothing)
{
    const TQuestionRow &row = GetParam();
    SelectedLogo("photo.png");
    FPrompts.Answer(row.Answer);
    const std::string command = row.Command;
    const TBitmap source = Pattern(5, 3);
    std::string question;
    if (command == "convert") {
        FCommands.ConvertNode(iffBMP, source, Options(srAsk));
        question = kKeepAfterConvert;
    } else if (command == "mirror") {
        FCommands.MirrorNode(0, source, Options(srAsk));
        question = kKeepAfterMirror;
    } else {
        FCommands.RotateNode(90, source, Options(srAsk));
        question = kKeepAfterRotate;
    }
    ASSERT_EQ(FPrompts.Prompts().size(), 1u);
    EXPECT_EQ(FPrompts.Prompts()[0].Caption, "Confirm");
    EXPECT_EQ(FPrompts.Prompts()[0].Text, question);
    EXPECT_EQ(FPrompts.Prompts()[0].Buttons, TPromptButtons::YesNoCancel);
    EXPECT_EQ(Names(), row.Names);
    if (row.Answer == TPromptResult::Cancel) {
        EXPECT_EQ(Files(), TFiles{"photo.png"});
        EXPECT_EQ(ReadFile(Disk("photo.png")), kSourceContent);
        EXPECT_TRUE(FLog.Selections.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, KeepQuestion,
                         ::testing::Values(TQuestionRow{"convert", TPromptResult::Yes, {"photo.png", "photo2.bmp"}},
                                           TQuestionRow{"convert", TPromptResult::Cancel, {"photo.png"}},
                                           TQuestionRow{"mirror", TPromptResult::Cancel, {"photo.png"}},
                                           TQuestionRow{"rotate", TPromptResult::No, {"photo.png"}}));

struct TReplaceRow {
    const char *Name;
    int Angle; // 0 mirrors horizontally
    const char *NewName;
    const char *Kind;
};

void PrintTo(const TReplaceRow &row, std::ostream *os) { *os << row.Name << " " << row.Angle; }

class ReplaceInOwnFormat : public ImageCommandsTest, public ::testing::WithParamInterface<TReplaceRow> {};

// Whatever the name becomes, exactly one file stays: a name differing in letter case alone is
// another file on this file system.
TEST_P(ReplaceInOwnFormat, LeavesExactlyTheNewFile)
{
    const TReplaceRow &row = GetParam();
    TLogoNode *node = SelectedLogo(row.Name);
    node->Data()->FrameLeft = 3;
    if (row.Angle == 0)
        FCommands.MirrorNode(0, Pattern(8, 6), Options(srDelete));
    else
        FCommands.RotateNode(row.Angle, Pattern(8, 6), Options(srDelete));
    EXPECT_EQ(Names(), TNames{row.NewName});
    EXPECT_EQ(node->Data()->FrameLeft, -1);
    EXPECT_EQ(Files(), TFiles{row.NewName});
    EXPECT_EQ(FileKind(Disk(row.NewName)), row.Kind);
    EXPECT_TRUE(FPrompts.Prompts().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, ReplaceInOwnFormat,
                         ::testing::Values(TReplaceRow{"flower.gif", 0, "flower.gif", "GIF"},
                                           TReplaceRow{"flower.GIF", 0, "flower.gif", "GIF"},
                                           TReplaceRow{"flower.jpeg", 0, "flower.jpg", "JPEG"},
                                           TReplaceRow{"flower.tif", 0, "flower.bmp", "BMP"},
                                           TReplaceRow{"scan.TIFF", 270, "scan.bmp", "BMP"},
                                           TReplaceRow{"scan.png", 180, "scan.png", "PNG"}));

TEST_F(ImageCommandsTest, RotatingBy90And270GivesBackTheSourcePixelsOfLosslessLogos)
{
    for (const std::string name : {"wide.bmp", "tall.png"}) {
        SelectedLogo(name);
        const TBitmap source = Pattern(300, 200);
        FCommands.RotateNode(90, source, Options(srDelete));
        const TBitmap turned = ReadPicture(Disk(name));
        ASSERT_EQ(turned.Width(), 200);
        ASSERT_EQ(turned.Height(), 300);
        for (int x = 0; x < 300; x += 37)
            EXPECT_EQ(turned.Pixel(199, x), source.Pixel(x, 0)) << name; // the top row is the right column

        FCommands.RotateNode(270, turned, Options(srDelete));
        EXPECT_EQ(ReadPicture(Disk(name)), source) << name;
    }
}

TEST_F(ImageCommandsTest, TheNameQuestionAsksAgainUntilTheNameIsFreeAndValid)
{
    SelectedLogo("photo.png");
    Logo("Beach.JPG");
    const TNames refused = {"beach", "BEACH", "", ".", "..", "a/b", "photo"};
    for (const std::string &name : refused)
        FPrompts.AnswerInput(name);
    FPrompts.AnswerInput("beach2");

    FCommands.ConvertNode(iffPNG, Pattern(4, 4), Options(srRetain, true));
    EXPECT_EQ(Names(), (TNames{"photo.png", "beach2.png", "Beach.JPG"}));
    EXPECT_EQ(Files(), (TFiles{"photo.png", "beach2.png", "Beach.JPG"}));

    const auto &prompts = FPrompts.Prompts();
    ASSERT_EQ(prompts.size(), 2 * refused.size() + 1);
    EXPECT_EQ(prompts[0].Kind, TRecordedPrompt::Input);
    EXPECT_EQ(prompts[0].Caption, "Target File Name");
    EXPECT_EQ(prompts[0].Text, "Please enter target file name: ");
    EXPECT_EQ(prompts[0].InitialValue, "photo2");
    for (std::size_t i = 0; i < refused.size(); ++i) {
        EXPECT_EQ(prompts[2 * i + 1].Caption, "Warning");
        EXPECT_EQ(prompts[2 * i + 1].Text, kNameTaken);
        EXPECT_EQ(prompts[2 * i + 2].InitialValue, refused[i]); // the box comes back with the typed name
    }
}

TEST_F(ImageCommandsTest, ReplacingAcceptsTheSourcesOwnBaseOrANewNameAndCancelEnds)
{
    TLogoNode *photo = SelectedLogo("photo.png");
    Logo("beach.jpg");
    FPrompts.CancelInput();
    FCommands.MirrorNode(1, Pattern(4, 4), Options(srDelete, true));
    EXPECT_EQ(Files(), (TFiles{"photo.png", "beach.jpg"}));
    EXPECT_TRUE(FLog.Selections.empty());

    FPrompts.AnswerInput("PHOTO");
    FCommands.ConvertNode(iffGIF, Pattern(4, 4), Options(srDelete, true));
    EXPECT_EQ(photo->Text(), "PHOTO.gif");
    EXPECT_EQ(Files(), (TFiles{"PHOTO.gif", "beach.jpg"}));

    FPrompts.AnswerInput("beach"); // a sibling's: refused
    FPrompts.AnswerInput("holiday");
    FCommands.RotateNode(180, Pattern(4, 4), Options(srDelete, true));
    EXPECT_EQ(Names(), (TNames{"holiday.gif", "beach.jpg"}));
    EXPECT_EQ(Files(), (TFiles{"holiday.gif", "beach.jpg"}));
    EXPECT_EQ(FPrompts.Texts(), TNames{kNameTaken});
}

TEST_F(ImageCommandsTest, ASourceFileThatCannotBeDeletedLeavesTheTreeAndTheNewFile)
{
    TLogoNode *photo = Logo("photo.png", false); // its file is gone already
    photo->Data()->FrameLeft = 3;
    FTree.Select(photo);
    FTree.SetObserver(&FLog);

    FCommands.ConvertNode(iffBMP, Pattern(4, 4), Options(srDelete));
    EXPECT_EQ(FPrompts.Texts(), TNames{kCannotDeleteSource});
    EXPECT_EQ(FPrompts.Prompts()[0].Caption, "Error");
    EXPECT_EQ(photo->Text(), "photo.png");
    EXPECT_EQ(photo->Data()->FrameLeft, 3);
    EXPECT_EQ(Files(), TFiles{"photo.bmp"});
    EXPECT_TRUE(FLog.Selections.empty());
}

TEST_F(ImageCommandsTest, AWriteErrorRaisesBeforeTheTreeChanges)
{
    TLogoNode *photo = SelectedLogo("photo.png");
    std::filesystem::remove_all(Disk(""));
    WriteFile(FDir.Path() + "Logo Directory/Phones", "a file where the folder should be");

    EXPECT_THROW(FCommands.ConvertNode(iffJPG, Pattern(4, 4), Options(srRetain)), EImageError);
    EXPECT_THROW(FCommands.MirrorNode(0, Pattern(4, 4), Options(srDelete)), EImageError);
    EXPECT_EQ(Names(), TNames{"photo.png"});
    EXPECT_EQ(FTree.Selected(), photo);
    EXPECT_TRUE(FLog.Selections.empty());
    EXPECT_TRUE(FPrompts.Prompts().empty());
}

// A damaged index can hold two logos of one base name; replacing one must not write over the
// other's file.
TEST_F(ImageCommandsTest, ReplacingNeverWritesOverAnotherLogosFile)
{
    SelectedLogo("sunset.jpg");
    Logo("sunset.png");
    FCommands.ConvertNode(iffPNG, Pattern(4, 4), Options(srDelete));
    EXPECT_EQ(FPrompts.Texts(), TNames{kNameTaken});
    EXPECT_EQ(Names(), (TNames{"sunset.jpg", "sunset.png"}));
    EXPECT_EQ(ReadFile(Disk("sunset.png")), kSourceContent);
    EXPECT_EQ(ReadFile(Disk("sunset.jpg")), kSourceContent);
}

TEST_F(ImageCommandsTest, NothingHappensWithoutASelectedLogoOrAPicture)
{
    Logo("photo.png");
    FCommands.ConvertNode(iffBMP, Pattern(4, 4), Options(srAsk)); // nothing selected
    FTree.Select(FFolder);
    FCommands.MirrorNode(0, Pattern(4, 4), Options(srAsk));
    FTree.Select(FFolder->Item(0));
    FCommands.RotateNode(90, TBitmap(), Options(srAsk));
    FCommands.RotateNode(45, Pattern(4, 4), Options(srAsk));
    EXPECT_TRUE(FPrompts.Prompts().empty());
    EXPECT_EQ(Files(), TFiles{"photo.png"});
}

} // namespace
} // namespace vantorel
