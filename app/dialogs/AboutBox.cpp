#include "AboutBox.h"

#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "DialogFrame.h"
#include "Icons.h"

namespace vantorel {

namespace {

constexpr int kPictureWidth = 265;
constexpr int kPictureHeight = 161;

// The program's picture filling the box's picture area: the phone on a soft backdrop, so the
// wide area is covered without distorting the phone.
QPixmap AboutPicture()
{
    QPixmap picture(kPictureWidth, kPictureHeight);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QLinearGradient backdrop(0, 0, 0, kPictureHeight);
    backdrop.setColorAt(0, QColor(0xdd, 0xec, 0xfb));
    backdrop.setColorAt(1, QColor(0xfa, 0xfc, 0xff));
    p.fillRect(picture.rect(), backdrop);
    const int side = kPictureHeight - 8;
    const QPixmap phone = ProgramIcon().pixmap(256).scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    p.drawPixmap((kPictureWidth - phone.width()) / 2, (kPictureHeight - phone.height()) / 2, phone);
    return picture;
}

} // namespace

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setLineWidth(2);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setFixedSize(kPictureWidth, kPictureHeight);
    ProgramIcon->setFrameShape(QFrame::Panel);
    ProgramIcon->setFrameShadow(QFrame::Sunken);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(AboutPicture());

    ProductName = new QLabel(QStringLiteral("Vantorel"), panel);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont nameFont = ProductName->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.6);
    ProductName->setFont(nameFont);

    Version = new QLabel(QStringLiteral("Version: %1").arg(QString::fromLatin1(kProgramVersion)), panel);
    Version->setObjectName(QStringLiteral("Version"));

    Comments = new QLabel(QStringLiteral("Logos and wallpapers for mobile phones"), panel);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setWordWrap(true);

    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(10, 10, 10, 10);
    panelLayout->setSpacing(6);
    panelLayout->addWidget(ProgramIcon, 0, Qt::AlignHCenter);
    panelLayout->addSpacing(4);
    panelLayout->addWidget(ProductName);
    panelLayout->addWidget(Version);
    panelLayout->addWidget(Comments);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(panel);
    layout->addLayout(buttons);
    // A fixed dialog: the layout's size is the window's size.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    FitCaption(*this);
}

} // namespace vantorel
