// The new-version check that the options dialog's creation starts, against the recording fake
// service: when it asks, what it shows, and that it never reports a failure of its own.
#include "OptionsForm.h"

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

constexpr const char *kNoProxy = "<proxysource value=\"noproxy\"/>";
constexpr const char *kSetupFile = "http://www.vantorel.example/download/vantorel-setup.tar.gz";

class NewVersionCheckTest : public ::testing::Test {
protected:
    NewVersionCheckTest() { FParameters.SetValue("uploadhost", FService.HostPort()); }
    void TearDown() override { TExchangeThread::StopAll(); }

    // Creates the options dialog over this "options.xml", which starts the check, and the
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
    test::TFakeWebService FService;
    TParameters FParameters;
    TXMLSource FXml;
    TScriptedPromptService FPrompts;
    test::TDialogAnswers FDialogs;
    TNewAppVerDownloadRequestForm FNewVersionForm;
    std::unique_ptr<TOptionsForm> FOptions;
    std::vector<std::string> FOpened;
    std::string FBrowserFailure;
};

TEST_F(NewVersionCheckTest, OnlyAnotherVersionOpensTheDialogAndYesStartsTheBrowserOnTheSetupFile)
{
    struct TCase {
        const char *Body; // null: the connection is refused
        bool Yes;
        std::string BrowserFailure;
        const char *Shown; // the version the dialog shows; null when it does not open
        std::vector<std::string> Boxes;
    } cases[] = {
        {"1.1.4", true, "", nullptr, {}},
        {"1.2.0", false, "", "1.2.0", {}},
        {"1.2.0", true, "", "1.2.0", {}},
        {"1.1.4\n", true, "", "1.1.4\n", {}},
        {"<b>2.0</b>",
         true,
         "No such file or directory xdg-open",
         "<b>2.0</b>",
         {"No such file or directory xdg-open"}},
        {nullptr, true, "", nullptr, {}},
    };
    for (const TCase &c : cases) {
        const std::string what = c.Body ? c.Body : "refused";
        test::TScriptedReply reply;
        reply.Body = c.Body ? c.Body : "";
        FService.SetReply("/curversion.php", reply);
        FParameters.SetValue("uploadhost",
                             c.Body ? FService.HostPort() : "127.0.0.1:" + std::to_string(test::DeadLoopbackPort()));
        FDialogs.Shown.clear();
        FOpened.clear();
        FPrompts.Clear();
        FBrowserFailure = c.BrowserFailure;
        QString label;
        FDialogs.Actions["vantorel::TNewAppVerDownloadRequestForm"] = [&label, yes = c.Yes](QDialog &dialog) {
            label = static_cast<TNewAppVerDownloadRequestForm &>(dialog).NewVersionLabel->text();
            yes ? dialog.accept() : dialog.reject();
        };
        Create(kNoProxy);
        Finish();
        EXPECT_EQ(FDialogs.Shown.size(), c.Shown ? 1u : 0u) << what;
        EXPECT_EQ(label, QString::fromUtf8(c.Shown ? c.Shown : "")) << what;
        EXPECT_EQ(FOpened, c.Shown && c.Yes ? std::vector<std::string>{kSetupFile} : std::vector<std::string>{})
            << what;
        EXPECT_EQ(FPrompts.Texts(), c.Boxes) << what;
    }
    EXPECT_EQ(FNewVersionForm.NewVersionLabel->textFormat(), Qt::PlainText);
}

TEST_F(NewVersionCheckTest, TheCheckAsksOnlyWhenOnAndWithTheProxysCredentials)
{
    test::TTinyProxy proxy("joe", "pw");
    const std::string manualProxy = "<proxysource value=\"manual\"/><proxyhost value=\"127.0.0.1\"/>"
                                    "<proxyport value=\"" +
                                    std::to_string(proxy.Port()) + "\"/><proxyauthentication value=\"yes\"/>";
    struct TCase {
        const char *What;
        std::string Options;
        bool Asks;
    } cases[] = {
        {"the option is off", std::string(kNoProxy) + "<checknewversion value=\"no\"/>", false},
        {"the proxy's password is missing", manualProxy + "<proxylogin value=\"joe\"/>", false},
        {"a proxy port that is no number",
         "<proxysource value=\"manual\"/><proxyhost value=\"127.0.0.1\"/><proxyport value=\"80a\"/>", false},
        {"the proxy with both credentials", manualProxy + "<proxylogin value=\"joe\"/><proxypassword value=\"pw\"/>",
         true},
    };
    test::TScriptedReply reply;
    reply.Body = "1.1.4";
    FService.SetReply("/curversion.php", reply);
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

} // namespace
} // namespace vantorel
