// The send-to-friend dialog on the offscreen platform: its invitation, the guest layout with the
// name field, and the checks that run only when it closes with OK.
#include "SendToFriend.h"

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "OptionsForm.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

constexpr const char *kWrongAddress = "Wrong format of recipient address. Please check it and try again.";
constexpr const char *kNameEmpty = "\"Your Name\" field cannot be empty. Please fill it in and try again.";

class SendToFriendFormTest : public ::testing::Test {
protected:
    SendToFriendFormTest()
    {
        FOptions = std::make_unique<TOptionsForm>(FFolder.Path(), FXml, FPrompts);
        FForm = std::make_unique<TSendToFriendForm>(*FOptions, FPrompts);
    }

    // Shows the form for this login, types the address and the name, presses OK: whether it closed.
    bool PressOK(const std::string &login, const QString &address, const QString &name = {})
    {
        FOptions->Options().login = login;
        FForm->show();
        FForm->RecipientAddressEdit->setText(address);
        FForm->SenderNameEdit->setText(name);
        FForm->OKButton->click();
        const bool closed = !FForm->isVisible();
        FForm->reject();
        return closed;
    }
    // The client height, the buttons' top and whether the name field shows.
    std::tuple<int, int, int, bool> Layout() const
    {
        return {FForm->height(), FForm->OKButton->y(), FForm->CancelButton->y(), FForm->SenderNameEdit->isVisible()};
    }

    test::TTempDir FFolder;
    TXMLSource FXml;
    TScriptedPromptService FPrompts;
    std::unique_ptr<TOptionsForm> FOptions;
    std::unique_ptr<TSendToFriendForm> FForm;
};

TEST_F(SendToFriendFormTest, TheInvitationIsShownInWholeSentencesWithTheHomePage)
{
    // The written lines that end in a blank go on in the next, so the memo wraps only sentences.
    EXPECT_EQ(FForm->MessageTextMemo->toPlainText(),
              "\nHello!\n\nThis message was sent to you on behalf of <<YOUR NAME WILL BE HERE>>.\nWe want to introduce "
              "you \"Vantorel\" - application which lets you turn any picture from the HTML page in your Internet "
              "Explorer into a logo or background on your mobile phone in three clicks without cables or SMS "
              "services.\n\"Vantorel\" is the easiest and fastest way to get picture you like on your mobile phone!\n"
              "You can download it at address http://www.vantorel.example/\n\nWith best regards from \"Vantorel\" "
              "developers!");
    EXPECT_TRUE(FForm->MessageTextMemo->isReadOnly());
    EXPECT_EQ(FForm->windowTitle(), "Send application link to friend");
    EXPECT_EQ(FForm->Label1->text(), "http://www.vantorel.example/");

    // The link opens the home page; a browser that cannot start is reported and the form stays.
    std::vector<std::string> opened;
    FForm->StartBrowser = [&opened](const std::string &address, std::string &failure) {
        opened.push_back(address);
        failure = "No such file or directory xdg-open";
        return false;
    };
    FForm->show();
    QTest::mouseClick(FForm->Label1, Qt::LeftButton);
    EXPECT_EQ(opened, std::vector<std::string>{"http://www.vantorel.example/"});
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"No such file or directory xdg-open"});
    EXPECT_TRUE(FForm->isVisible());
}

TEST_F(SendToFriendFormTest, AGuestSeesTheNameFieldAndEveryCloseRestoresTheDesign)
{
    using TLayout = std::tuple<int, int, int, bool>;
    const TLayout design{392, 360, 360, false}, guest{432, 400, 400, true};
    struct TCase {
        const char *Login;
        TLayout Shown;
    } cases[] = {{"joe", design}, {"GuEsT", guest}, {"guest ", design}, {"guest", guest}};
    for (const TCase &c : cases) {
        FOptions->Options().login = c.Login;
        for (int showing = 0; showing < 2; ++showing) {
            FForm->show();
            EXPECT_EQ(FForm->width(), 304) << c.Login;
            EXPECT_EQ(Layout(), c.Shown) << c.Login;
            FForm->close(); // the close box: no test, and the design is back
            EXPECT_FALSE(FForm->isVisible()) << c.Login;
            EXPECT_EQ(Layout(), design) << c.Login;
        }
    }
    EXPECT_TRUE(FPrompts.Texts().empty());
}

TEST_F(SendToFriendFormTest, OKNeedsAnAtWithADotAfterItAndAGuestsName)
{
    struct TCase {
        const char *Login;
        const char *Address;
        const char *Name;
        const char *Warning; // null when the form closes
    } cases[] = {
        {"joe", "ann@mail.example", "", nullptr},
        {"joe", "ann@.", "", nullptr},
        {"joe", "a.b@c@d.e", "", nullptr},
        {"joe", "ann.b@example", "", kWrongAddress},
        {"joe", "ann.mail.example", "", kWrongAddress},
        {"joe", "ann@example", "", kWrongAddress},
        {"joe", "@", "", kWrongAddress},
        {"joe", "", "", kWrongAddress},
        {"Guest", "ann@mail.example", "", kNameEmpty},
        {"Guest", "ann@mail.example", "Bob", nullptr},
        {"Guest", "ann", "", kWrongAddress}, // the name is not tested then
    };
    for (const TCase &c : cases) {
        FPrompts.Clear();
        EXPECT_EQ(PressOK(c.Login, QString::fromUtf8(c.Address), QString::fromUtf8(c.Name)), c.Warning == nullptr)
            << c.Login << " " << c.Address;
        if (c.Warning) {
            ASSERT_EQ(FPrompts.Prompts().size(), 1u) << c.Address;
            EXPECT_EQ(FPrompts.Prompts()[0].Text, c.Warning);
            EXPECT_EQ(FPrompts.Prompts()[0].Icon, TPromptIcon::Warning);
        } else {
            EXPECT_TRUE(FPrompts.Prompts().empty()) << c.Address;
        }
    }
    // Cancel tests nothing, and nothing typed is cleared.
    FForm->show();
    FForm->CancelButton->click();
    EXPECT_FALSE(FForm->isVisible());
    EXPECT_EQ(FForm->RecipientAddressEdit->text(), "ann");
}

} // namespace
} // namespace vantorel
