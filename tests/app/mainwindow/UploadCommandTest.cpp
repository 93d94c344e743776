// The Upload command from the main window against the recording fake service: the prompts and
// dialogs before an upload, its captions while it runs, and what its completion shows and keeps.
#include "MainForm.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include "AccessURLHint.h"
#include "DialogAnswers.h"
#include "DialogFrame.h"
#include "ExchangeThread.h"
#include "GIFProps.h"
#include "ImageCodecs.h"
#include "JPEGProps.h"
#include "LogoIndexSaver.h"
#include "LogoTreeModel.h"
#include "OptionsForm.h"
#include "ProxyAuthentication.h"
#include "StatusPanels.h"
#include "SystemAuthorization.h"
#include "TestSupport.h"
#include "ServiceWindowFixture.h"

namespace vantorel {
namespace {

using namespace std::chrono_literals;
using test::Reply;

constexpr const char *kConnectionFailed = "Connection to server failed. Please check your proxy settings in menu "
                                          "\"Edit->Options\" and try again.";

class UploadCommandTest : public test::TServiceWindowTest {
protected:
    void SetUp() override
    {
        WriteProgramFolder("uploadhost");
        std::filesystem::create_directories(FFolder / "Logo Directory");
        TBitmap picture(200, 100);
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 200; ++x)
                picture.SetPixel(x, y, RGBColor(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y * 2), 90));
        WritePNG(picture, FFolder / "Logo Directory/cat.png");
        WriteJPEG(picture, FFolder / "Logo Directory/dog.jpeg", 90);
        WriteGIF(picture, FFolder / "Logo Directory/bird.gif", 8);
        WritePNG(picture, FFolder / "Logo Directory/bird2.png");
        std::string nodes;
        for (const char *name : {"cat.png", "dog.jpeg", "bird.gif", "bird2.png"})
            nodes += std::string("<logodirnode nodekind=\"logo\" nodename=\"") + name +
                     "\" frameleft=\"-1\" frametop=\"-1\" framewidth=\"-1\" frameheight=\"-1\" phonemakeid=\"-1\" "
                     "phonemodelid=\"-1\" logowidth=\"120\" logoheight=\"160\" fitkind=\"bigger\" "
                     "keepproportions=\"yes\" uploadurl=\"" +
                     (std::string(name) == "bird2.png" ? "http://m.vantorel.example/p?id=1" : "") + "\"/>";
        test::WriteFile(FFolder / "logodirectory.xml", "<logodirectory>" + nodes + "</logodirectory>");

        OpenWindow();
        FHint = std::make_unique<TAccessURLHintForm>();
        FHint->SetOptionsForm(FOptions.get());
        FJPEG = std::make_unique<TJPEGPropsForm>(FFolder.Path(), *FOptions);
        FGIF = std::make_unique<TGIFPropsForm>(FFolder.Path(), *FOptions);
        FForm->SetUploadDialogs(FHint.get(), FJPEG.get(), FGIF.get());
        FForm->resize(803, 610);
        ShowWindow();
        FService.SetReply("/memberstatus.php", Reply("SUCCESS\n1\n2\n3"));
        FService.SetReply("/upload.php", Reply("SUCCESS\nhttp://m.vantorel.example/p?id=77"));
        Select("cat.png");
    }

    TLogoNode *Node(const std::string &name)
    {
        TLogoNode *root = FForm->LogoTree().Root();
        for (int i = 0; i < root->Count(); ++i)
            if (root->Item(i)->Text() == name)
                return root->Item(i);
        return nullptr;
    }
    void Select(const std::string &name)
    {
        auto *model = static_cast<TLogoTreeModel *>(FForm->LogoTreeView->model());
        FForm->LogoTreeView->setCurrentIndex(model->IndexOf(Node(name)));
        QApplication::processEvents();
        ASSERT_EQ(FForm->LogoTree().Selected(), Node(name));
    }
    // Presses Upload and waits until the upload has ended.
    void Upload()
    {
        FForm->UploadButton->click();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !FForm->Uploading(); }, 5000));
    }
    std::vector<std::string> Paths() const
    {
        std::vector<std::string> paths;
        for (const auto &request : FService.Requests())
            paths.push_back(request.Path);
        return paths;
    }
    bool TempIsEmpty() const { return !test::Exists(FFolder / "Temp") || std::filesystem::is_empty(FFolder / "Temp"); }

    std::unique_ptr<TAccessURLHintForm> FHint;
    std::unique_ptr<TJPEGPropsForm> FJPEG;
    std::unique_ptr<TGIFPropsForm> FGIF;
};

TEST_F(UploadCommandTest, AMemberUploadShowsTheAddressesAndTheHintAndKeepsTheAddress)
{
    FDialogs.Actions["vantorel::TAccessURLHintForm"] = [this](QDialog &hint) {
        EXPECT_EQ(static_cast<TAccessURLHintForm &>(hint).MobileURL->toPlainText(),
                  "http://m.vantorel.example/?login=joe&password=pw");
        // The address is on the disk while the hint is still up.
        EXPECT_TRUE(QTest::qWaitFor(
            [this] { return test::ReadFile(FFolder / "logodirectory.xml").find("p?id=77") != std::string::npos; },
            2000));
        hint.reject();
    };
    QTest::qWait(2 * TLogoIndexSaver::kDelayMs); // the changes of the start written
    Upload();
    EXPECT_EQ(FDialogs.Shown, std::vector<std::string>{"vantorel::TAccessURLHintForm"});
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/memberstatus.php", "/upload.php"}));
    EXPECT_EQ(Node("cat.png")->Data()->UploadURL, "http://m.vantorel.example/p?id=77");
    EXPECT_EQ(FForm->ImageWapShortURL->text(), "http://m.vantorel.example/p?id=77");
    EXPECT_EQ(FForm->ImageWapShortURL->cursorPosition(), 0); // shown from its start
    EXPECT_EQ(FForm->ImageWapURL->toPlainText(), "http://m.vantorel.example/p?id=77&login=joe&password=pw");
    EXPECT_EQ(FForm->ImageID->text(), "77");
    EXPECT_EQ(FForm->UploadButton->text(), "Upload again");
    EXPECT_EQ(FForm->UploadToolButton->toolTip(), "Upload again");
    EXPECT_EQ(Status(), "Done.");
    EXPECT_TRUE(FPrompts.Texts().empty());
    EXPECT_TRUE(TempIsEmpty());
    // The uploaded file was the rendered logo under the logo's name.
    const auto parts = FService.Requests().back().Parts;
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[3].FileName, "cat.png");
    test::WriteFile(FFolder / "uploaded.png", parts[3].Content);
    EXPECT_EQ(ReadPicture(FFolder / "uploaded.png").Width(), 120);
}

TEST_F(UploadCommandTest, AGuestSeesTheReplyInFullAndTheGuestLinkAndNoHintWhenItIsOff)
{
    FOptions->Options().login = "GuEsT";
    FOptions->Options().enableaccesshint = false;
    Upload();
    EXPECT_TRUE(FDialogs.Shown.empty());
    EXPECT_EQ(FForm->ImageWapURL->toPlainText(), "http://m.vantorel.example/p?id=77");
    EXPECT_EQ(FForm->ImageWapShortURL->text(), "http://m.vantorel.example/p");
    EXPECT_EQ(FHint->MobileURL->toPlainText(), "http://wap.vantorel.example/");
}

TEST_F(UploadCommandTest, TheLoginLoopRunsFirstAndItsCancelEndsTheCommand)
{
    FOptions->Options().password.clear();
    Upload();
    EXPECT_EQ(FDialogs.Shown, std::vector<std::string>{"vantorel::TSysAuthForm"});
    EXPECT_EQ(FService.RequestCount(), 0u);

    FDialogs.Actions["vantorel::TSysAuthForm"] = [](QDialog &dialog) {
        static_cast<TSysAuthForm &>(dialog).Password->setText(QStringLiteral("typed"));
        dialog.accept();
    };
    FDialogs.Actions["vantorel::TAccessURLHintForm"] = [](QDialog &hint) { hint.reject(); };
    Upload();
    EXPECT_EQ(FService.Requests().at(0).Parts.at(1).Content, "typed");
    EXPECT_NE(test::ReadFile(FFolder / "options.xml").find("\"typed\""), std::string::npos);
}

TEST_F(UploadCommandTest, TheJPEGDialogIsSizedFromTheLogoAndItsCancelEndsTheCommand)
{
    Select("dog.jpeg");
    Upload();
    ASSERT_EQ(FDialogs.Shown, std::vector<std::string>{"vantorel::TJPEGPropsForm"});
    // 120 + 16 is below the least width, which the caption may widen.
    EXPECT_EQ(FDialogs.Sizes.at(0), QSize(std::max(200, CaptionWidth("JPEG Picture Properties")), 340));
    EXPECT_EQ(FService.RequestCount(), 0u);

    FOptions->Options().showjpegdialog = false;
    FOptions->Options().enableaccesshint = false;
    Select("bird.gif");
    Upload();
    EXPECT_EQ(FDialogs.Shown.back(), "vantorel::TGIFPropsForm");
    Select("dog.jpeg");
    Upload();
    EXPECT_EQ(FDialogs.Shown.size(), 2u);
    EXPECT_EQ(FService.Requests().back().Parts.back().FileName, "dog.jpeg");
}

TEST_F(UploadCommandTest, WhileItRunsTheCommandReadsStopUploadAndAStopEndsItQuietly)
{
    FService.SetReply("/memberstatus.php", Reply("SUCCESS\n1\n2\n3", 200, true));
    FForm->UploadButton->click();
    ASSERT_TRUE(FService.WaitForRequests(1, 5s));
    EXPECT_TRUE(FForm->Uploading());
    EXPECT_EQ(FForm->UploadButton->text(), "Stop upload");
    EXPECT_EQ(FForm->UploadMenuItem->text(), "Stop upload");
    EXPECT_EQ(FForm->UploadToolButton->toolTip(), "Stop upload");
    EXPECT_EQ(Status(), "Uploading image to server...");
    EXPECT_FALSE(TempIsEmpty());

    const auto stop = std::chrono::steady_clock::now();
    FForm->UploadMenuItem->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !FForm->Uploading(); }, 1000));
#ifdef VANTOREL_SANITIZED
    EXPECT_LT(std::chrono::steady_clock::now() - stop, 600ms); // the sanitized code is slower
#else
    EXPECT_LT(std::chrono::steady_clock::now() - stop, 200ms);
#endif
    EXPECT_EQ(Status(), "Upload broken by user.");
    EXPECT_TRUE(FPrompts.Texts().empty());
    EXPECT_EQ(FForm->UploadButton->text(), "Upload");
    EXPECT_EQ(Node("cat.png")->Data()->UploadURL, "");
    EXPECT_TRUE(TempIsEmpty());
    FService.ReleaseHeld();
    EXPECT_EQ(Paths(), std::vector<std::string>{"/memberstatus.php"});
}

TEST_F(UploadCommandTest, BadRepliesReportTheConnectionAndKeepTheAddress)
{
    const test::TScriptedReply replies[] = {Reply("HELLO\nhttp://evil.example/"), Reply("SUCCESS"),
                                            Reply("SUCCESS\nhttp://m/p?id=5", 500)};
    Select("bird2.png");
    for (const auto &reply : replies) {
        FService.SetReply("/upload.php", reply);
        FPrompts.Clear();
        Upload();
        EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{kConnectionFailed}) << reply.Body;
        EXPECT_EQ(Node("bird2.png")->Data()->UploadURL, "http://m.vantorel.example/p?id=1");
        EXPECT_EQ(Status(), "Done.");
    }
}

TEST_F(UploadCommandTest, CodeWordsAndErrorsShowTheirBoxesAndListedAddressesAreCleared)
{
    FService.SetReply("/memberstatus.php", Reply("MESSAGE\nWRONG_LOGIN_OR_PASSWORD"));
    Upload();
    EXPECT_EQ(FPrompts.Texts(),
              std::vector<std::string>{"Login or password incorrect! In order to enter login and password open menu "
                                       "\"Edit->Options\" and set parameters in \"System Authorization\" groupbox."});
    EXPECT_EQ(FService.RequestCount(), 1u);

    FPrompts.Clear();
    FService.SetReply("/memberstatus.php", Reply("SUCCESS\n1\n2\n3"));
    FService.SetReply("/upload.php", Reply("ERROR\n<b>Full</b> disk\nhttp://m.vantorel.example/p?id=1"));
    Upload();
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"<b>Full</b> disk"});
    EXPECT_EQ(Node("bird2.png")->Data()->UploadURL, "");
    EXPECT_EQ(Node("cat.png")->Data()->UploadURL, "");
}

TEST_F(UploadCommandTest, ARenderThatCannotBeWrittenStartsNothing)
{
    test::WriteFile(FFolder / "Temp", "a file where the folder should be");
    FForm->UploadButton->click();
    EXPECT_FALSE(FForm->Uploading());
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"Error uploading logo. Check if your hard disk is not full "
                                                         "and you have write permission."});
    // The box blames the disk; its detail names what really failed.
    EXPECT_NE(FPrompts.Prompts().front().Detail.find("Temp"), std::string::npos) << FPrompts.Prompts().front().Detail;
    EXPECT_EQ(FForm->UploadButton->text(), "Upload");
}

TEST_F(UploadCommandTest, AProxyPortThatIsNoNumberIsReportedBeforeAnythingStarts)
{
    FOptions->Options().proxysource = psManual;
    FOptions->Options().proxyhost = "127.0.0.1";
    FOptions->Options().proxyport = "80a";
    FForm->UploadButton->click();
    EXPECT_FALSE(FForm->Uploading());
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"'80a' is not a valid integer value"});
    EXPECT_TRUE(TempIsEmpty());
}

TEST_F(UploadCommandTest, ShutDownDuringAnUploadEndsItAndLeavesNoFile)
{
    FService.SetReply("/memberstatus.php", Reply("SUCCESS\n1\n2\n3", 200, true));
    FForm->UploadButton->click();
    ASSERT_TRUE(FService.WaitForRequests(1, 5s));
    FForm->ShutdownApplication();
    EXPECT_EQ(TExchangeThread::RunningCount(), 0);
    QApplication::processEvents();
    EXPECT_TRUE(TempIsEmpty());
    EXPECT_TRUE(FPrompts.Texts().empty());
    EXPECT_EQ(Status(), "Uploading image to server..."); // no completion ran
}

} // namespace
} // namespace vantorel
