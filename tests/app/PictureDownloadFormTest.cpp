// The picture download dialog against the recording fake service: the checks of the address and
// the folder, and the close refused while the transfer runs.
#include "PictureDownload.h"

#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QEvent>
#include <QTest>

#include <gtest/gtest.h>

#include "ExchangeThread.h"
#include "PictureDownloadThread.h"
#include "TestSupport.h"
#include "fixtures/FakeWebService.h"

namespace vantorel {
namespace {

class PictureDownloadFormTest : public ::testing::Test {
protected:
    PictureDownloadFormTest() : FForm(FFolder.Path(), FPrompts)
    {
        FForm.SetOptionsSource([] { return TOptionValues{.proxysource = psNoProxy}; }, [this] { return FProxyAnswer; });
        FService.SetReply("/pics/pic.jpeg", {.Body = "picture bytes"});
        FService.SetReply("/pics/missing.png", {.Status = 404});
    }
    void TearDown() override
    {
        FService.ReleaseHeld();
        TExchangeThread::StopAll();
    }
    // Shows the dialog for the address, "@" standing for the fake service, until it closes.
    void Run(std::string url)
    {
        if (!url.empty() && url[0] == '@')
            url = FService.Url(url.substr(1));
        FPrompts.Clear();
        FForm.SetURL(url);
        FForm.open();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !FForm.isVisible(); }, 5000));
    }

    test::TTempDir FFolder;
    test::TFakeWebService FService;
    TScriptedPromptService FPrompts;
    bool FProxyAnswer = true;
    TPictureDownloadForm FForm;
};

TEST_F(PictureDownloadFormTest, TheAddressDecidesWhatIsFetchedAndUnderWhichName)
{
    struct TCase {
        const char *URL;
        int Result;
        std::vector<std::string> Boxes;
        const char *SavedAs; // the name in the download's own folder under Temp; "" for none
    };
    const std::string failed = kPictureDownloadFailed;
    const std::vector<TCase> cases = {
        {"", QDialog::Rejected, {}, ""},
        {"@/pics/pic.jpeg", QDialog::Accepted, {}, "pic.jpeg"},
        {"@/pics/pic.jpg?size=2", QDialog::Rejected, {"Unsupported picture file type : .JPG?SIZE=2"}, ""},
        {"@/pics/pic.gif\\x", QDialog::Rejected, {"Unsupported picture file type : "}, ""},
        {"@/pics/missing.png", QDialog::Rejected, {failed}, "missing.png"},
        {"ftp://127.0.0.1:1/x.jpg", QDialog::Rejected, {failed}, "x.jpg"},
        {"file:///etc/hostname.png", QDialog::Rejected, {failed}, "hostname.png"},
        {"@/pics/a\\..\\..\\evil.png", QDialog::Accepted, {}, "a\\..\\..\\evil.png"},
    };
    for (const TCase &c : cases) {
        Run(c.URL);
        EXPECT_EQ(FForm.result(), c.Result) << c.URL;
        EXPECT_EQ(FPrompts.Texts(), c.Boxes) << c.URL;
        const std::filesystem::path target = FForm.TargetFileName();
        EXPECT_EQ(target.filename(), c.SavedAs) << c.URL;
        if (!target.empty()) {
            EXPECT_EQ(target.parent_path().parent_path(), FFolder / "Temp") << c.URL;
        }
        FForm.DeleteDownloadedFile();
        EXPECT_TRUE(!test::Exists(FFolder / "Temp") || std::filesystem::is_empty(FFolder / "Temp")) << c.URL;
    }
    // Only the service's addresses reached it, the picture once.
    EXPECT_EQ(FService.RequestCount(), 3u);
}

TEST_F(PictureDownloadFormTest, AFolderOrAPromptThatFailsEndsBeforeTheTransfer)
{
    FProxyAnswer = false;
    Run("@/pics/pic.jpeg");
    EXPECT_EQ(FForm.result(), QDialog::Rejected);
    EXPECT_TRUE(FPrompts.Texts().empty());
    EXPECT_NE(FForm.TargetFileName(), ""); // named before the prompt
    FForm.DeleteDownloadedFile();

    std::filesystem::remove_all(FFolder / "Temp");
    test::WriteFile(FFolder / "Temp", "a file where the folder should be");
    Run("@/pics/pic.jpeg");
    EXPECT_EQ(FForm.result(), QDialog::Rejected);
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"Could not write temporary picture file."});
    EXPECT_EQ(FService.RequestCount(), 0u);
}

TEST_F(PictureDownloadFormTest, NeitherTheTitleBarNorAnActivationTouchesARunningDownload)
{
    FService.SetReply("/pics/pic.jpeg", {.Body = "picture bytes", .Hold = true});
    FForm.SetURL(FService.Url("/pics/pic.jpeg"));
    FForm.open();
    ASSERT_TRUE(QTest::qWaitFor([this] { return FService.RequestCount() == 1; }, 5000));
    EXPECT_FALSE(FForm.close());
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&FForm, &activate);
    QTest::qWait(50);
    EXPECT_TRUE(FForm.isVisible());
    FService.ReleaseHeld();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !FForm.isVisible(); }, 5000));
    EXPECT_EQ(FForm.result(), QDialog::Accepted);
    EXPECT_EQ(FService.RequestCount(), 1u); // started once for the showing
}

} // namespace
} // namespace vantorel
