#include "NewAppVerDownloadRequest.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

#include "DialogFrame.h"
#include "DialogPlacement.h"
#include "Icons.h"

namespace vantorel {

namespace {

QLabel *MakeLabel(const QString &text, const char *name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    // The texts come from the program and from the server's reply: never read as markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

TNewAppVerDownloadRequestForm::TNewAppVerDownloadRequestForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("NewAppVerDownloadRequestForm"));
    setWindowTitle(QStringLiteral("New Version Download"));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(ProgramIcon().pixmap(48, 48));
    Image1->setFixedSize(48, 48);

    Label1 = MakeLabel(QStringLiteral("New version"), "Label1", this);
    NewVersionLabel = MakeLabel(QStringLiteral("1.0.0"), "NewVersionLabel", this);
    NewVersionLabel->setAlignment(Qt::AlignCenter);
    QFont bold = NewVersionLabel->font();
    bold.setBold(true);
    NewVersionLabel->setFont(bold);
    Label3 = MakeLabel(QStringLiteral("of \"Vantorel\""), "Label3", this);
    Label4 = MakeLabel(QStringLiteral("is available for download from the server."), "Label4", this);
    Label5 = MakeLabel(QStringLiteral("Do you want to download and install it now?"), "Label5", this);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogYesButton), QStringLiteral("&Yes"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogNoButton), QStringLiteral("&No"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto *firstLine = new QHBoxLayout;
    firstLine->setSpacing(4);
    firstLine->addWidget(Label1);
    firstLine->addWidget(NewVersionLabel);
    firstLine->addWidget(Label3);
    firstLine->addStretch();
    auto *text = new QVBoxLayout;
    text->addLayout(firstLine);
    text->addWidget(Label4);
    text->addWidget(Label5);
    auto *top = new QHBoxLayout;
    top->setSpacing(12);
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addLayout(text, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    // A fixed dialog: the layout's size is the window's size.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    FitCaption(*this);
}

void TNewAppVerDownloadRequestForm::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        adjustSize(); // the version text may have changed the size
        CentreOnScreen(*this);
    }
    QDialog::showEvent(event);
}

} // namespace vantorel
