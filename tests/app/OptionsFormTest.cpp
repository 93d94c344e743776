#include "OptionsForm.h"

#include <cstdlib>

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

    TTempDir FFolder;
    TXMLSource FXml;
    TScriptedPromptService FPrompts;
};

TEST_F(OptionsFormTest, WithoutAFileEveryControlHoldsItsDefault)
{
    auto form = MakeForm();
    EXPECT_EQ(form->Values(), TOptionValues{});
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
    // A choice outside its list shows the option's default.
    EXPECT_EQ(form->MirrorRetainSourceComboBox->currentIndex(), srDelete);
}

TEST_F(OptionsFormTest, SystemProxySourceTakesHostAndPortFromTheSystem)
{
    ::setenv("http_proxy", "http://cache.example:3130/", 1);
    WriteOptions(R"(<proxysource value="ie"/><proxyhost value="old"/><proxyport value="1"/>)");
    auto form = MakeForm();
    EXPECT_EQ(form->Host->text(), "cache.example");
    EXPECT_EQ(form->Port->text(), "3130");
    EXPECT_FALSE(form->Host->isEnabled());
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

TEST_F(OptionsFormTest, OkSavesAndCancelReadsTheFileBack)
{
    auto form = MakeForm();
    form->Login->setText("typed");
    form->reject();
    EXPECT_EQ(form->Login->text(), ""); // no file: back to the default

    form->Login->setText("kept");
    form->Password->setText("p<&>\"");
    form->accept();
    const std::string saved = ReadFile(FFolder / "options.xml");
    EXPECT_NE(saved.find(R"(<login value="kept")"), std::string::npos);
    form->Login->setText("changed");
    form->reject();
    EXPECT_EQ(form->Login->text(), "kept");
    EXPECT_EQ(form->Password->text(), "p<&>\"");
}

TEST_F(OptionsFormTest, FailedSaveIsReported)
{
    std::filesystem::create_directories(FFolder / "options.xml/occupied");
    auto form = MakeForm();
    FPrompts.Clear();
    form->SaveOptions();
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"Error saving application options"});
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
