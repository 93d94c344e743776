#include "SystemAuthorization.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "BrowserLauncher.h"
#include "ServiceNames.h"

namespace vantorel {

TSysAuthForm::TSysAuthForm(TPromptService &prompts, QWidget *parent)
    : QDialog(parent), StartBrowser(&LaunchBrowser), FPrompts(prompts)
{
    setObjectName(QStringLiteral("SysAuthForm"));
    setWindowTitle(QStringLiteral("System Authorization"));

    Login = new QLineEdit(this);
    Login->setObjectName(QStringLiteral("Login"));
    Password = new QLineEdit(this);
    Password->setObjectName(QStringLiteral("Password"));
    Password->setEchoMode(QLineEdit::Password);
    // The password shows one "*" per character, whatever the style's own mask would be.
    Password->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));

    auto *loginLabel = new QLabel(QStringLiteral("Login"), this);
    loginLabel->setBuddy(Login);
    auto *passwordLabel = new QLabel(QStringLiteral("Password"), this);
    passwordLabel->setBuddy(Password);

    RegisterLabel = new QLabel(QStringLiteral("Register"), this);
    RegisterLabel->setObjectName(QStringLiteral("RegisterLabel"));
    QFont linkFont = RegisterLabel->font();
    linkFont.setBold(true);
    linkFont.setUnderline(true);
    RegisterLabel->setFont(linkFont);
    QPalette linkPalette = RegisterLabel->palette();
    linkPalette.setColor(QPalette::WindowText, Qt::blue);
    RegisterLabel->setPalette(linkPalette);
    RegisterLabel->setCursor(Qt::PointingHandCursor);
    RegisterLabel->installEventFilter(this);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *fields = new QGridLayout;
    fields->addWidget(loginLabel, 0, 0);
    fields->addWidget(Login, 0, 1);
    fields->addWidget(passwordLabel, 1, 0);
    fields->addWidget(Password, 1, 1);
    fields->setColumnMinimumWidth(1, 180);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(RegisterLabel);
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    // A fixed dialog: the layout's size is the window's size.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TSysAuthForm::RegisterLabelClick()
{
    std::string failure;
    if (!StartBrowser(ServicePageAddress(kRegisterPage), failure))
        FPrompts.ShowError(failure);
}

bool TSysAuthForm::eventFilter(QObject *watched, QEvent *event)
{
    // A label has no click of its own: a left button released over it is one.
    if (watched == RegisterLabel && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && RegisterLabel->rect().contains(mouse->position().toPoint())) {
            RegisterLabelClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TSysAuthForm::showEvent(QShowEvent *event)
{
    // Centred on the screen, not on the window that owns the dialog.
    if (const QScreen *where = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(where->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}

} // namespace vantorel
