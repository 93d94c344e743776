// The picture properties dialogs and the access hint, driven on the offscreen platform with a
// real options dialog over a temporary program folder.
#include "AccessURLHint.h"
#include "GIFProps.h"
#include "JPEGProps.h"

#include <filesystem>
#include <memory>
#include <string>

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include "DialogFrame.h"
#include "ImageCodecs.h"
#include "OptionsForm.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

using test::Exists;
using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

class PropsDialogsTest : public ::testing::Test {
protected:
    PropsDialogsTest()
        : FOptions(FFolder.Path(), FXml, FPrompts), FJPEG(FFolder.Path(), FOptions), FGIF(FFolder.Path(), FOptions)
    {
        // Colours that vary across the logo, so the encoders' settings change the file.
        TBitmap logo(60, 40);
        for (int y = 0; y < logo.Height(); ++y)
            for (int x = 0; x < logo.Width(); ++x)
                logo.SetPixel(x, y, TColor(x * 4 + (y * 6 << 8) + ((x * y) % 255 << 16)));
        FLogo = logo;
        FJPEG.SetLogo(FLogo, "logo.jpg");
        FGIF.SetLogo(FLogo, "logo.gif");
        FHint.SetOptionsForm(&FOptions);
    }

    std::string OptionsPath() { return FFolder / kOptionsFileName; }
    TOptionValues FileValues()
    {
        TOptionValues values;
        TXMLSource xml;
        EXPECT_EQ(ReadOptionsFile(OptionsPath(), xml, values), TOptionsReadResult::Read);
        return values;
    }
    // The size of the logo written by the codec itself, which the dialog's label must show.
    QString ExpectedSize(bool jpeg, int value)
    {
        const std::string path = FFolder / (jpeg ? "expected.jpg" : "expected.gif");
        jpeg ? WriteJPEG(FLogo, path, value) : WriteGIF(FLogo, path, value);
        return QString::number(std::filesystem::file_size(path));
    }

    TTempDir FFolder;
    TXMLSource FXml;
    TScriptedPromptService FPrompts;
    TOptionsForm FOptions;
    TJPEGPropsForm FJPEG;
    TGIFPropsForm FGIF;
    TAccessURLHintForm FHint;
    TBitmap FLogo;
};

TEST_F(PropsDialogsTest, JpegDialogOpensAtTheOptionsQualityRoundedToTens)
{
    struct Case {
        int option;
        int shown;
    } cases[] = {{93, 90}, {95, 100}, {94, 90}, {10, 10}, {100, 100}, {5, 10}};
    for (const Case &c : cases) {
        FOptions.Options().jpegquality = c.option;
        FJPEG.show();
        EXPECT_EQ(FJPEG.JPEGQualityTrackBar->value(), c.shown) << c.option;
        EXPECT_EQ(FJPEG.JPEGQualityLabel->text(), QString::number(c.shown) + "%") << c.option;
        EXPECT_EQ(FJPEG.ImageSizeLabel->text(), ExpectedSize(true, c.shown)) << c.option;
        EXPECT_EQ(FJPEG.JPEGImage->Picture().Width(), 60) << c.option;
        FJPEG.reject();
    }
    EXPECT_EQ(FJPEG.windowTitle(), "JPEG Picture Properties");
}

TEST_F(PropsDialogsTest, JpegBarRoundsAndPreviewsOnlyANewQuality)
{
    struct Step {
        int moveTo;
        int shown;
        bool newPreview;
    } steps[] = {{55, 60, true}, {64, 60, false}, {56, 60, false}, {65, 70, true}, {14, 10, true}, {100, 100, true}};
    FOptions.Options().jpegquality = 90;
    FJPEG.show();
    for (const Step &s : steps) {
        // A preview writes the file anew; none leaves it deleted.
        const std::string preview = FJPEG.PreviewFileName();
        ASSERT_TRUE(Exists(preview));
        std::filesystem::remove(preview);
        FJPEG.JPEGQualityTrackBar->setValue(s.moveTo);
        EXPECT_EQ(FJPEG.JPEGQualityTrackBar->value(), s.shown) << s.moveTo;
        EXPECT_EQ(FJPEG.JPEGQualityLabel->text(), QString::number(s.shown) + "%") << s.moveTo;
        EXPECT_EQ(Exists(preview), s.newPreview) << s.moveTo;
        if (s.newPreview) {
            EXPECT_EQ(FJPEG.ImageSizeLabel->text(), ExpectedSize(true, s.shown)) << s.moveTo;
        } else {
            WriteFile(preview, "kept"); // for the next step's check
        }
    }
    FJPEG.reject();
}

TEST_F(PropsDialogsTest, OkSavesBothValuesAtOnceAndCancelSavesNothing)
{
    struct Case {
        const char *what;
        bool gif;
        bool ok;
    } cases[] = {
        {"JPEG OK", false, true}, {"JPEG Cancel", false, false}, {"GIF OK", true, true}, {"GIF Cancel", true, false}};
    for (const Case &c : cases) {
        FOptions.Options() = TOptionValues{};
        FOptions.SaveOptions();
        const std::string before = ReadFile(OptionsPath());
        QDialog &dialog = c.gif ? static_cast<QDialog &>(FGIF) : FJPEG;
        dialog.show();
        if (c.gif) {
            FGIF.GIFBitDepthTrackBar->setValue(4);
            FGIF.ShowGIFDialogCheckBox->setChecked(false);
        } else {
            FJPEG.JPEGQualityTrackBar->setValue(33);
            FJPEG.ShowJPEGDialogCheckBox->setChecked(false);
        }
        (c.ok ? (c.gif ? FGIF.OKButton : FJPEG.OKButton) : (c.gif ? FGIF.CancelButton : FJPEG.CancelButton))->click();
        EXPECT_FALSE(dialog.isVisible()) << c.what;
        EXPECT_EQ(dialog.result(), c.ok ? QDialog::Accepted : QDialog::Rejected) << c.what;
        if (!c.ok) {
            EXPECT_EQ(ReadFile(OptionsPath()), before) << c.what;
            EXPECT_EQ(FOptions.Options(), TOptionValues{}) << c.what;
            continue;
        }
        TOptionValues expected;
        (c.gif ? expected.gifbitdepth : expected.jpegquality) = c.gif ? 4 : 30;
        (c.gif ? expected.showgifdialog : expected.showjpegdialog) = false;
        EXPECT_EQ(FileValues(), expected) << c.what;
        EXPECT_EQ(FOptions.Options(), expected) << c.what;
    }
}

TEST_F(PropsDialogsTest, GifDialogFollowsItsOwnOptions)
{
    FOptions.Options().showjpegdialog = false;
    FOptions.Options().showgifdialog = true;
    FOptions.Options().gifbitdepth = 5;
    FGIF.show();
    EXPECT_EQ(FGIF.windowTitle(), "GIF Picture Properties");
    EXPECT_TRUE(FGIF.ShowGIFDialogCheckBox->isChecked());
    EXPECT_EQ(FGIF.GIFBitDepthLabel->text(), "5 bits");
    EXPECT_EQ(FGIF.ImageSizeLabel->text(), ExpectedSize(false, 5));
    FGIF.GIFBitDepthTrackBar->setValue(3);
    EXPECT_EQ(FGIF.GIFBitDepthLabel->text(), "3 bits");
    EXPECT_EQ(FGIF.ImageSizeLabel->text(), ExpectedSize(false, 3));
    FGIF.OKButton->click();
    EXPECT_TRUE(FileValues().showgifdialog);
    EXPECT_FALSE(FileValues().showjpegdialog);
    EXPECT_EQ(FileValues().gifbitdepth, 3);
}

TEST_F(PropsDialogsTest, DialogSizeFollowsTheLogoWithinTheMinimumAndTheCaption)
{
    struct Case {
        int width, height;
        QSize size;
    } cases[] = {{100, 80, {200, 290}}, {300, 250, {316, 430}}, {300, 200, {316, 380}}, {184, 110, {200, 290}}};
    // Never so narrow that the window manager cuts the caption.
    auto expected = [](const QDialog &d, QSize size) { return size.expandedTo({CaptionWidth(d.windowTitle()), 0}); };
    for (const Case &c : cases) {
        FJPEG.SizeToLogo(c.width, c.height);
        FGIF.SizeToLogo(c.width, c.height);
        FJPEG.show();
        FGIF.show();
        EXPECT_EQ(FJPEG.size(), expected(FJPEG, c.size)) << c.width << "x" << c.height;
        EXPECT_EQ(FGIF.size(), expected(FGIF, c.size)) << c.width << "x" << c.height;
        // Fixed: the user cannot resize it.
        EXPECT_EQ(FJPEG.minimumSize(), FJPEG.maximumSize());
        FJPEG.reject();
        FGIF.reject();
    }
}

TEST_F(PropsDialogsTest, PreviewFolderGoesWhenTheDialogCloses)
{
    struct Case {
        const char *how;
        void (*close)(TJPEGPropsForm &);
    } cases[] = {{"OK", [](TJPEGPropsForm &f) { f.OKButton->click(); }},
                 {"Cancel", [](TJPEGPropsForm &f) { f.CancelButton->click(); }},
                 {"close box", [](TJPEGPropsForm &f) { f.close(); }}};
    std::string lastFolder;
    for (const Case &c : cases) {
        FJPEG.show();
        const std::filesystem::path folder = std::filesystem::path(FJPEG.PreviewFileName()).parent_path();
        ASSERT_TRUE(Exists(FJPEG.PreviewFileName())) << c.how;
        EXPECT_NE(folder.string(), lastFolder) << c.how; // each showing has its own
        lastFolder = folder.string();
        c.close(FJPEG);
        EXPECT_FALSE(Exists(folder)) << c.how;
    }
}

TEST_F(PropsDialogsTest, FailedPreviewLeavesTheDialogUsable)
{
    struct Case {
        const char *what;
        const char *logoName;
        bool blockTemp;
    } cases[] = {{"no Temp folder can be made", "logo.jpg", true},
                 {"the name leaves the folder", "../logo.jpg", false},
                 {"nothing rendered", "", false}};
    for (const Case &c : cases) {
        FJPEG.SetLogo(c.logoName[0] ? FLogo : TBitmap(), c.logoName);
        if (c.blockTemp)
            WriteFile(FFolder / "Temp", "a file where the folder belongs");
        FJPEG.show();
        EXPECT_TRUE(FJPEG.ImageSizeLabel->text().isEmpty()) << c.what;
        EXPECT_TRUE(FJPEG.JPEGImage->Picture().Empty()) << c.what;
        FJPEG.JPEGQualityTrackBar->setValue(50);
        EXPECT_EQ(FJPEG.JPEGQualityLabel->text(), "50%") << c.what;
        FJPEG.CancelButton->click();
        EXPECT_FALSE(FJPEG.isVisible()) << c.what;
        std::filesystem::remove(FFolder / "Temp");
    }
    EXPECT_FALSE(Exists(FFolder / "logo.jpg"));
}

TEST_F(PropsDialogsTest, AccessHintKeepsTheChoiceOnlyWhenClosed)
{
    struct Case {
        const char *what;
        bool optionBefore;
        bool tick;
        bool closeButton;
        bool saved;
    } cases[] = {{"cleared, Close", true, false, true, true},
                 {"ticked, Close", false, true, true, true},
                 {"cleared, close box", true, false, false, false}};
    for (const Case &c : cases) {
        std::filesystem::remove(OptionsPath());
        FOptions.Options().enableaccesshint = c.optionBefore;
        FHint.show();
        EXPECT_EQ(FHint.EnableAccessHint->isChecked(), c.optionBefore) << c.what;
        FHint.EnableAccessHint->setChecked(c.tick);
        c.closeButton ? FHint.CloseButton->click() : (void)FHint.close();
        EXPECT_FALSE(FHint.isVisible()) << c.what;
        EXPECT_EQ(Exists(OptionsPath()), c.saved) << c.what;
        EXPECT_EQ(FOptions.Options().enableaccesshint, c.saved ? c.tick : c.optionBefore) << c.what;
        if (c.saved) {
            EXPECT_EQ(FileValues().enableaccesshint, c.tick) << c.what;
        }
    }
}

TEST_F(PropsDialogsTest, AccessHintShowsTheAddressAsPlainText)
{
    FHint.MobileURL->setPlainText("<b>x</b>");
    FHint.show();
    EXPECT_EQ(FHint.MobileURL->toPlainText(), "<b>x</b>");
    EXPECT_TRUE(FHint.MobileURL->isReadOnly());
    EXPECT_TRUE(FHint.CloseButton->isDefault());
    EXPECT_EQ(FHint.size(), QSize(313, 163));
    EXPECT_EQ(FHint.windowTitle(), "Access URL Hint");
    FHint.reject();
}

} // namespace
} // namespace vantorel
