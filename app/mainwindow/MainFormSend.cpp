// The Send to friend command: the dialog and prompts before a send, its start, and its completion.
#include "MainForm.h"

#include <exception>
#include <memory>

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

#include "CredentialPrompts.h"
#include "OptionsForm.h"
#include "ProxySetup.h"
#include "SendToFriend.h"
#include "SendToFriendThread.h"
#include "ServiceReply.h"
#include "StatusPanels.h"

namespace vantorel {

namespace {

const char *const kWrongLoginText =
    "Unable to send application link because of incorrect login or password! In order to enter login and password "
    "open menu \"Edit->Options\" and set parameters in \"System Authorization\" groupbox.";
const char *const kNotConfirmedText =
    "Unable to send application link because your account registration is not confirmed. In order to confirm it "
    "follow the link in EMail which was sent to you after registration.";
const char *const kCouldNotSendText = "Unable to send application link. Please check recipient address and try again.";

// The service reads the comments with the line breaks of the program's first home: CR LF.
std::string WithCrLf(const QString &text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return lines.toStdString();
}

} // namespace

void TMainAppForm::SendToFriendMenuItemClick()
{
    if (!FSendToFriendForm || !FOptionsForm)
        return;
    if (FSendToFriendForm->exec() != QDialog::Accepted)
        return;
    if (FSendToFriendThread)
        return;
    if (FSysAuthForm && !AskSystemAuthorization(*FOptionsForm, *FSysAuthForm))
        return;
    if (FProxyAuthForm && !AskProxyAuthentication(*FOptionsForm, *FProxyAuthForm))
        return;
    try {
        StartSendToFriend();
    } catch (const std::exception &e) {
        // A proxy port that is no number, or no thread to be had: reported like any failed command.
        FPrompts->ShowError(e.what());
    }
}

void TMainAppForm::StartSendToFriend()
{
    // The exchange works on a copy: options changed while it runs do not reach it.
    const TOptionValues options = FOptionsForm->Options();
    ApplyProxyOptions(HTTPSendConn, options);
    auto send = std::make_unique<TSendToFriendThread>(options.login, options.password,
                                                      FSendToFriendForm->RecipientAddressEdit->text().toStdString(),
                                                      WithCrLf(FSendToFriendForm->SenderCommentsMemo->toPlainText()),
                                                      FSendToFriendForm->SenderNameEdit->text().toStdString(),
                                                      HTTPSendConn, FParameters, [this] { ClearSendProxyParams(); });
    FSendToFriendThread =
        static_cast<TSendToFriendThread *>(TExchangeThread::Start(std::move(send), [this](TExchangeThread &done) {
            SendToFriendDone(static_cast<TSendToFriendThread &>(done));
        }));
    UpdateControls();
    SendToFriendMenuItem->setEnabled(false);
    SendToFriendToolButton->setEnabled(false);
    StatusBar->SetText(0, QStringLiteral("Sending application link to friend..."));
}

void TMainAppForm::SendToFriendDone(TSendToFriendThread &thread)
{
    const TUploadStatus status = thread.Status();
    const std::string &message = thread.Message();
    StatusBar->SetText(0, status == usSuccess ? QStringLiteral("Application link was successfully sent.")
                                              : QStringLiteral("Failed to send application link."));
    if (status == usMessage) {
        // The code words are the service's own: their case matters.
        if (message == kWrongLoginOrPassword)
            FPrompts->ShowError(kWrongLoginText);
        else if (message == kUserIsNotConfirmed)
            FPrompts->ShowError(kNotConfirmedText);
        else if (message == kCouldNotSendMail)
            FPrompts->ShowError(kCouldNotSendText);
    } else if (status == usError) {
        FPrompts->ShowError(message);
    }
    SendToFriendMenuItem->setEnabled(true);
    SendToFriendToolButton->setEnabled(true);
    FSendToFriendThread = nullptr;
    UpdateControls();
}

} // namespace vantorel
