#include "CredentialForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "DialogFrame.h"
#include "DialogPlacement.h"

namespace vantorel {

TCredentialForm::TCredentialForm(const TCredentialNames &names, QWidget *parent) : QDialog(parent)
{
    setObjectName(QString::fromLatin1(names.formName));
    setWindowTitle(QString::fromLatin1(names.caption));

    FName = new QLineEdit(this);
    FName->setObjectName(QString::fromLatin1(names.nameField));
    FSecret = new QLineEdit(this);
    FSecret->setObjectName(QString::fromLatin1(names.secretField));
    FSecret->setEchoMode(QLineEdit::Password);
    // The password shows one "*" per character, whatever the style's own mask would be.
    FSecret->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));

    auto *nameLabel = new QLabel(QString::fromLatin1(names.nameLabel), this);
    nameLabel->setBuddy(FName);
    auto *secretLabel = new QLabel(QString::fromLatin1(names.secretLabel), this);
    secretLabel->setBuddy(FSecret);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *fields = new QGridLayout;
    fields->addWidget(nameLabel, 0, 0);
    fields->addWidget(FName, 0, 1);
    fields->addWidget(secretLabel, 1, 0);
    fields->addWidget(FSecret, 1, 1);
    fields->setColumnMinimumWidth(1, 180);

    FButtonRow = new QHBoxLayout;
    FButtonRow->addStretch();
    FButtonRow->addWidget(OKButton);
    FButtonRow->addWidget(CancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(6);
    layout->addLayout(FButtonRow);
    // A fixed dialog: the layout's size is the window's size.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    FitCaption(*this);
}

void TCredentialForm::showEvent(QShowEvent *event)
{
    // Centred on the screen, not on the window that owns the dialog.
    CentreOnScreen(*this);
    QDialog::showEvent(event);
}

} // namespace vantorel
