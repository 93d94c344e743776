#pragma once

#include <functional>
#include <string>

#include <QDialog>
#include <QStringList>

#include "PromptService.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vantorel {

class TOptionsForm;

// Collects the recipient's address and the sender's comments for the send command; the shared
// guest account also gives the sender's name. Created once; the fields keep what was typed, so a
// second send starts with the text of the first.
class TSendToFriendForm : public QDialog {
    Q_OBJECT

public:
    // Starts the browser with an address; false with the reason in failure when it cannot.
    using TBrowserStart = std::function<bool(const std::string &address, std::string &failure)>;

    // The extra height of the name field of the guest account.
    static constexpr int kGuestExtraHeight = 40;

    TSendToFriendForm(TOptionsForm &options, TPromptService &prompts, QWidget *parent = nullptr);

    // An address has an "@" and a "." somewhere after it.
    static bool RecipientAddressAccepted(const QString &address);
    // The invitation shown at the top, line by line as written.
    static QStringList InvitationLines();
    // The invitation as the memo shows it: a line that ends in a blank goes on in the next, so the
    // memo wraps whole sentences at its own width instead of breaking each written line again.
    static QString InvitationText();

    // Opens the service's home page in the browser; the dialog stays open.
    void Label1Click();

    QPlainTextEdit *MessageTextMemo = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QPlainTextEdit *SenderCommentsMemo = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *RecipientAddressEdit = nullptr;
    QLabel *SenderNameLabel = nullptr;
    QLineEdit *SenderNameEdit = nullptr;
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;

    // The platform's browser launcher unless a test puts its own here.
    TBrowserStart StartBrowser;

public slots:
    // Every way of closing comes here: OK only after the checks, and each close restores the
    // layout of the design.
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    bool FormCloseQuery(int result);
    void FormClose();
    bool GuestLogin() const;
    void SetGuestLayout(bool guest);

    TOptionsForm &FOptions;
    TPromptService &FPrompts;
    bool FGuestLayout = false; // the name field shows
};

} // namespace vantorel
