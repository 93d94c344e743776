#include "AccessURLHint.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTextDocument>
#include <QVBoxLayout>

#include "DialogFrame.h"
#include "DialogPlacement.h"
#include "Icons.h"
#include "OptionsForm.h"

namespace vantorel {

TAccessURLHintForm::TAccessURLHintForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AccessURLHintForm"));
    setWindowTitle(QStringLiteral("Access URL Hint"));
    // The small dialog font of the options dialog, so the texts fit the small design.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(30, 30);
    Image1->setPixmap(ProgramIcon().pixmap(30, 30));
    Label2 = new QLabel(QStringLiteral("Image successfully uploaded"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);
    Label1 =
        new QLabel(QStringLiteral("The easiest and fastest way to access your recently uploaded pictures from mobile "
                                  "phone is to add the following URL to your WAP browser favourites list"),
                   this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);

    // Plain text only: the address comes from the server's reply and the options.
    MobileURL = new QPlainTextEdit(this);
    MobileURL->setObjectName(QStringLiteral("MobileURL"));
    MobileURL->setReadOnly(true);
    MobileURL->setFixedSize(297, 33);
    // A long address wraps onto the second line instead of hiding behind a scroll bar.
    MobileURL->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    MobileURL->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MobileURL->document()->setDocumentMargin(1);

    EnableAccessHint = new QCheckBox(QStringLiteral("Show this dialog box again"), this);
    EnableAccessHint->setObjectName(QStringLiteral("EnableAccessHint"));
    EnableAccessHint->setChecked(true);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setDefault(true);
    connect(CloseButton, &QPushButton::clicked, this, &TAccessURLHintForm::CloseButtonClick);

    auto *heading = new QHBoxLayout;
    heading->addWidget(Image1);
    heading->addWidget(Label2, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(EnableAccessHint, 1);
    bottom->addWidget(CloseButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(4);
    layout->addLayout(heading);
    layout->addWidget(Label1);
    layout->addWidget(MobileURL);
    layout->addLayout(bottom);
    setFixedSize(313, 163);
    FitCaption(*this);
}

void TAccessURLHintForm::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        CentreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void TAccessURLHintForm::FormShow()
{
    if (FOptions)
        EnableAccessHint->setChecked(FOptions->Options().enableaccesshint);
}

void TAccessURLHintForm::CloseButtonClick()
{
    if (FOptions) {
        FOptions->Options().enableaccesshint = EnableAccessHint->isChecked();
        FOptions->SaveOptions();
    }
    accept();
}

} // namespace vantorel
