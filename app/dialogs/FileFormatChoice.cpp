#include "FileFormatChoice.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "DialogFrame.h"
#include "DialogPlacement.h"

namespace vantorel {

TFileFormatChoiceForm::TFileFormatChoiceForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FileFormatChoiceForm"));
    setWindowTitle(QStringLiteral("Graphic file format choice"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    Label1 = new QLabel(QStringLiteral("Please choose graphic file format:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    FileFormatComboBox = new QComboBox(this);
    FileFormatComboBox->setObjectName(QStringLiteral("FileFormatComboBox"));
    FileFormatComboBox->setEditable(false);
    FileFormatComboBox->addItems({QStringLiteral("BMP (Windows Bitmap)"), QStringLiteral("JPG (JPEG JFIF Format)"),
                                  QStringLiteral("GIF (Graphics Interchange Format)"),
                                  QStringLiteral("PNG (Portable Network Graphics)")});
    FileFormatComboBox->setCurrentIndex(3);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(FileFormatComboBox);
    layout->addLayout(buttons);
    // A fixed dialog border: the size the contents ask for, not resizable.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    FitCaption(*this);
}

void TFileFormatChoiceForm::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        CentreOnScreen(*this);
    QDialog::showEvent(event);
}

} // namespace vantorel
