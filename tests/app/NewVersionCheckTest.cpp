// The new-version check that the options dialog's creation starts, against the recording fake
// service: when it asks, what it shows, and that it never reports a failure.
#include "OptionsForm.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include "DialogAnswers.h"
#include "ExchangeThread.h"
#include "NewAppVerDownloadRequest.h"
#include "TestSupport.h"
#include "fixtures/FakeWebService.h"
#include "fixtures/LoopbackPort.h"
#include "fixtures/TinyProxy.h"

namespace vantorel {
namespace {

using namespace std::chrono_literals;
using test::TFakeWebService;

constexpr const char *kNoProxy = "<proxysource value=\"noproxy\"/>";
constexpr const char *kDialog = "vantorel::TNewAppVerDownloadRequestForm";

test::TScriptedReply Answer(std::string body, bool hold = false)
{
    test::TScriptedReply reply;
    reply.Body = std::move(body);
    reply.Hold = hold;
    return reply;
}

class NewVersionCheckTest : public ::testing::Test {
protected:
    NewVersionCheckTest() { FParameters.SetValue("uploadhost", FService.HostPort()); }
    void TearDown() override { TExchangeThread::StopAll(); }

    // Creates the options dialog over this "options.xml" (which starts the check) and the
    // new-version dialog after it, as the program does.
    void Create(const std::string &options)
    {
        FOptions.reset(); // its end stops every exchange: it must not take the new check with it
        test::WriteFile(FFolder / "options.xml", "<options>" + options + "</options>");
        FOptions = std::make_unique<TOptionsForm>(FFolder.Path(), FXml, FPrompts, nullptr, &FParameters);
        FOptions->SetNewAppVerDownloadRequestForm(&FNewVersionForm);
        FOptions->StartBrowser = [this](const std::string &address, std::string &failure) {
            FOpened.push_back(address);
            failure = FBrowserFailure;
            return FBrowserFailure.empty();
        };
    }
    // Waits until the check has ended and its completion has run.
    void Finish()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !FOptions->CheckingNewVersion(); }, 5000));
    }

    test::TTempDir FFolder;
    TFakeWebService FService;
    TParameters FParameters;
    TXMLSource FXml;
    TScriptedPromptService FPrompts;
    test::TDialogAnswers FDialogs;
    TNewAppVerDownloadRequestForm FNewVersionForm;
    std::unique_ptr<TOptionsForm> FOptions;
    std::vector<std::string> FOpened;
    std::string FBrowserFailure;
};

TEST_F(NewVersionCheckTest, OnlyAnotherBodyOpensTheDialogAndYesStartsTheBrowserOnTheSetupFile)
{
    struct TCase {
        const char *What;
        std::string Body;
        int HttpStatus;
        bool Yes;
        const char *Shown; // the version the dialog shows; null when it does not open
    } cases[] = {
        {"our own version", "1.1.4", 200, true, nullptr},
        {"a newer one, No", "1.2.0", 200, false, "1.2.0"},
        {"a newer one, Yes", "1.2.0", 200, true, "1.2.0"},
        {"ours with a line break", "1.1.4\n", 200, true, "1.1.4\n"},
        {"markup is shown as it is", "<b>2.0</b>", 200, false, "<b>2.0</b>"},
        {"an HTTP error", "1.2.0", 500, true, nullptr},
        {"a body over 256 bytes", std::string(257, '2'), 200, true, nullptr},
    };
    for (const TCase &c : cases) {
        test::TScriptedReply reply;
        reply.Body = c.Body;
        reply.Status = c.HttpStatus;
        FService.SetReply("/curversion.php", reply);
        FDialogs.Shown.clear();
        FOpened.clear();
        QString label;
        FDialogs.Actions[kDialog] = [&label, yes = c.Yes](QDialog &dialog) {
            label = static_cast<TNewAppVerDownloadRequestForm &>(dialog).NewVersionLabel->text();
            yes ? dialog.accept() : dialog.reject();
        };
        Create(kNoProxy);
        Finish();
        EXPECT_EQ(FDialogs.Shown.size(), c.Shown ? 1u : 0u) << c.What;
        if (c.Shown) {
            EXPECT_EQ(label, QString::fromUtf8(c.Shown)) << c.What;
        }
        EXPECT_EQ(FOpened, c.Shown && c.Yes ? std::vector<std::string>{"http://www.vantorel.example/download/"
                                                                       "vantorel-setup.tar.gz"}
                                            : std::vector<std::string>{})
            << c.What;
    }
    EXPECT_EQ(FNewVersionForm.NewVersionLabel->textFormat(), Qt::PlainText);
    EXPECT_TRUE(FPrompts.Texts().empty());
    EXPECT_EQ(FService.RequestCount(), std::size(cases));
}

TEST_F(NewVersionCheckTest, ABrowserThatCannotStartIsReported)
{
    FService.SetReply("/curversion.php", Answer("1.2.0"));
    FDialogs.Actions[kDialog] = [](QDialog &dialog) { dialog.accept(); };
    FBrowserFailure = "No such file or directory xdg-open";
    Create(kNoProxy);
    Finish();
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"No such file or directory xdg-open"});
}

TEST_F(NewVersionCheckTest, WhenTheCheckDoesNotAskNothingIsShown)
{
    test::TTinyProxy proxy("joe", "pw");
    const std::string manualProxy = "<proxysource value=\"manual\"/><proxyhost value=\"127.0.0.1\"/>"
                                    "<proxyport value=\"" +
                                    std::to_string(proxy.Port()) + "\"/>";
    struct TCase {
        const char *What;
        std::string Options;
        bool Asks;
    } cases[] = {
        {"the option is off", std::string(kNoProxy) + "<checknewversion value=\"no\"/>", false},
        {"the proxy needs a password that is missing",
         manualProxy + "<proxyauthentication value=\"yes\"/><proxylogin value=\"joe\"/>", false},
        {"a proxy port that is no number",
         "<proxysource value=\"manual\"/><proxyhost value=\"127.0.0.1\"/>"
         "<proxyport value=\"80a\"/>",
         false},
        {"the proxy with both credentials",
         manualProxy + "<proxyauthentication value=\"yes\"/><proxylogin value=\"joe\"/>"
                       "<proxypassword value=\"pw\"/>",
         true},
    };
    FService.SetReply("/curversion.php", Answer("1.1.4"));
    for (const TCase &c : cases) {
        const std::size_t before = FService.RequestCount();
        Create(c.Options);
        EXPECT_EQ(FOptions->CheckingNewVersion(), c.Asks) << c.What;
        Finish();
        EXPECT_EQ(FService.RequestCount(), before + (c.Asks ? 1 : 0)) << c.What;
        EXPECT_EQ(FOptions->AppVerConn.ProxyParams, TProxyParams{}) << c.What;
    }
    // The last request came through the proxy, which took the credentials.
    EXPECT_TRUE(FService.Requests().back().Header("Via").has_value());
    EXPECT_TRUE(FDialogs.Shown.empty());
    EXPECT_TRUE(FPrompts.Texts().empty());
}

TEST_F(NewVersionCheckTest, ARefusedConnectionShowsNothingAndShutDownEndsAHeldCheck)
{
    FParameters.SetValue("uploadhost", "127.0.0.1:" + std::to_string(test::DeadLoopbackPort()));
    Create(kNoProxy);
    Finish();
    EXPECT_TRUE(FDialogs.Shown.empty());
    EXPECT_TRUE(FPrompts.Texts().empty());

    FParameters.SetValue("uploadhost", FService.HostPort());
    FService.SetReply("/curversion.php", Answer("1.2.0", true));
    Create(kNoProxy);
    ASSERT_TRUE(FService.WaitForRequests(1, 5s));
    const auto start = std::chrono::steady_clock::now();
    FOptions.reset(); // the dialog goes at shut-down and takes the check with it
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(TExchangeThread::RunningCount(), 0);
    QTest::qWait(20);
    EXPECT_TRUE(FDialogs.Shown.empty());
}

} // namespace
} // namespace vantorel
