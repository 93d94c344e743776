#include "GIFProps.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <utility>

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSlider>
#include <QVBoxLayout>

#include "FlagGuard.h"
#include "ImageCodecs.h"
#include "OptionsForm.h"
#include "TextRules.h"

namespace vantorel {

namespace {

constexpr int kMinWidth = 200;
constexpr int kMinHeight = 290;

} // namespace

TGIFPropsForm::TGIFPropsForm(std::string programFolder, TOptionsForm &options, QWidget *parent)
    : QDialog(parent), FProgramFolder(std::move(programFolder)), FOptions(options)
{
    setObjectName(QStringLiteral("GIFPropsForm"));
    setWindowTitle(QStringLiteral("GIF Picture Properties"));
    // The small dialog font of the options dialog, so the texts fit the small design.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    GIFBitDepthTrackBar = new QSlider(Qt::Horizontal, this);
    GIFBitDepthTrackBar->setObjectName(QStringLiteral("GIFBitDepthTrackBar"));
    GIFBitDepthTrackBar->setRange(3, 8);
    GIFBitDepthTrackBar->setSingleStep(1);
    GIFBitDepthTrackBar->setPageStep(1);
    GIFBitDepthTrackBar->setTickInterval(1);
    GIFBitDepthTrackBar->setTickPosition(QSlider::TicksAbove);
    GIFBitDepthTrackBar->setValue(8);
    Label1 = new QLabel(QStringLiteral("Bits Per Pixel:"), this);
    GIFBitDepthLabel = new QLabel(QStringLiteral("8 bits"), this);
    GIFBitDepthLabel->setObjectName(QStringLiteral("GIFBitDepthLabel"));
    Label2 = new QLabel(QStringLiteral("File Size in bytes:"), this);
    ImageSizeLabel = new QLabel(this);
    ImageSizeLabel->setObjectName(QStringLiteral("ImageSizeLabel"));

    GIFImage = new TImageControl(this);
    GIFImage->setObjectName(QStringLiteral("GIFImage"));

    ShowGIFDialogCheckBox = new QCheckBox(QStringLiteral("Show this dialog box next time"), this);
    ShowGIFDialogCheckBox->setObjectName(QStringLiteral("ShowGIFDialogCheckBox"));
    ShowGIFDialogCheckBox->setChecked(true);
    auto *separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto *top = new QGridLayout;
    top->addWidget(Label1, 0, 0);
    top->addWidget(GIFBitDepthLabel, 0, 1);
    top->addWidget(GIFBitDepthTrackBar, 1, 0, 1, 2);
    top->addWidget(Label2, 2, 0);
    top->addWidget(ImageSizeLabel, 2, 1);
    top->setColumnStretch(1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 6, 4, 6);
    layout->addLayout(top);
    layout->addWidget(GIFImage, 1, Qt::AlignCenter);
    layout->addWidget(ShowGIFDialogCheckBox);
    layout->addWidget(separator);
    layout->addLayout(buttons);
    // The caller gives the size; a large preview is clipped rather than growing the dialog.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    setFixedSize(kMinWidth, kMinHeight);

    connect(GIFBitDepthTrackBar, &QSlider::valueChanged, this, &TGIFPropsForm::GIFBitDepthTrackBarChange);
    connect(OKButton, &QPushButton::clicked, this, &TGIFPropsForm::OKButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TGIFPropsForm::~TGIFPropsForm() = default;

void TGIFPropsForm::SetLogo(TBitmap logo, std::string logoName)
{
    FLogo = std::move(logo);
    FLogoName = std::move(logoName);
}

void TGIFPropsForm::SizeToLogo(int logoWidth, int logoHeight)
{
    setFixedSize(std::max(logoWidth + 16, kMinWidth), std::max(logoHeight + 180, kMinHeight));
}

void TGIFPropsForm::showEvent(QShowEvent *event)
{
    // A window shown again by the desktop, after being minimised, keeps its state.
    if (!event->spontaneous()) {
        if (const QScreen *where = screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(where->availableGeometry().center());
            move(frame.topLeft());
        }
        FormShow();
    }
    QDialog::showEvent(event);
}

void TGIFPropsForm::done(int result)
{
    QDialog::done(result);
    FWorkFolder.reset();
    FPreviewFile.clear();
}

void TGIFPropsForm::FormShow()
{
    {
        // The preview is made below, once.
        const TFlagGuard showing(FShowing);
        GIFBitDepthTrackBar->setValue(FOptions.Options().gifbitdepth);
    }
    ShowGIFDialogCheckBox->setChecked(FOptions.Options().showgifdialog);
    GIFBitDepthLabel->setText(QStringLiteral("%1 bits").arg(GIFBitDepthTrackBar->value()));
    FLastBitDepth = GIFBitDepthTrackBar->value();
    RenderPreview();
}

void TGIFPropsForm::GIFBitDepthTrackBarChange()
{
    const int bits = GIFBitDepthTrackBar->value();
    GIFBitDepthLabel->setText(QStringLiteral("%1 bits").arg(bits));
    if (bits != FLastBitDepth && !FShowing)
        RenderPreview();
    FLastBitDepth = bits;
}

void TGIFPropsForm::OKButtonClick()
{
    TOptionValues &options = FOptions.Options();
    options.showgifdialog = ShowGIFDialogCheckBox->isChecked();
    options.gifbitdepth = GIFBitDepthTrackBar->value();
    FOptions.SaveOptions();
    accept();
}

void TGIFPropsForm::RenderPreview()
{
    // Runs inside Qt's event handlers, which must not be left by an exception: a preview that
    // cannot be made shows no picture and no size, and the dialog stays usable.
    try {
        if (FLogo.Empty() || !IsValidNodeName(FLogoName))
            throw EImageError("No logo to preview");
        if (!FWorkFolder)
            FWorkFolder = std::make_unique<TTempWorkFolder>(FProgramFolder);
        FPreviewFile = FWorkFolder->Path() + FLogoName;
        WriteGIF(FLogo, FPreviewFile, GIFBitDepthTrackBar->value());
        // Read back, so the preview shows what the colour reduction did to the logo.
        GIFImage->SetPicture(ReadPicture(FPreviewFile));
        ImageSizeLabel->setText(QString::number(std::filesystem::file_size(FPreviewFile)));
    } catch (const std::exception &) {
        GIFImage->SetPicture({});
        ImageSizeLabel->clear();
    }
}

} // namespace vantorel
