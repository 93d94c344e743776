#include "OptionsForm.h"

#include <cstdlib>
#include <filesystem>
#include <functional>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStackedWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "ColorButton.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

class OptionsFormTest : public ::testing::Test {
protected:
    void SetUp() override { ::unsetenv("http_proxy"); }
    void TearDown() override { ::unsetenv("http_proxy"); }

    std::unique_ptr<TOptionsForm> MakeForm() { return std::make_unique<TOptionsForm>(FFolder.Path(), FXml, FPrompts); }
    void WriteOptions(const std::string &body)
    {
        WriteFile(FFolder / "options.xml", "<options>" + body + "</options>");
    }
    TOptionValues FileValues()
    {
        TOptionValues values;
        TXMLSource xml;
        EXPECT_EQ(ReadOptionsFile(FFolder / "options.xml", xml, values), TOptionsReadResult::Read);
        return values;
    }

    TTempDir FFolder;
    TXMLSource FXml;
    TScriptedPromptService FPrompts;
};

TEST_F(OptionsFormTest, WithoutAFileEveryControlHoldsItsDefault)
{
    auto form = MakeForm();
    EXPECT_EQ(form->Values(), TOptionValues{});
    EXPECT_EQ(form->Options(), TOptionValues{});
    EXPECT_TRUE(FPrompts.Prompts().empty());
    EXPECT_FALSE(form->Host->isEnabled());
    EXPECT_FALSE(form->ProxyLogin->isEnabled());
    EXPECT_FALSE(form->FEmptyAreaColorButton->isEnabled());
    EXPECT_EQ(form->JPEGQualityLabel->text(), "JPEG Quality: 90%");
    EXPECT_EQ(form->GIFBitDepthLabel->text(), "Bits Per Pixel: 8 bits");
    EXPECT_EQ(form->windowTitle(), "Vantorel Options");
}

TEST_F(OptionsFormTest, TrackBarsClampAndTheJpegBarRoundsToTens)
{
    struct Row {
        const char *jpeg;
        int expectedJpeg;
        const char *gif;
        int expectedGif;
    } rows[] = {{"93", 90, "12", 8}, {"95", 100, "2", 3}, {"5", 10, "5", 5}, {"abc", 90, "", 8}, {"45", 50, "-3", 3}};
    for (const Row &row : rows) {
        WriteOptions(std::string("<jpegquality value=\"") + row.jpeg + "\"/><gifbitdepth value=\"" + row.gif + "\"/>");
        auto form = MakeForm();
        EXPECT_EQ(form->JPEGQualityTrackBar->value(), row.expectedJpeg) << row.jpeg;
        EXPECT_EQ(form->GIFBitDepthTrackBar->value(), row.expectedGif) << row.gif;
        // The options in force hold what the controls show, not the file's text.
        EXPECT_EQ(form->Options().jpegquality, row.expectedJpeg) << row.jpeg;
        EXPECT_EQ(form->Options().gifbitdepth, row.expectedGif) << row.gif;
    }
}

TEST_F(OptionsFormTest, MovingTheJpegBarSettlesOnTens)
{
    auto form = MakeForm();
    form->JPEGQualityTrackBar->setValue(43);
    EXPECT_EQ(form->JPEGQualityTrackBar->value(), 40);
    EXPECT_EQ(form->JPEGQualityLabel->text(), "JPEG Quality: 40%");
    form->JPEGQualityTrackBar->setValue(45);
    EXPECT_EQ(form->JPEGQualityTrackBar->value(), 50);
}

TEST_F(OptionsFormTest, ValuesFromTheFileReachTheControls)
{
    WriteOptions(R"(<login value="joe"/><proxysource value="Manual"/><proxyhost value="cache"/>
        <proxyport value="8080"/><proxyauthentication value="yes"/><fillemptyarea value="YES"/>
        <emptyareacolor value="$FF"/><convertretainsource value="1"/><importedfileformat value="4"/>
        <mirrorretainsource value="7"/>)");
    auto form = MakeForm();
    EXPECT_EQ(form->Login->text(), "joe");
    EXPECT_EQ(form->ProxySourceRadioGroup->checkedId(), psManual);
    EXPECT_EQ(form->Host->text(), "cache");
    EXPECT_EQ(form->Port->text(), "8080");
    EXPECT_TRUE(form->Host->isEnabled());
    EXPECT_TRUE(form->ProxyLogin->isEnabled());
    EXPECT_TRUE(form->FEmptyAreaColorButton->isEnabled());
    EXPECT_EQ(form->FEmptyAreaColorButton->ButtonColor(), 255);
    EXPECT_EQ(form->ConvertRetainSourceComboBox->currentIndex(), srRetain);
    EXPECT_EQ(form->ImportedFileFormatComboBox->currentText(), "Ask");
    // A choice outside its list shows, and holds, the option's default.
    EXPECT_EQ(form->MirrorRetainSourceComboBox->currentIndex(), srDelete);
    EXPECT_EQ(form->Options(), form->Values());
    EXPECT_EQ(form->Options().mirrorretainsource, srDelete);
}

TEST_F(OptionsFormTest, SystemProxySourceTakesHostAndPortFromTheSystem)
{
    ::setenv("http_proxy", "http://cache.example:3130/", 1);
    WriteOptions(R"(<proxysource value="ie"/><proxyhost value="old"/><proxyport value="1"/>)");
    auto form = MakeForm();
    EXPECT_EQ(form->Host->text(), "cache.example");
    EXPECT_EQ(form->Port->text(), "3130");
    EXPECT_FALSE(form->Host->isEnabled());
    EXPECT_EQ(form->Options().proxyhost, "cache.example");
    EXPECT_EQ(form->Options().proxyport, "3130");

    // Cancel after switching to a manual proxy shows the system's again, without asking the
    // system anew.
    form->ProxySourceRadioGroup->button(psManual)->click();
    EXPECT_TRUE(form->Host->isEnabled());
    form->Host->setText("typed");
    ::setenv("http_proxy", "http://other:1/", 1);
    form->reject();
    EXPECT_EQ(form->ProxySourceRadioGroup->checkedId(), psIE);
    EXPECT_EQ(form->Host->text(), "cache.example");
    EXPECT_FALSE(form->Host->isEnabled());
    EXPECT_FALSE(form->ProxyRequiresAuthentication->isEnabled());
    // Choosing the system item reads the system's settings of the moment.
    form->ProxySourceRadioGroup->button(psIE)->click();
    EXPECT_EQ(form->Host->text(), "other");
    EXPECT_EQ(form->Options().proxyhost, "cache.example");
}

TEST_F(OptionsFormTest, CorruptFileIsReportedAndKeepsWhatWasReadBeforeTheDamage)
{
    WriteFile(FFolder / "options.xml", "<options><login value=\"kept\"/><password value=");
    auto form = MakeForm();
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"Options file is corrupt."});
    // The damaged file is set aside when a save replaces it, once.
    EXPECT_FALSE(test::Exists(FFolder / "options.xml.damaged"));
    form->SaveOptions();
    form->SaveOptions();
    EXPECT_EQ(ReadFile(FFolder / "options.xml.damaged"), "<options><login value=\"kept\"/><password value=");
    EXPECT_FALSE(test::Exists(FFolder / "options.xml.damaged-2"));

    FPrompts.Clear();
    WriteFile(FFolder / "options.xml", "<settings><login value=\"x\"/></settings>");
    auto second = MakeForm();
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"Options file is corrupt."});
    EXPECT_EQ(second->Login->text(), "");
}

TEST_F(OptionsFormTest, OkSavesAndCancelRestoresTheOptionsInForce)
{
    auto form = MakeForm();
    form->Login->setText("typed");
    form->reject();
    EXPECT_EQ(form->Login->text(), ""); // no file: back to the default
    EXPECT_FALSE(test::Exists(FFolder / "options.xml"));

    form->Login->setText("kept");
    form->Password->setText("p<&>\"");
    form->accept();
    const std::string saved = ReadFile(FFolder / "options.xml");
    EXPECT_NE(saved.find(R"(<login value="kept")"), std::string::npos);
    form->Login->setText("changed");
    form->reject();
    EXPECT_EQ(form->Login->text(), "kept");
    EXPECT_EQ(form->Password->text(), "p<&>\"");
    EXPECT_EQ(ReadFile(FFolder / "options.xml"), saved);
}

// One edit of a control per case: it reaches the options only through OK.
struct EditCase {
    const char *what;
    std::function<void(TOptionsForm &)> edit;
    std::function<void(TOptionValues &)> expect;
};

TEST_F(OptionsFormTest, EditsReachTheOptionsOnlyThroughOk)
{
    const EditCase cases[] = {
        {"login", [](TOptionsForm &f) { f.Login->setText("joe"); }, [](TOptionValues &v) { v.login = "joe"; }},
        {"manual proxy with credentials",
         [](TOptionsForm &f) {
             f.ProxySourceRadioGroup->button(psManual)->click();
             f.Host->setText("cache");
             f.Port->setText("x");
             f.ProxyRequiresAuthentication->click();
             f.ProxyPassword->setText("secret");
         },
         [](TOptionValues &v) {
             v.proxysource = psManual;
             v.proxyhost = "cache";
             v.proxyport = "x";
             v.proxyauthentication = true;
             v.proxypassword = "secret";
         }},
        {"fill colour",
         [](TOptionsForm &f) {
             f.FillInEmptyAreaCheckBox->setChecked(true);
             f.FEmptyAreaColorButton->SetButtonColor(0x00FF00);
         },
         [](TOptionValues &v) {
             v.fillemptyarea = true;
             v.emptyareacolor = 0x00FF00;
         }},
        {"jpeg bar rounds", [](TOptionsForm &f) { f.JPEGQualityTrackBar->setValue(66); },
         [](TOptionValues &v) { v.jpegquality = 70; }},
        {"grab format", [](TOptionsForm &f) { f.GrabbedFileFormatComboBox->setCurrentIndex(kAskImageFileFormat); },
         [](TOptionValues &v) { v.grabbedfileformat = kAskImageFileFormat; }},
    };
    for (const EditCase &c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(FFolder / "options.xml");
        auto form = MakeForm();
        const TOptionValues before = form->Options();
        TOptionValues expected = before;
        c.expect(expected);

        c.edit(*form);
        EXPECT_EQ(form->Options(), before); // what the commands read is untouched while editing
        form->reject();
        EXPECT_EQ(form->Options(), before);
        EXPECT_EQ(form->Values(), before);
        EXPECT_FALSE(form->Host->isEnabled());
        EXPECT_FALSE(form->FEmptyAreaColorButton->isEnabled());

        c.edit(*form);
        form->accept();
        EXPECT_EQ(form->Options(), expected);
        EXPECT_EQ(FileValues(), expected);
    }
}

TEST_F(OptionsFormTest, CancelDoesNotReadTheFileAgain)
{
    WriteOptions(R"(<login value="in force"/><jpegquality value="40"/>)");
    auto form = MakeForm();
    // The file changes behind the dialog, even into one that cannot be read.
    for (const char *content :
         {"<options><login value=\"on disk\"/><jpegquality value=\"80\"/></options>", "<options><login value="}) {
        SCOPED_TRACE(content);
        WriteFile(FFolder / "options.xml", content);
        form->Login->setText("typed");
        form->reject();
        EXPECT_EQ(form->Login->text(), "in force");
        EXPECT_EQ(form->JPEGQualityTrackBar->value(), 40);
        EXPECT_EQ(form->JPEGQualityLabel->text(), "JPEG Quality: 40%");
        EXPECT_EQ(form->Options().login, "in force");
        EXPECT_TRUE(FPrompts.Prompts().empty());
        EXPECT_EQ(ReadFile(FFolder / "options.xml"), content);
    }
}

TEST_F(OptionsFormTest, ShowingFillsTheControlsFromTheOptions)
{
    auto form = MakeForm();
    // Other parts change options while the dialog is hidden (login and properties dialogs).
    form->Options().login = "from a login dialog";
    form->Options().jpegquality = 30;
    form->Options().gifbitdepth = 5;
    form->Options().proxysource = psManual;
    form->Options().fillemptyarea = true;
    EXPECT_EQ(form->Login->text(), "");
    form->show();
    EXPECT_EQ(form->Login->text(), "from a login dialog");
    EXPECT_EQ(form->JPEGQualityLabel->text(), "JPEG Quality: 30%");
    EXPECT_EQ(form->GIFBitDepthLabel->text(), "Bits Per Pixel: 5 bits");
    EXPECT_TRUE(form->Host->isEnabled());
    EXPECT_FALSE(form->ProxyLogin->isEnabled());
    EXPECT_TRUE(form->FEmptyAreaColorButton->isEnabled());
    form->reject();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->Options().login, "from a login dialog");
}

TEST_F(OptionsFormTest, SaveWritesTheOptionsNotTheControls)
{
    auto form = MakeForm();
    form->Login->setText("typed, not confirmed");
    form->Options().login = "account";
    form->Options().password = "pass";
    form->SaveOptions();
    const TOptionValues saved = FileValues();
    EXPECT_EQ(saved.login, "account");
    EXPECT_EQ(saved.password, "pass");
}

TEST_F(OptionsFormTest, FailedSaveIsReported)
{
    std::filesystem::create_directories(FFolder / "options.xml/occupied");
    auto form = MakeForm();
    FPrompts.Clear();
    form->SaveOptions();
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"Error saving application options"});

    // After a failed save on OK the new values stay in effect for the run.
    FPrompts.Clear();
    form->Login->setText("new");
    form->accept();
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"Error saving application options"});
    EXPECT_EQ(form->Options().login, "new");
}

TEST_F(OptionsFormTest, ThePageTreeRefusesItsRoot)
{
    auto form = MakeForm();
    QTreeWidgetItem *root = form->OptionsTreeView->topLevelItem(0);
    form->OptionsTreeView->setCurrentItem(root->child(1));
    ASSERT_EQ(form->OptionsPageControl->currentIndex(), 1);
    form->OptionsTreeView->setCurrentItem(root);
    EXPECT_EQ(form->OptionsTreeView->currentItem(), root->child(1));
    EXPECT_EQ(form->OptionsPageControl->currentIndex(), 1);
}

TEST(ColorButtonTest, ColourValuesAreBlueGreenRed)
{
    EXPECT_EQ(ColorFromValue(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(ColorFromValue(0xFF0000), QColor(0, 0, 255));
    EXPECT_EQ(ValueFromColor(QColor(1, 2, 3)), 0x030201);
}

} // namespace
} // namespace vantorel
