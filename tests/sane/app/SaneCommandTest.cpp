// The main window's import command with our manager in place: scans become logos with the pixels
// scanimage gives, and a cancelled import adds nothing.
#include "MainForm.h"

#include <QAction>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "FileFormatChoice.h"
#include "ImageCodecs.h"
#include "LogoTreeModel.h"
#include "OptionsForm.h"
#include "sane/SaneTestSupport.h"

namespace vantorel::test {
namespace {

class SaneCommandTest : public TSaneTestBase {
protected:
    void SetUp() override
    {
        TSaneTestBase::SetUp();
        FSavedRuntimeDir = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(FRun.Path()));
        WriteFile(FProgram / "phoneslist.xml", "<phoneslist/>");
        std::filesystem::create_directories(FProgram / "Logo Directory/scans");
        WriteFile(FProgram / "logodirectory.xml",
                  R"(<logodirectory><logodirnode nodekind="folder" nodename="scans"/></logodirectory>)");
        FForm = std::make_unique<TMainAppForm>(FProgram.Path(), &FPrompts);
        FOptions = std::make_unique<TOptionsForm>(FProgram.Path(), FForm->XMLSource(), FForm->Prompts());
        FForm->SetOptionsForm(FOptions.get());
        FForm->SetAcquireForms(&FFormatChoice, nullptr);
        FOptions->Options().importedfileformat = iffPNG; // pixels kept as they are
        FForm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(FForm.get()));
        FForm->LogoTreeView->setCurrentIndex(
            static_cast<TLogoTreeModel *>(FForm->LogoTreeView->model())->IndexOf(Scans()));
        QApplication::processEvents();
    }
    void TearDown() override
    {
        FForm.reset();
        TWAIN_SetWindowsFolder({});
        qputenv("XDG_RUNTIME_DIR", FSavedRuntimeDir);
        TSaneTestBase::TearDown();
    }
    TLogoNode *Scans() const { return FForm->LogoTree().Root()->Item(0); }

    TTempDir FProgram, FRun;
    QByteArray FSavedRuntimeDir;
    TScriptedPromptService FPrompts;
    TFileFormatChoiceForm FFormatChoice;
    std::unique_ptr<TMainAppForm> FForm;
    std::unique_ptr<TOptionsForm> FOptions;
};

TEST_F(SaneCommandTest, ScansBecomeLogosWithScanimagesPixelsAndACancelAddsNothing)
{
    EXPECT_TRUE(FForm->ImportFromTWAINToolButton->isEnabled());
    const struct {
        const char *Description;
        std::string Conf;
        std::vector<TStep> Steps;
        const char *Picture;
        const char *Logo; // none: nothing is added
    } cases[] = {
        {"Cancel before scanning", "", {PressCancel}, nullptr, nullptr},
        {"colour", "", {PressScan}, "colour", "importedimage.png"},
        {"grey", "mode Gray\n", {PressScan}, "grey", "importedimage2.png"},
        {"black and white", "mode Gray\ndepth 1\n", {PressScan}, "black-and-white", "importedimage3.png"},
    };
    int logos = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Description);
        ConfigureSane(c.Conf);
        Drive(c.Steps);
        FForm->AcquireImageMenuItem->trigger();
        logos += c.Logo != nullptr;
        ASSERT_EQ(Scans()->Count(), logos);
        ASSERT_EQ(std::distance(std::filesystem::directory_iterator(FProgram / "Logo Directory/scans"),
                                std::filesystem::directory_iterator()),
                  logos);
        if (c.Logo) {
            EXPECT_EQ(Scans()->Item(logos - 1)->Text(), c.Logo);
            EXPECT_TRUE(ReadPicture(FProgram / "Logo Directory/scans/" + c.Logo) == ScanimagePicture(c.Picture));
        }
    }
    EXPECT_TRUE(FPrompts.Prompts().empty());
    EXPECT_TRUE(Boxes.empty());
}

} // namespace
} // namespace vantorel::test
