#include "JPEGProps.h"

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

TJPEGPropsForm::TJPEGPropsForm(std::string programFolder, TOptionsForm &options, QWidget *parent)
    : QDialog(parent), FProgramFolder(std::move(programFolder)), FOptions(options)
{
    setObjectName(QStringLiteral("JPEGPropsForm"));
    setWindowTitle(QStringLiteral("JPEG Picture Properties"));
    // The small dialog font of the options dialog, so the texts fit the small design.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    JPEGQualityTrackBar = new QSlider(Qt::Horizontal, this);
    JPEGQualityTrackBar->setObjectName(QStringLiteral("JPEGQualityTrackBar"));
    JPEGQualityTrackBar->setRange(10, 100);
    JPEGQualityTrackBar->setSingleStep(10);
    JPEGQualityTrackBar->setPageStep(10);
    JPEGQualityTrackBar->setTickInterval(10);
    JPEGQualityTrackBar->setTickPosition(QSlider::TicksAbove);
    JPEGQualityTrackBar->setValue(90);
    Label1 = new QLabel(QStringLiteral("JPEG Quality:"), this);
    JPEGQualityLabel = new QLabel(QStringLiteral("90%"), this);
    JPEGQualityLabel->setObjectName(QStringLiteral("JPEGQualityLabel"));
    Label2 = new QLabel(QStringLiteral("File Size in bytes:"), this);
    ImageSizeLabel = new QLabel(this);
    ImageSizeLabel->setObjectName(QStringLiteral("ImageSizeLabel"));

    JPEGImage = new TImageControl(this);
    JPEGImage->setObjectName(QStringLiteral("JPEGImage"));

    ShowJPEGDialogCheckBox = new QCheckBox(QStringLiteral("Show this dialog box next time"), this);
    ShowJPEGDialogCheckBox->setObjectName(QStringLiteral("ShowJPEGDialogCheckBox"));
    ShowJPEGDialogCheckBox->setChecked(true);
    auto *separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto *top = new QGridLayout;
    top->addWidget(Label1, 0, 0);
    top->addWidget(JPEGQualityLabel, 0, 1);
    top->addWidget(JPEGQualityTrackBar, 1, 0, 1, 2);
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
    layout->addWidget(JPEGImage, 1, Qt::AlignCenter);
    layout->addWidget(ShowJPEGDialogCheckBox);
    layout->addWidget(separator);
    layout->addLayout(buttons);
    // The caller gives the size; a large preview is clipped rather than growing the dialog.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    setFixedSize(kMinWidth, kMinHeight);

    connect(JPEGQualityTrackBar, &QSlider::valueChanged, this, &TJPEGPropsForm::JPEGQualityTrackBarChange);
    connect(OKButton, &QPushButton::clicked, this, &TJPEGPropsForm::OKButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TJPEGPropsForm::~TJPEGPropsForm() = default;

void TJPEGPropsForm::SetLogo(TBitmap logo, std::string logoName)
{
    FLogo = std::move(logo);
    FLogoName = std::move(logoName);
}

void TJPEGPropsForm::SizeToLogo(int logoWidth, int logoHeight)
{
    setFixedSize(std::max(logoWidth + 16, kMinWidth), std::max(logoHeight + 180, kMinHeight));
}

void TJPEGPropsForm::showEvent(QShowEvent *event)
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

void TJPEGPropsForm::done(int result)
{
    QDialog::done(result);
    FWorkFolder.reset();
    FPreviewFile.clear();
}

void TJPEGPropsForm::FormShow()
{
    {
        // The change handler rounds the options' quality to tens; the preview is made below.
        const TFlagGuard showing(FShowing);
        JPEGQualityTrackBar->setValue(FOptions.Options().jpegquality);
    }
    ShowJPEGDialogCheckBox->setChecked(FOptions.Options().showjpegdialog);
    JPEGQualityLabel->setText(QStringLiteral("%1%").arg(JPEGQualityTrackBar->value()));
    FLastQuality = JPEGQualityTrackBar->value();
    RenderPreview();
}

void TJPEGPropsForm::JPEGQualityTrackBarChange()
{
    const int position = JPEGQualityTrackBar->value();
    const int rounded = (position + 5) / 10 * 10;
    if (rounded != position)
        JPEGQualityTrackBar->setValue(rounded); // runs this handler again, which settles at once
    const int quality = JPEGQualityTrackBar->value();
    JPEGQualityLabel->setText(QStringLiteral("%1%").arg(quality));
    // Dragging between positions that round alike encodes nothing new.
    if (quality != FLastQuality && !FShowing)
        RenderPreview();
    FLastQuality = quality;
}

void TJPEGPropsForm::OKButtonClick()
{
    TOptionValues &options = FOptions.Options();
    options.showjpegdialog = ShowJPEGDialogCheckBox->isChecked();
    options.jpegquality = JPEGQualityTrackBar->value();
    FOptions.SaveOptions();
    accept();
}

void TJPEGPropsForm::RenderPreview()
{
    // Runs inside Qt's event handlers, which must not be left by an exception: a preview that
    // cannot be made shows no picture and no size, and the dialog stays usable.
    try {
        if (FLogo.Empty() || !IsValidNodeName(FLogoName))
            throw EImageError("No logo to preview");
        if (!FWorkFolder)
            FWorkFolder = std::make_unique<TTempWorkFolder>(FProgramFolder);
        FPreviewFile = FWorkFolder->Path() + FLogoName;
        WriteJPEG(FLogo, FPreviewFile, JPEGQualityTrackBar->value());
        // Read back, so the preview shows what the compression did to the logo.
        JPEGImage->SetPicture(ReadPicture(FPreviewFile));
        ImageSizeLabel->setText(QString::number(std::filesystem::file_size(FPreviewFile)));
    } catch (const std::exception &) {
        JPEGImage->SetPicture({});
        ImageSizeLabel->clear();
    }
}

} // namespace vantorel
