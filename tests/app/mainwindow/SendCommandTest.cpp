// The Send to friend command from the main window against the recording fake service: the dialog
// and prompts before a send, the controls while it runs, and what its completion shows.
#include "MainForm.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "DialogAnswers.h"
#include "ExchangeThread.h"
#include "OptionsForm.h"
#include "ProxyAuthentication.h"
#include "SendToFriend.h"
#include "StatusPanels.h"
#include "SystemAuthorization.h"
#include "TestSupport.h"
#include "ServiceWindowFixture.h"

namespace vantorel {
namespace {

using namespace std::chrono_literals;
using test::Reply;

constexpr const char *kSent = "Application link was successfully sent.";
constexpr const char *kFailed = "Failed to send application link.";
constexpr const char *kSendError = "Error occurred while sending application link.";

class SendCommandTest : public test::TServiceWindowTest {
protected:
    void SetUp() override
    {
        WriteProgramFolder("sendmailhost");
        OpenWindow();
        FSendForm = std::make_unique<TSendToFriendForm>(*FOptions, FForm->Prompts());
        FForm->SetSendToFriendForm(FSendForm.get());
        ShowWindow();
        FService.SetReply("/sendtofriend.php", Reply("SUCCESS"));
        Fill("ann@mail.example", "Hi Ann,\nhave a look.", "");
    }

    // What the user types into the send form before pressing OK.
    void Fill(const QString &address, const QString &comments, const QString &name)
    {
        FDialogs.Actions["vantorel::TSendToFriendForm"] = [=](QDialog &dialog) {
            auto &form = static_cast<TSendToFriendForm &>(dialog);
            form.RecipientAddressEdit->setText(address);
            form.SenderCommentsMemo->setPlainText(comments);
            form.SenderNameEdit->setText(name);
            form.OKButton->click();
        };
    }
    // Runs the command and waits until the send has ended.
    void Send()
    {
        FForm->SendToFriendMenuItem->trigger();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !FForm->Sending(); }, 5000));
    }

    std::unique_ptr<TSendToFriendForm> FSendForm;
};

TEST_F(SendCommandTest, TheFormGoesOutInOrderForAMemberAndAGuest)
{
    struct TCase {
        const char *Login;
        const char *Name;
    } cases[] = {{"joe", ""}, {"Guest", "Bob"}};
    for (const TCase &c : cases) {
        FOptions->Options().login = c.Login;
        Fill("ann@mail.example", "Hi Ann,\nhave a look.", QString::fromUtf8(c.Name));
        Send();
        const auto parts = FService.Requests().back().Parts;
        std::vector<std::pair<std::string, std::string>> sent;
        for (const auto &part : parts)
            sent.emplace_back(part.FieldName, part.Content);
        EXPECT_EQ(sent, (std::vector<std::pair<std::string, std::string>>{{"login", c.Login},
                                                                          {"password", "pw"},
                                                                          {"address", "ann@mail.example"},
                                                                          {"comments", "Hi Ann,\r\nhave a look."},
                                                                          {"sendername", c.Name}}))
            << c.Login;
        EXPECT_EQ(Status(), kSent);
    }
    EXPECT_EQ(FService.RequestCount(), 2u);
    EXPECT_TRUE(FPrompts.Texts().empty());
}

TEST_F(SendCommandTest, EachReplyShowsItsStatusBarTextAndBox)
{
    struct TCase {
        const char *Body;
        const char *StatusBar;
        const char *Box; // null when none
    } cases[] = {
        {"SUCCESS", kSent, nullptr},
        {"MESSAGE\nWRONG_LOGIN_OR_PASSWORD", kFailed,
         "Unable to send application link because of incorrect login or password! In order to enter login and "
         "password open menu \"Edit->Options\" and set parameters in \"System Authorization\" groupbox."},
        {"MESSAGE\nUSER_IS_NOT_CONFIRMED", kFailed,
         "Unable to send application link because your account registration is not confirmed. In order to confirm "
         "it follow the link in EMail which was sent to you after registration."},
        {"MESSAGE\nCOULD_NOT_SEND_MAIL", kFailed,
         "Unable to send application link. Please check recipient address and try again."},
        {"MESSAGE\ncould_not_send_mail", kFailed, nullptr},
        {"MESSAGE\nQUOTA_EXCEEDED", kFailed, nullptr},
        {"ERROR\nThe <b>mail</b> server is down", kFailed, "The <b>mail</b> server is down"},
        {"", kFailed, kSendError},
        {"THANKS\nsent", kFailed, kSendError},
    };
    for (const TCase &c : cases) {
        FService.SetReply("/sendtofriend.php", Reply(c.Body));
        FPrompts.Clear();
        Send();
        EXPECT_EQ(Status(), c.StatusBar) << c.Body;
        EXPECT_EQ(FPrompts.Texts(), c.Box ? std::vector<std::string>{c.Box} : std::vector<std::string>{}) << c.Body;
        EXPECT_TRUE(FForm->SendToFriendMenuItem->isEnabled()) << c.Body;
        EXPECT_TRUE(FForm->SendToFriendToolButton->isEnabled()) << c.Body;
    }
}

TEST_F(SendCommandTest, WhileASendRunsTheControlsAreOffAndAnotherRequestEndsAfterTheDialog)
{
    FService.SetReply("/sendtofriend.php", Reply("SUCCESS", 200, true));
    FForm->SendToFriendToolButton->click();
    ASSERT_TRUE(FService.WaitForRequests(1, 5s));
    EXPECT_TRUE(FForm->Sending());
    EXPECT_FALSE(FForm->SendToFriendMenuItem->isEnabled());
    EXPECT_FALSE(FForm->SendToFriendToolButton->isEnabled());
    EXPECT_EQ(Status(), "Sending application link to friend...");

    // The command itself still shows the dialog, which keeps what was typed, and then ends.
    FDialogs.Actions["vantorel::TSendToFriendForm"] = [](QDialog &dialog) {
        EXPECT_EQ(static_cast<TSendToFriendForm &>(dialog).RecipientAddressEdit->text(), "ann@mail.example");
        dialog.accept();
    };
    FOptions->Options().password.clear();
    FForm->SendToFriendMenuItemClick();
    EXPECT_EQ(FDialogs.Shown, (std::vector<std::string>{"vantorel::TSendToFriendForm", "vantorel::TSendToFriendForm"}));

    FService.ReleaseHeld();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !FForm->Sending(); }, 5000));
    EXPECT_EQ(FService.RequestCount(), 1u);
    EXPECT_EQ(Status(), kSent);
    EXPECT_TRUE(FForm->SendToFriendToolButton->isEnabled());
}

TEST_F(SendCommandTest, TheDialogComesFirstAndAnyCancelEndsTheCommandSilently)
{
    struct TCase {
        const char *What;
        bool SendFormOK;
        bool NoPassword;
        bool ProxyNeedsLogin;
        std::vector<std::string> Shown;
    } cases[] = {
        {"the send form cancelled", false, true, true, {"vantorel::TSendToFriendForm"}},
        {"the login cancelled", true, true, true, {"vantorel::TSendToFriendForm", "vantorel::TSysAuthForm"}},
        {"the proxy login cancelled", true, false, true, {"vantorel::TSendToFriendForm", "vantorel::TProxyAuthForm"}},
    };
    const QString idle = Status();
    for (const TCase &c : cases) {
        FDialogs.Shown.clear();
        if (!c.SendFormOK)
            FDialogs.Actions.erase("vantorel::TSendToFriendForm");
        else
            Fill("ann@mail.example", "", "");
        FOptions->Options().password = c.NoPassword ? "" : "pw";
        FOptions->Options().proxysource = c.ProxyNeedsLogin ? psManual : psNoProxy;
        FOptions->Options().proxyhost = "127.0.0.1";
        FOptions->Options().proxyport = "3128";
        FOptions->Options().proxyauthentication = true;
        FForm->SendToFriendMenuItem->trigger();
        EXPECT_EQ(FDialogs.Shown, c.Shown) << c.What;
        EXPECT_FALSE(FForm->Sending()) << c.What;
    }
    EXPECT_EQ(FService.RequestCount(), 0u);
    EXPECT_TRUE(FPrompts.Texts().empty());
    EXPECT_EQ(Status(), idle);
}

} // namespace
} // namespace vantorel
