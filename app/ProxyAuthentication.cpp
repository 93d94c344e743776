#include "ProxyAuthentication.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace vantorel {

TProxyAuthForm::TProxyAuthForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ProxyAuthForm"));
    setWindowTitle(QStringLiteral("Proxy Authentication"));

    ProxyLogin = new QLineEdit(this);
    ProxyLogin->setObjectName(QStringLiteral("ProxyLogin"));
    ProxyPassword = new QLineEdit(this);
    ProxyPassword->setObjectName(QStringLiteral("ProxyPassword"));
    ProxyPassword->setEchoMode(QLineEdit::Password);
    // The password shows one "*" per character, whatever the style's own mask would be.
    ProxyPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));

    auto *loginLabel = new QLabel(QStringLiteral("Proxy User"), this);
    loginLabel->setBuddy(ProxyLogin);
    auto *passwordLabel = new QLabel(QStringLiteral("Proxy Password"), this);
    passwordLabel->setBuddy(ProxyPassword);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *fields = new QGridLayout;
    fields->addWidget(loginLabel, 0, 0);
    fields->addWidget(ProxyLogin, 0, 1);
    fields->addWidget(passwordLabel, 1, 0);
    fields->addWidget(ProxyPassword, 1, 1);
    fields->setColumnMinimumWidth(1, 180);

    auto *buttons = new QHBoxLayout;
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

void TProxyAuthForm::showEvent(QShowEvent *event)
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
