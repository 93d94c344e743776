// Import from a TWAIN source and source selection from the main window, against the scripted
// source manager installed as "TWAIN_32.DLL" in a temporary Windows folder.
#include "MainForm.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include "DialogAnswers.h"
#include "DialogFrame.h"
#include "FileFormatChoice.h"
#include "ImageCodecs.h"
#include "LogoTreeModel.h"
#include "OptionsForm.h"
#include "acquire/AcquireTestSupport.h"

namespace vantorel::test {
TManagerScript GManagerScript;
} // namespace vantorel::test

// The scripted manager library reads the test's script through this export.
extern "C" __attribute__((visibility("default"))) vantorel::test::TManagerScript *VantorelTestManagerScript()
{
    return &vantorel::test::GManagerScript;
}

namespace vantorel {
namespace {

using test::GManagerScript;

constexpr const char *kFormatChoice = "vantorel::TFileFormatChoiceForm";

class AcquireCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FSavedRuntimeDir = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(FRun.Path()));
        GManagerScript = {};
        std::filesystem::create_directories(FWindows / "empty");
        std::filesystem::copy_file(ACQUIRE_TEST_MANAGER, FWindows / "TWAIN_32.DLL");
        TWAIN_SetWindowsFolder(FWindows.Path());
        TWAIN_SetBoxHandler(
            [this](const std::string &, const std::string &text, TTwainBoxIcon) { FBoxes.push_back(text); });
        test::WriteFile(FFolder / "phoneslist.xml", "<phoneslist/>");
        std::filesystem::create_directories(FFolder / "Logo Directory/photos");
        WritePNG(TBitmap(20, 20), FFolder / "Logo Directory/photos/cat.png");
        test::WriteFile(FFolder / "logodirectory.xml",
                        "<logodirectory><logodirnode nodekind=\"folder\" nodename=\"photos\"><logodirnode "
                        "nodekind=\"logo\" nodename=\"cat.png\"/></logodirnode></logodirectory>");
        FForm = std::make_unique<TMainAppForm>(FFolder.Path(), &FPrompts);
        FOptions = std::make_unique<TOptionsForm>(FFolder.Path(), FForm->XMLSource(), FForm->Prompts());
        FForm->SetOptionsForm(FOptions.get());
        FForm->SetAcquireForms(&FFormatChoice, nullptr);
        FForm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(FForm.get()));
        Select(Photos()->Item(0));
        // The scripted source has no user interface of its own to wake the nested loop.
        QObject::connect(&FWake, &QTimer::timeout, [] {});
        FWake.start(0);
    }
    void TearDown() override
    {
        FWake.stop();
        FForm.reset();
        TWAIN_SetBoxHandler({});
        TWAIN_ClearImageCallback();
        TWAIN_SetWindowsFolder({}); // later tests of this process see no manager
        qputenv("XDG_RUNTIME_DIR", FSavedRuntimeDir);
    }

    TLogoNode *Photos() const { return FForm->LogoTree().Root()->Item(0); }
    void Select(TLogoNode *node)
    {
        auto *model = static_cast<TLogoTreeModel *>(FForm->LogoTreeView->model());
        FForm->LogoTreeView->setCurrentIndex(node ? model->IndexOf(node) : QModelIndex());
        QApplication::processEvents();
    }
    // Acquires one 2 x 2 picture whose top-left pixel is marker; notes whether the tool bar's
    // hints were off meanwhile.
    void Acquire(std::uint32_t marker = 0x102030)
    {
        GManagerScript.Events = {MSG_XFERREADY};
        GManagerScript.Transfers = {{TWRC_XFERDONE, test::SmallDib(marker), 0}};
        TWAIN_SetImageCallback([this](TW_HANDLE, std::int32_t) { FHintsOffMeanwhile = !FForm->ToolBarShowHint(); });
        FForm->AcquireImageMenuItem->trigger();
        EXPECT_TRUE(FForm->ToolBarShowHint());
        EXPECT_EQ(TWAIN_State(), 1);
    }
    std::vector<std::string> Names(const TLogoNode *folder) const
    {
        std::vector<std::string> names;
        for (int i = 0; i < folder->Count(); ++i)
            names.push_back(folder->Item(i)->Text());
        return names;
    }

    test::TTempDir FFolder;
    test::TTempDir FWindows;
    test::TTempDir FRun;
    QByteArray FSavedRuntimeDir;
    TScriptedPromptService FPrompts;
    test::TDialogAnswers FDialogs;
    std::vector<std::string> FBoxes;
    TFileFormatChoiceForm FFormatChoice;
    std::unique_ptr<TMainAppForm> FForm;
    std::unique_ptr<TOptionsForm> FOptions;
    QTimer FWake;
    bool FHintsOffMeanwhile = false;
};

TEST_F(AcquireCommandTest, ImagesBecomeNumberedLogosInTheFolderOfTheSelection)
{
    Acquire();
    EXPECT_TRUE(FHintsOffMeanwhile);
    Acquire();
    ASSERT_EQ(Names(Photos()), (std::vector<std::string>{"cat.png", "importedimage.jpg", "importedimage2.jpg"}));
    EXPECT_EQ(FForm->LogoTree().Selected(), Photos()->Item(2));
    EXPECT_EQ(ReadPicture(FFolder / "Logo Directory/photos/importedimage2.jpg").Width(), 2);
    EXPECT_TRUE(FPrompts.Prompts().empty());
    EXPECT_TRUE(FBoxes.empty());

    FOptions->Options().importedfileformat = iffPNG;
    Select(Photos());
    Acquire(0xA0B0C0);
    // Names are told apart by their base: the extension does not make one free.
    EXPECT_EQ(Names(Photos()).back(), "importedimage3.png");
    EXPECT_EQ(ReadPicture(FFolder / "Logo Directory/photos/importedimage3.png").Pixel(0, 0), test::Rgb(0xA0B0C0));
    Select(nullptr);
    Acquire();
    EXPECT_EQ(Names(FForm->LogoTree().Root()), (std::vector<std::string>{"photos", "importedimage.png"}));
}

TEST_F(AcquireCommandTest, TheNameQuestionAsksAgainWhenEmptyAndKeepsOnlyTheLastComponent)
{
    FOptions->Options().importasktargetname = true;
    FPrompts.AnswerInput("");
    FPrompts.AnswerInput("../../escape");
    Acquire();
    ASSERT_EQ(FPrompts.Prompts().size(), 2u);
    EXPECT_EQ(FPrompts.Prompts()[0].Caption, "Imported image name");
    EXPECT_EQ(FPrompts.Prompts()[0].Text, "Please enter imported image name:");
    EXPECT_EQ(FPrompts.Prompts()[0].InitialValue, "importedimage");
    EXPECT_EQ(FPrompts.Prompts()[1].InitialValue, "");
    EXPECT_EQ(Names(Photos()).back(), "escape.jpg");
    EXPECT_TRUE(test::Exists(FFolder / "Logo Directory/photos/escape.jpg"));

    FPrompts.CancelInput();
    Acquire();
    EXPECT_EQ(Photos()->Count(), 2);
}

TEST_F(AcquireCommandTest, TheFormatChoiceOpensOnPNGThenOnTheLastChoiceAndItsCancelStoresNothing)
{
    FOptions->Options().importedfileformat = kAskImageFileFormat;
    std::vector<int> openedOn;
    FDialogs.Actions[kFormatChoice] = [&](QDialog &dialog) {
        auto &choice = static_cast<TFileFormatChoiceForm &>(dialog);
        openedOn.push_back(choice.FileFormatComboBox->currentIndex());
        EXPECT_GE(choice.width(), CaptionWidth(choice.windowTitle())); // the title bar shows it whole
        choice.FileFormatComboBox->setCurrentIndex(iffGIF);
        choice.OKButton->click();
    };
    Acquire();
    EXPECT_EQ(Names(Photos()).back(), "importedimage.gif");
    FDialogs.Actions.erase(kFormatChoice); // Cancel
    Acquire();
    EXPECT_EQ(FDialogs.Shown.size(), 2u);
    EXPECT_EQ(Photos()->Count(), 2);
    EXPECT_EQ(openedOn, std::vector<int>{iffPNG});
    EXPECT_EQ(FFormatChoice.FileFormatComboBox->currentIndex(), iffGIF);
}

TEST_F(AcquireCommandTest, AFailedWriteIsReportedAndAddsNothing)
{
    std::filesystem::remove_all(FFolder / "Logo Directory/photos");
    test::WriteFile(FFolder / "Logo Directory/photos", "a file where the folder was");
    Acquire(); // the hints are back on all the same
    EXPECT_EQ(FPrompts.Prompts().size(), 1u);
    EXPECT_EQ(Photos()->Count(), 1);
}

TEST_F(AcquireCommandTest, AScanOfPixelsItCannotDrawIsReportedAndAddsNothing)
{
    GManagerScript.Events = {MSG_XFERREADY};
    GManagerScript.Transfers = {{TWRC_XFERDONE, test::MakeDib({2, 2, 8, BI_RLE8}, {}), 0}};
    FForm->AcquireImageMenuItem->trigger();
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"The picture from the TWAIN source is stored in a form that "
                                                         "cannot be read (run-length coded or of 2 bits a pixel)."});
    EXPECT_EQ(Photos()->Count(), 1);
}

TEST_F(AcquireCommandTest, SourceSelectionGoesToTheManagerAndWithoutOneTheCommandsAreDisabled)
{
    GManagerScript.UserSelectResult = TWRC_CANCEL;
    FForm->SelectSourceMenuItem->trigger();
    EXPECT_EQ(GManagerScript.Count(DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT), 1u);
    EXPECT_EQ(GManagerScript.Parent, reinterpret_cast<TW_HANDLE>(FForm->winId()));
    EXPECT_TRUE(FForm->ImportFromTWAINToolButton->isEnabled());

    TWAIN_SetWindowsFolder(FWindows / "empty");
    FForm->UpdateControls();
    EXPECT_FALSE(FForm->ImportFromTWAINMenuItem->isEnabled());
    EXPECT_FALSE(FForm->ImportFromTWAINToolButton->isEnabled());
    EXPECT_TRUE(FForm->GrabFromScreenToolButton->isEnabled());
    FForm->AcquireImageMenuItemClick();
    EXPECT_EQ(FBoxes, std::vector<std::string>{"Unable to load Source Manager (TWAIN_32.DLL)"});
    EXPECT_TRUE(FForm->ToolBarShowHint());
    EXPECT_EQ(Photos()->Count(), 1);
}

} // namespace
} // namespace vantorel
