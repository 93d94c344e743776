// The two login dialogs and the prompts that ask for credentials before an exchange, driven on
// the offscreen platform with a scripted user answering each modal showing.
#include "CredentialPrompts.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "OptionsForm.h"
#include "ProxyAuthentication.h"
#include "SystemAuthorization.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

using test::TTempDir;

// One showing of a login dialog: what the user types and the button that closes it.
struct TPass {
    std::string Name;
    std::string Secret;
    bool Ok = true;
};

// What the fields held when a showing began, and what "options.xml" held at that moment.
struct TShowing {
    std::string Name;
    std::string Secret;
    bool Saved = false;
    std::string SavedName;
    std::string SavedSecret;
};

// Plays the user of a modal dialog: every time it shows, records the state and then, from the
// dialog's own event loop, types the next pass and clicks its button. A showing beyond the
// script is cancelled, so a wrong loop fails instead of hanging.
class TScriptedUser : public QObject {
public:
    using TField = std::string TOptionValues::*;

    TScriptedUser(QDialog &dialog, QLineEdit &name, QLineEdit &secret, TField nameKey, TField secretKey,
                  std::string optionsPath, std::vector<TPass> passes)
        : FDialog(dialog), FName(name), FSecret(secret), FNameKey(nameKey), FSecretKey(secretKey),
          FPath(std::move(optionsPath)), FPasses(std::move(passes))
    {
        FDialog.installEventFilter(this);
    }
    ~TScriptedUser() override { FDialog.removeEventFilter(this); }

    std::vector<TShowing> Showings;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &FDialog && event->type() == QEvent::Show)
            Answer();
        return false;
    }

private:
    void Answer()
    {
        TOptionValues onDisk;
        TXMLSource xml;
        const bool saved = ReadOptionsFile(FPath, xml, onDisk) == TOptionsReadResult::Read;
        const TShowing showing{FName.text().toStdString(), FSecret.text().toStdString(), saved, onDisk.*FNameKey,
                               onDisk.*FSecretKey};
        Showings.push_back(showing);
        const std::size_t index = Showings.size() - 1;
        QTimer::singleShot(0, this, [this, index] {
            if (index >= FPasses.size()) {
                FDialog.findChild<QPushButton *>(QStringLiteral("CancelButton"))->click();
                return;
            }
            const TPass &pass = FPasses[index];
            FName.setText(QString::fromStdString(pass.Name));
            FSecret.setText(QString::fromStdString(pass.Secret));
            const char *button = pass.Ok ? "OKButton" : "CancelButton";
            QTest::mouseClick(FDialog.findChild<QPushButton *>(QString::fromLatin1(button)), Qt::LeftButton);
        });
    }

    QDialog &FDialog;
    QLineEdit &FName;
    QLineEdit &FSecret;
    TField FNameKey;
    TField FSecretKey;
    std::string FPath;
    std::vector<TPass> FPasses;
};

struct TPromptCase {
    const char *Description;
    TOptionValues Start;
    std::vector<TPass> Passes;
    bool GoOn;
    // The fields as each showing began; each showing after the first must find the previous
    // pass already saved.
    std::vector<std::pair<std::string, std::string>> Shown;
    std::pair<std::string, std::string> Final; // in the options and, after any OK, on disk
};

TOptionValues Account(std::string login, std::string password)
{
    TOptionValues v;
    v.login = std::move(login);
    v.password = std::move(password);
    return v;
}

TOptionValues Proxy(int source, std::string host, std::string port, bool authentication, std::string login,
                    std::string password)
{
    TOptionValues v;
    v.proxysource = source;
    v.proxyhost = std::move(host);
    v.proxyport = std::move(port);
    v.proxyauthentication = authentication;
    v.proxylogin = std::move(login);
    v.proxypassword = std::move(password);
    return v;
}

class CredentialPromptsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::unsetenv("http_proxy");
        SysAuth = std::make_unique<TSysAuthForm>(Prompts);
        SysAuth->StartBrowser = [this](const std::string &address, std::string &failure) {
            Launched.push_back(address);
            failure = LaunchFailure;
            return LaunchFailure.empty();
        };
        ProxyAuth = std::make_unique<TProxyAuthForm>();
    }

    // Runs one case in a fresh program folder with a fresh options dialog.
    void Run(const TPromptCase &c, bool proxy)
    {
        SCOPED_TRACE(c.Description);
        TTempDir folder;
        TXMLSource xml;
        TOptionsForm options(folder.Path(), xml, Prompts);
        options.Options() = c.Start;
        const std::string path = folder / "options.xml";

        QDialog &dialog = proxy ? static_cast<QDialog &>(*ProxyAuth) : static_cast<QDialog &>(*SysAuth);
        QLineEdit &name = proxy ? *ProxyAuth->ProxyLogin : *SysAuth->Login;
        QLineEdit &secret = proxy ? *ProxyAuth->ProxyPassword : *SysAuth->Password;
        // Leftovers of an earlier case must not show: the prompt fills the fields itself.
        name.setText(QStringLiteral("stale"));
        secret.setText(QStringLiteral("stale"));

        const auto nameKey = proxy ? &TOptionValues::proxylogin : &TOptionValues::login;
        const auto secretKey = proxy ? &TOptionValues::proxypassword : &TOptionValues::password;
        TScriptedUser user(dialog, name, secret, nameKey, secretKey, path, c.Passes);
        const bool goOn =
            proxy ? AskProxyAuthentication(options, *ProxyAuth) : AskSystemAuthorization(options, *SysAuth);
        EXPECT_EQ(goOn, c.GoOn);
        EXPECT_FALSE(dialog.isVisible());

        ASSERT_EQ(user.Showings.size(), c.Shown.size());
        for (std::size_t i = 0; i < c.Shown.size(); ++i) {
            const TShowing &s = user.Showings[i];
            EXPECT_EQ(std::make_pair(s.Name, s.Secret), c.Shown[i]) << "showing " << i;
            // Nothing is written before the first OK; every OK is on disk before the next showing.
            EXPECT_EQ(s.Saved, i > 0) << "showing " << i;
            if (i > 0) {
                EXPECT_EQ(std::make_pair(s.SavedName, s.SavedSecret), c.Shown[i]) << "showing " << i;
            }
        }

        const TOptionValues &after = options.Options();
        EXPECT_EQ(std::make_pair(after.*nameKey, after.*secretKey), c.Final);
        bool anyOk = false;
        for (std::size_t i = 0; i < c.Passes.size() && i < c.Shown.size(); ++i)
            anyOk = anyOk || c.Passes[i].Ok;
        TOptionValues onDisk;
        TXMLSource reader;
        const TOptionsReadResult read = ReadOptionsFile(path, reader, onDisk);
        if (!anyOk) {
            EXPECT_EQ(read, TOptionsReadResult::Absent); // nothing confirmed, nothing written
        } else {
            ASSERT_EQ(read, TOptionsReadResult::Read);
            EXPECT_EQ(onDisk, after); // the whole model, not just the pair
        }
        EXPECT_TRUE(Prompts.Texts().empty());
    }

    TScriptedPromptService Prompts;
    std::unique_ptr<TSysAuthForm> SysAuth;
    std::unique_ptr<TProxyAuthForm> ProxyAuth;
    std::vector<std::string> Launched;
    std::string LaunchFailure;
};

TEST_F(CredentialPromptsTest, AskSystemAuthorizationLoopsUntilBothAreGiven)
{
    const TPromptCase cases[] = {
        {"both in the options: no dialog", Account("joe", "pw"), {}, true, {}, {"joe", "pw"}},
        {"nothing in the options, OK with both", Account("", ""), {{"joe", "pw"}}, true, {{"", ""}}, {"joe", "pw"}},
        {"a login and no password: shown with the login; OK with the password still empty saves and asks again",
         Account("joe", ""),
         {{"joe", ""}, {"joe", "pw"}},
         true,
         {{"joe", ""}, {"joe", ""}},
         {"joe", "pw"}},
        {"a password and no login; the typed login replaces nothing else",
         Account("", "pw"),
         {{"", "pw"}, {"ann", "pw"}},
         true,
         {{"", "pw"}, {"", "pw"}},
         {"ann", "pw"}},
        {"cancel at once: stop, nothing written",
         Account("joe", ""),
         {{"x", "y", false}},
         false,
         {{"joe", ""}},
         {"joe", ""}},
        {"cancel after an OK: stop, the earlier pass stays saved",
         Account("", ""),
         {{"ann", ""}, {"ann", "typed", false}},
         false,
         {{"", ""}, {"ann", ""}},
         {"ann", ""}},
        {"an OK that empties a field again asks again",
         Account("joe", ""),
         {{"", "pw"}, {"bob", "pw"}},
         true,
         {{"joe", ""}, {"", "pw"}},
         {"bob", "pw"}},
    };
    for (const TPromptCase &c : cases)
        Run(c, false);
}

TEST_F(CredentialPromptsTest, AskProxyAuthenticationAsksOnlyForAProxyThatNeedsIt)
{
    const TPromptCase cases[] = {
        {"no proxy: no dialog whatever the proxy login holds",
         Proxy(psNoProxy, "h", "3128", true, "", ""),
         {},
         true,
         {},
         {"", ""}},
        {"empty host: no dialog", Proxy(psManual, "", "3128", true, "", ""), {}, true, {}, {"", ""}},
        {"empty port: no dialog", Proxy(psIE, "h", "", true, "", ""), {}, true, {}, {"", ""}},
        {"authentication off: no dialog", Proxy(psManual, "h", "3128", false, "", ""), {}, true, {}, {"", ""}},
        {"both already given: no dialog", Proxy(psManual, "h", "3128", true, "u", "p"), {}, true, {}, {"u", "p"}},
        {"manual proxy, OK with both",
         Proxy(psManual, "h", "3128", true, "", ""),
         {{"u", "p"}},
         true,
         {{"", ""}},
         {"u", "p"}},
        {"system proxy, a user and no password: asks again after the OK that leaves it empty",
         Proxy(psIE, "h", "8080", true, "u", ""),
         {{"u", ""}, {"u", "p"}},
         true,
         {{"u", ""}, {"u", ""}},
         {"u", "p"}},
        {"cancel after an OK: stop, the earlier pass stays saved",
         Proxy(psManual, "h", "3128", true, "", ""),
         {{"", "p"}, {"u", "p", false}},
         false,
         {{"", ""}, {"", "p"}},
         {"", "p"}},
        {"cancel at once",
         Proxy(psManual, "h", "3128", true, "", ""),
         {{"u", "p", false}},
         false,
         {{"", ""}},
         {"", ""}},
    };
    for (const TPromptCase &c : cases)
        Run(c, true);
}

// Finds the label that names an edit box.
QString LabelOf(const QWidget &dialog, const QLineEdit *edit)
{
    for (const QLabel *label : dialog.findChildren<QLabel *>())
        if (label->buddy() == edit)
            return label->text();
    return {};
}

TEST_F(CredentialPromptsTest, DialogsShowTheirCaptionsLabelsAndMaskedPasswords)
{
    // An owner window away from the middle: the dialogs centre on the screen, not on it.
    QWidget owner;
    owner.setGeometry(0, 0, 200, 100);
    TSysAuthForm sysAuth(Prompts, &owner);
    TProxyAuthForm proxyAuth(&owner);
    struct Case {
        const char *Description;
        QDialog *Dialog;
        QString Caption;
        QLineEdit *Name;
        QString NameLabel;
        QLineEdit *Secret;
        QString SecretLabel;
    } cases[] = {
        {"web account", &sysAuth, "System Authorization", sysAuth.Login, "Login", sysAuth.Password, "Password"},
        {"proxy", &proxyAuth, "Proxy Authentication", proxyAuth.ProxyLogin, "Proxy User", proxyAuth.ProxyPassword,
         "Proxy Password"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Description);
        EXPECT_EQ(c.Dialog->windowTitle(), c.Caption);
        EXPECT_EQ(LabelOf(*c.Dialog, c.Name), c.NameLabel);
        EXPECT_EQ(LabelOf(*c.Dialog, c.Secret), c.SecretLabel);
        EXPECT_EQ(c.Dialog->findChild<QPushButton *>(QStringLiteral("OKButton"))->text(), "OK");
        EXPECT_EQ(c.Dialog->findChild<QPushButton *>(QStringLiteral("CancelButton"))->text(), "Cancel");

        c.Name->setText(QStringLiteral("joe"));
        c.Secret->setText(QStringLiteral("s3cr\u00e9t"));
        EXPECT_EQ(c.Name->displayText(), "joe");
        EXPECT_EQ(c.Secret->displayText(), "******"); // one "*" per character, not per byte
        EXPECT_EQ(c.Secret->text(), QStringLiteral("s3cr\u00e9t"));

        c.Dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(c.Dialog));
        EXPECT_EQ(c.Secret->displayText(), "******");
        EXPECT_EQ(c.Dialog->minimumSize(), c.Dialog->maximumSize()); // not resizable
        const QPoint middle = c.Dialog->screen()->availableGeometry().center();
        EXPECT_LE((c.Dialog->frameGeometry().center() - middle).manhattanLength(), 2);
        c.Dialog->hide();
    }
}

TEST_F(CredentialPromptsTest, RegisterLabelOpensTheRegistrationPageAndKeepsTheDialogOpen)
{
    QFont font = SysAuth->RegisterLabel->font();
    EXPECT_EQ(SysAuth->RegisterLabel->text(), "Register");
    EXPECT_TRUE(font.bold() && font.underline());
    EXPECT_EQ(SysAuth->RegisterLabel->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(SysAuth->RegisterLabel->cursor().shape(), Qt::PointingHandCursor);

    struct Case {
        const char *Description;
        std::string Failure; // empty: the browser starts
        std::vector<std::string> Boxes;
    } cases[] = {
        {"the browser starts", "", {}},
        {"the browser cannot start: its reason in an error box",
         "No such file or directory nobrowser",
         {"No such file or directory nobrowser"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Description);
        Launched.clear();
        Prompts.Clear();
        LaunchFailure = c.Failure;
        bool openAfterClick = false;
        QTimer::singleShot(0, SysAuth.get(), [&] {
            QTest::mouseClick(SysAuth->RegisterLabel, Qt::LeftButton);
            openAfterClick = SysAuth->isVisible();
            SysAuth->CancelButton->click();
        });
        EXPECT_EQ(SysAuth->exec(), QDialog::Rejected);
        EXPECT_TRUE(openAfterClick);
        EXPECT_EQ(Launched, std::vector<std::string>{"http://www.vantorel.example/register.php"});
        EXPECT_EQ(Prompts.Texts(), c.Boxes);
        for (const TRecordedPrompt &box : Prompts.Prompts())
            EXPECT_EQ(box.Caption, "Error");
    }
}

} // namespace
} // namespace vantorel
