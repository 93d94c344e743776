#include "PicturePropsForm.h"

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
#include <QShowEvent>
#include <QSlider>
#include <QVBoxLayout>

#include "DialogFrame.h"
#include "DialogPlacement.h"
#include "FlagGuard.h"
#include "ImageCodecs.h"
#include "OptionsForm.h"
#include "TextRules.h"

namespace vantorel {

namespace {

constexpr int kMinWidth = 200;
constexpr int kMinHeight = 290;

} // namespace

TPicturePropsForm::TPicturePropsForm(const TPictureSetting &setting, std::string programFolder, TOptionsForm &options,
                                     QWidget *parent)
    : QDialog(parent), FSetting(setting), FProgramFolder(std::move(programFolder)), FOptions(options)
{
    setObjectName(QString::fromLatin1(setting.formName));
    setWindowTitle(QString::fromLatin1(setting.caption));
    // The small dialog font of the options dialog, so the texts fit the small design.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    FSettingBar = new QSlider(Qt::Horizontal, this);
    FSettingBar->setObjectName(QString::fromLatin1(setting.barName));
    FSettingBar->setRange(setting.minimum, setting.maximum);
    FSettingBar->setSingleStep(setting.step);
    FSettingBar->setPageStep(setting.step);
    FSettingBar->setTickInterval(setting.step);
    FSettingBar->setTickPosition(QSlider::TicksAbove);
    FSettingBar->setValue(setting.initial);
    Label1 = new QLabel(QString::fromLatin1(setting.settingText), this);
    FValueLabel = new QLabel(this);
    FValueLabel->setObjectName(QString::fromLatin1(setting.valueName));
    ShowValue(setting.initial);
    Label2 = new QLabel(QStringLiteral("File Size in bytes:"), this);
    ImageSizeLabel = new QLabel(this);
    ImageSizeLabel->setObjectName(QStringLiteral("ImageSizeLabel"));

    FImage = new TImageControl(this);
    FImage->setObjectName(QString::fromLatin1(setting.imageName));

    FShowCheckBox = new QCheckBox(QStringLiteral("Show this dialog box next time"), this);
    FShowCheckBox->setObjectName(QString::fromLatin1(setting.checkBoxName));
    FShowCheckBox->setChecked(true);
    auto *separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto *top = new QGridLayout;
    top->addWidget(Label1, 0, 0);
    top->addWidget(FValueLabel, 0, 1);
    top->addWidget(FSettingBar, 1, 0, 1, 2);
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
    layout->addWidget(FImage, 1, Qt::AlignCenter);
    layout->addWidget(FShowCheckBox);
    layout->addWidget(separator);
    layout->addLayout(buttons);
    // The caller gives the size; a large preview is clipped rather than growing the dialog.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    FitCaption(*this);
    SizeToLogo(0, 0);

    connect(FSettingBar, &QSlider::valueChanged, this, &TPicturePropsForm::SettingBarChange);
    connect(OKButton, &QPushButton::clicked, this, &TPicturePropsForm::OKButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TPicturePropsForm::~TPicturePropsForm() = default;

void TPicturePropsForm::SetLogo(TBitmap logo, std::string logoName)
{
    FLogo = std::move(logo);
    FLogoName = std::move(logoName);
}

void TPicturePropsForm::SizeToLogo(int logoWidth, int logoHeight)
{
    // Never narrower than the caption needs in the title bar.
    const int leastWidth = std::max(kMinWidth, CaptionWidth(windowTitle()));
    setFixedSize(std::max(logoWidth + 16, leastWidth), std::max(logoHeight + 180, kMinHeight));
}

void TPicturePropsForm::showEvent(QShowEvent *event)
{
    // A window shown again by the desktop, after being minimised, keeps its state.
    if (!event->spontaneous()) {
        CentreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void TPicturePropsForm::done(int result)
{
    QDialog::done(result);
    FWorkFolder.reset();
    FPreviewFile.clear();
}

void TPicturePropsForm::FormShow()
{
    {
        // The change handler settles the options' value on the bar; the preview is made below, once.
        const TFlagGuard showing(FShowing);
        FSettingBar->setValue(FOptions.Options().*FSetting.value);
    }
    FShowCheckBox->setChecked(FOptions.Options().*FSetting.show);
    ShowValue(FSettingBar->value());
    FLastValue = FSettingBar->value();
    RenderPreview();
}

void TPicturePropsForm::SettingBarChange()
{
    const int position = FSettingBar->value();
    const int settled = Settled(position);
    if (settled != position)
        FSettingBar->setValue(settled); // runs this handler again, which settles at once
    const int value = FSettingBar->value();
    ShowValue(value);
    // Dragging between positions that settle alike encodes nothing new.
    if (value != FLastValue && !FShowing)
        RenderPreview();
    FLastValue = value;
}

void TPicturePropsForm::OKButtonClick()
{
    TOptionValues &options = FOptions.Options();
    options.*FSetting.show = FShowCheckBox->isChecked();
    options.*FSetting.value = FSettingBar->value();
    FOptions.SaveOptions();
    accept();
}

void TPicturePropsForm::ShowValue(int value)
{
    FValueLabel->setText(QString::fromLatin1(FSetting.valueFormat).arg(value));
}

void TPicturePropsForm::RenderPreview()
{
    // Runs inside Qt's event handlers, which must not be left by an exception: a preview that
    // cannot be made shows no picture and no size, and the dialog stays usable.
    try {
        if (FLogo.Empty() || !IsValidNodeName(FLogoName))
            throw EImageError("No logo to preview");
        if (!FWorkFolder)
            FWorkFolder = std::make_unique<TTempWorkFolder>(FProgramFolder);
        FPreviewFile = FWorkFolder->Path() + FLogoName;
        FSetting.write(FLogo, FPreviewFile, FSettingBar->value());
        // Read back, so the preview shows what the encoder did to the logo.
        FImage->SetPicture(ReadPicture(FPreviewFile));
        ImageSizeLabel->setText(QString::number(std::filesystem::file_size(FPreviewFile)));
    } catch (const std::exception &) {
        FImage->SetPicture({});
        ImageSizeLabel->clear();
    }
}

} // namespace vantorel
