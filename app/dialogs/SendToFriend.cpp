#include "SendToFriend.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>

#include "BrowserLauncher.h"
#include "DialogPlacement.h"
#include "OptionsForm.h"
#include "ServiceNames.h"
#include "TextRules.h"

namespace vantorel {

namespace {

constexpr int kClientWidth = 304;
constexpr int kClientHeight = 392;
constexpr int kButtonTop = 360;

const char *const kWrongAddressText = "Wrong format of recipient address. Please check it and try again.";
const char *const kNameEmptyText = "\"Your Name\" field cannot be empty. Please fill it in and try again.";

QLabel *MakeLabel(const QString &text, const char *name, QWidget *parent, int left, int top)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TSendToFriendForm::TSendToFriendForm(TOptionsForm &options, TPromptService &prompts, QWidget *parent)
    : QDialog(parent), StartBrowser(WindowBrowserStart(*this, prompts)), FOptions(options), FPrompts(prompts)
{
    setObjectName(QStringLiteral("SendToFriendForm"));
    setWindowTitle(QStringLiteral("Send application link to friend"));
    // The small dialog font, so the texts fit the small design.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    MessageTextMemo = new QPlainTextEdit(this);
    MessageTextMemo->setObjectName(QStringLiteral("MessageTextMemo"));
    MessageTextMemo->setReadOnly(true);
    MessageTextMemo->setPlainText(InvitationText());
    MessageTextMemo->setGeometry(0, 0, 305, 193);

    Label1 = MakeLabel(QString::fromStdString(ServicePageAddress(kHomePage)), "Label1", this, 8, 197);
    QFont linkFont = Label1->font();
    linkFont.setUnderline(true);
    Label1->setFont(linkFont);
    QPalette linkPalette = Label1->palette();
    linkPalette.setColor(QPalette::WindowText, Qt::blue);
    Label1->setPalette(linkPalette);
    Label1->adjustSize();
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->installEventFilter(this);

    auto *separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setGeometry(0, 215, kClientWidth, 2);

    Label2 = MakeLabel(QStringLiteral("Your comments:"), "Label2", this, 4, 220);
    SenderCommentsMemo = new QPlainTextEdit(this);
    SenderCommentsMemo->setObjectName(QStringLiteral("SenderCommentsMemo"));
    SenderCommentsMemo->setGeometry(0, 236, 305, 65);
    SenderCommentsMemo->setTabChangesFocus(true);

    Label3 = MakeLabel(QStringLiteral("Recipient address:"), "Label3", this, 4, 305);
    RecipientAddressEdit = new QLineEdit(this);
    RecipientAddressEdit->setObjectName(QStringLiteral("RecipientAddressEdit"));
    RecipientAddressEdit->setGeometry(0, 321, kClientWidth, 21);

    SenderNameLabel = MakeLabel(QStringLiteral("Your Name:"), "SenderNameLabel", this, 4, 356);
    SenderNameEdit = new QLineEdit(this);
    SenderNameEdit->setObjectName(QStringLiteral("SenderNameEdit"));
    SenderNameEdit->setGeometry(0, 372, kClientWidth, 21);
    SenderNameLabel->hide();
    SenderNameEdit->hide();

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    OKButton->setGeometry(72, kButtonTop, 75, 25);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(156, kButtonTop, 75, 25);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(kClientWidth, kClientHeight);
}

QStringList TSendToFriendForm::InvitationLines()
{
    return {QString(),
            QStringLiteral("Hello!"),
            QString(),
            QStringLiteral("This message was sent to you on behalf of "),
            QStringLiteral("<<YOUR NAME WILL BE HERE>>."),
            QStringLiteral("We want to introduce you \"Vantorel\" - application "),
            QStringLiteral("which lets you turn any picture from the HTML page in your "),
            QStringLiteral("Internet Explorer into a logo or background on your mobile "),
            QStringLiteral("phone in three clicks without cables or SMS services."),
            QStringLiteral("\"Vantorel\" is the easiest and fastest way to get picture "),
            QStringLiteral("you like on your mobile phone!"),
            QStringLiteral("You can download it at address ") + QString::fromStdString(ServicePageAddress(kHomePage)),
            QString(),
            QStringLiteral("With best regards from \"Vantorel\" developers!")};
}

QString TSendToFriendForm::InvitationText()
{
    const QStringList lines = InvitationLines();
    QString text;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 < lines.size() && !lines[i].endsWith(QLatin1Char(' ')))
            text += QLatin1Char('\n');
    }
    return text;
}

bool TSendToFriendForm::RecipientAddressAccepted(const QString &address)
{
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    return at >= 0 && address.indexOf(QLatin1Char('.'), at) >= 0;
}

bool TSendToFriendForm::GuestLogin() const { return AsciiLower(FOptions.Options().login) == "guest"; }

void TSendToFriendForm::SetGuestLayout(bool guest)
{
    if (guest == FGuestLayout)
        return;
    FGuestLayout = guest;
    const int shift = guest ? kGuestExtraHeight : -kGuestExtraHeight;
    SenderNameLabel->setVisible(guest);
    SenderNameEdit->setVisible(guest);
    setFixedSize(width(), height() + shift);
    OKButton->move(OKButton->x(), OKButton->y() + shift);
    CancelButton->move(CancelButton->x(), CancelButton->y() + shift);
}

void TSendToFriendForm::FormShow()
{
    if (GuestLogin())
        SetGuestLayout(true);
}

bool TSendToFriendForm::FormCloseQuery(int result)
{
    if (result != QDialog::Accepted)
        return true;
    if (!RecipientAddressAccepted(RecipientAddressEdit->text())) {
        FPrompts.ShowWarning(kWrongAddressText);
        return false;
    }
    if (GuestLogin() && SenderNameEdit->text().isEmpty()) {
        FPrompts.ShowWarning(kNameEmptyText);
        return false;
    }
    return true;
}

void TSendToFriendForm::FormClose()
{
    // Undoes what the showing did, whatever the login is by now.
    SetGuestLayout(false);
}

void TSendToFriendForm::done(int result)
{
    if (!FormCloseQuery(result))
        return;
    FormClose();
    QDialog::done(result);
}

void TSendToFriendForm::Label1Click()
{
    std::string failure;
    if (!StartBrowser(ServicePageAddress(kHomePage), failure))
        FPrompts.ShowError(failure);
}

bool TSendToFriendForm::eventFilter(QObject *watched, QEvent *event)
{
    // A label has no click of its own: a left button released over it is one.
    if (watched == Label1 && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && Label1->rect().contains(mouse->position().toPoint())) {
            Label1Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TSendToFriendForm::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        FormShow();
        CentreOnScreen(*this);
    }
    QDialog::showEvent(event);
}

} // namespace vantorel
