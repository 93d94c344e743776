// The display of the selected logo and the settings controls kept in step with its record.
#include "MainForm.h"

#include <new>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeView>

#include "ColorButton.h"
#include "FlagGuard.h"
#include "ImageControl.h"
#include "LogoTreeModel.h"
#include "OptionsForm.h"
#include "UploadAddresses.h"

namespace vantorel {

namespace {

// From this size on the picture pane shows the document's view in place, without a copy.
constexpr std::uint64_t kViewShownInPlaceBytes = std::uint64_t(8) << 20;

// The settings that the logo template follows.
void CopySettings(const TLogoDirObject &from, TLogoDirObject &to)
{
    to.PhoneMakeId = from.PhoneMakeId;
    to.PhoneModelId = from.PhoneModelId;
    to.LogoWidth = from.LogoWidth;
    to.LogoHeight = from.LogoHeight;
    to.FitKind = from.FitKind;
    to.KeepProportions = from.KeepProportions;
}

} // namespace

TLogoNode *TMainAppForm::SelectedNode() const { return FLogoTree.Selected(); }

TRenderOptions TMainAppForm::RenderOptions() const
{
    TRenderOptions options;
    if (FOptionsForm) {
        options.FillEmptyArea = FOptionsForm->Options().fillemptyarea;
        options.EmptyAreaColor = FOptionsForm->Options().emptyareacolor;
    }
    return options;
}

void TMainAppForm::PlaceImage(QScrollArea *box, TImageControl *image)
{
    // A picture smaller than the pane is centred; a larger one starts at the top left corner.
    const QSize client = box->viewport()->size();
    const int left = client.width() > image->width() ? (client.width() - image->width()) / 2 : 0;
    const int top = client.height() > image->height() ? (client.height() - image->height()) / 2 : 0;
    box->widget()->resize(std::max(client.width(), image->width()), std::max(client.height(), image->height()));
    image->move(left, top);
    box->horizontalScrollBar()->setValue(0);
    box->verticalScrollBar()->setValue(0);
}

void TMainAppForm::ClearImage(QScrollArea *box, TImageControl *image)
{
    image->SetPicture({});
    image->move(0, 0);
    box->widget()->resize(box->viewport()->size());
    box->horizontalScrollBar()->setValue(0);
    box->verticalScrollBar()->setValue(0);
}

void TMainAppForm::RenderToTarget()
{
    if (!FSourceImage)
        return;
    FSourceImage->RenderLogo(TargetImage->Picture(), 0, 0, RenderOptions());
    TargetImage->Changed();
}

void TMainAppForm::ShowSelectedLogo()
{
    if (FShowingLogo)
        return;
    TFlagGuard guard(FShowingLogo);

    TLogoNode *node = SelectedNode();
    // The document shown so far lends its view and logo where the new one would make the same.
    const std::unique_ptr<TSourceImage> previous = std::move(FSourceImage);
    FCurrentLogo = nullptr;
    if (node) {
        FCurrentLogo = node->Data();
        if (FCurrentLogo->Kind != nkLogo) {
            FFailedNode = nullptr;
            ClearImage(SourceImageScrollBox, SourceImage);
            ClearImage(TargetBkgndScrollBox, TargetImage);
        } else {
            std::string fileName;
            try {
                fileName = FLogoTree.GetLogoFileName(node);
                const QSize pane = SourceImageScrollBox->viewport()->size();
                FSourceImage = std::make_unique<TSourceImage>(TPoint{pane.width(), pane.height()}, fileName,
                                                              FCurrentLogo, Fitimageintopane->isChecked());
                TSourceImage *sameFile = previous && previous->FileName == fileName ? previous.get() : nullptr;
                FSourceImage->BuildView(sameFile);
                if (FCurrentLogo->FrameLeft == -1) {
                    InitSelectionFrame(*FCurrentLogo, FSourceImage->Metrics());
                    FLogoTree.Changed();
                }
                // A photo-sized view is shown in place rather than from a copy. DrawView covers the
                // whole picture, so a copy of the right size is drawn over.
                const TBitmap &view = FSourceImage->View;
                if (static_cast<std::uint64_t>(view.Stride()) * static_cast<std::uint64_t>(view.Height()) >=
                    kViewShownInPlaceBytes)
                    SourceImage->ShowView(&view);
                else
                    SourceImage->SetPictureSize(FSourceImage->ViewWidth, FSourceImage->ViewHeight);
                PlaceImage(SourceImageScrollBox, SourceImage);
                SourceImage->DrawOnShown([this](auto &canvas) { FSourceImage->DrawView(canvas, 0, 0); });
                SourceImage->Changed();
                // The target still shows what the previous document rendered; a logo of the same
                // inputs keeps it.
                const TBitmap &shown = TargetImage->Picture();
                const bool keepTarget = sameFile && shown.Width() == FCurrentLogo->LogoWidth &&
                                        shown.Height() == FCurrentLogo->LogoHeight &&
                                        FSourceImage->TakeLogoFrom(*sameFile, RenderOptions());
                if (!keepTarget)
                    TargetImage->SetPicture(TBitmap(FCurrentLogo->LogoWidth, FCurrentLogo->LogoHeight));
                PlaceImage(TargetBkgndScrollBox, TargetImage);
                if (!keepTarget)
                    RenderToTarget();
                FFailedNode = nullptr;
            } catch (const std::exception &e) {
                FSourceImage.reset();
                ClearImage(SourceImageScrollBox, SourceImage);
                ClearImage(TargetBkgndScrollBox, TargetImage);
                // Resizing the pane redisplays the same logo over and over; its failure is
                // reported once. The pane's own bitmaps can run out of memory too, which the
                // document's message does not cover.
                if (node != FFailedNode)
                    FPrompts->ShowError(dynamic_cast<const std::bad_alloc *>(&e) ? NoMemoryToShowMessage(fileName)
                                                                                 : std::string(e.what()));
                FFailedNode = node;
            }
        }
    }
    // A pane that shows a view in place never outlives the view: with no document to show, it
    // keeps a copy of what it shows, a photo-sized one. Without the memory for it, the pane is
    // emptied and the user told, as when a picture cannot be shown.
    if (SourceImage->ShowsView() && (!FSourceImage || SourceImage->Canvas().View() != &FSourceImage->View)) {
        try {
            SourceImage->SetPicture(SourceImage->Canvas().Composite());
        } catch (const std::bad_alloc &) {
            ClearImage(SourceImageScrollBox, SourceImage);
            FPrompts->ShowError(NoMemoryToShowMessage(previous ? previous->FileName : std::string()));
        }
    }
    UpdateImageStatusBar();
}

void TMainAppForm::LogoTreeViewChange()
{
    TLogoNode *node = TLogoTreeModel::NodeOf(LogoTreeView->currentIndex());
    FLogoTree.Select(node);
    FFailedNode = nullptr; // a new selection reports its own failure
    ShowSelectedLogo();
    {
        TFlagGuard guard(FApplyingSettings);
        LogoToControls();
    }
    UpdateControls();
}

void TMainAppForm::ControlsToLogo()
{
    if (!FCurrentLogo || FFillingControls)
        return;
    TLogoDirObject &logo = *FCurrentLogo;
    logo.PhoneMakeId = PhoneMake->currentIndex();
    logo.PhoneModelId = PhoneModel->currentIndex();
    logo.LogoWidth = LogoWidthUpDown->value();
    logo.LogoHeight = LogoHeightUpDown->value();
    if (const int fit = FitInto->checkedId(); fit >= 0 && fit <= 3)
        logo.FitKind = static_cast<TFitKind>(fit);
    logo.KeepProportions = KeepProportions->isChecked();
    if (logo.Kind == nkLogo)
        CopySettings(logo, *FLogoTemplate);
    FLogoTree.Changed();
}

void TMainAppForm::ShowAddress(QLineEdit *box, const std::string &address)
{
    box->setText(QString::fromStdString(address));
    box->setCursorPosition(0);
}

void TMainAppForm::LogoToControls()
{
    ImageWapURL->clear();
    ImageWapShortURL->clear();
    ImageID->clear();
    if (!FCurrentLogo || FFillingControls)
        return;
    TFlagGuard guard(FFillingControls);
    TLogoDirObject &logo = *FCurrentLogo;

    PhoneMake->setCurrentIndex(logo.PhoneMakeId);
    PhoneModel->clear();
    if (logo.PhoneMakeId >= 0 && logo.PhoneMakeId < static_cast<int>(FPhoneMakes.size()))
        for (const TPhoneModel &model : FPhoneMakes[static_cast<std::size_t>(logo.PhoneMakeId)].Models)
            PhoneModel->addItem(QString::fromStdString(model.Name));
    PhoneModel->setCurrentIndex(logo.PhoneModelId);
    LogoWidthUpDown->setValue(logo.LogoWidth);
    LogoHeightUpDown->setValue(logo.LogoHeight);
    if (QAbstractButton *fit = FitInto->button(logo.FitKind))
        fit->setChecked(true);
    KeepProportions->setChecked(logo.KeepProportions);

    std::string login, password;
    if (FOptionsForm) {
        login = FOptionsForm->Options().login;
        password = FOptionsForm->Options().password;
    }
    const TUploadAddresses addresses = DeriveUploadAddresses(logo.UploadURL, login, password);
    ImageWapURL->setPlainText(QString::fromStdString(addresses.FullURL));
    ShowAddress(ImageWapShortURL, addresses.ShortURL);
    ShowAddress(ImageID, addresses.ImageID);

    const QString upload = logo.UploadURL.empty() ? QStringLiteral("Upload") : QStringLiteral("Upload again");
    UploadMenuItem->setText(upload);
    UploadToolButton->setToolTip(upload);
    UploadButton->setText(upload);

    if (logo.Kind == nkLogo)
        CopySettings(logo, *FLogoTemplate);
}

void TMainAppForm::ApplyLogoSettings()
{
    if (FApplyingSettings)
        return;
    TFlagGuard guard(FApplyingSettings);
    ControlsToLogo();
    if (FCurrentLogo && FSourceImage) {
        FCurrentLogo->FrameLeft = FCurrentLogo->FrameTop = -1;
        FCurrentLogo->FrameWidth = FCurrentLogo->FrameHeight = -1;
        ShowSelectedLogo();
    }
}

void TMainAppForm::FitimageintopaneClick()
{
    // Checkable items tick themselves before they report the click; the state kept here
    // decides, and every control that shows it follows.
    FFitToPane = !FFitToPane;
    Fitimageintopane->setChecked(FFitToPane);
    FitToPaneToolButton->setChecked(FFitToPane);
    ShowSelectedLogo();
}

void TMainAppForm::Options1Click()
{
    if (FOptionsForm && FOptionsForm->exec() == QDialog::Accepted)
        ShowSelectedLogo();
}

void TMainAppForm::PhoneMakeChange()
{
    const int make = PhoneMake->currentIndex();
    if (make < 0 || make >= static_cast<int>(FPhoneMakes.size()))
        return;
    PhoneModel->clear();
    for (const TPhoneModel &model : FPhoneMakes[static_cast<std::size_t>(make)].Models)
        PhoneModel->addItem(QString::fromStdString(model.Name));
    PhoneModel->setCurrentIndex(-1);
}

void TMainAppForm::PhoneModelChange()
{
    const int make = PhoneMake->currentIndex();
    const int model = PhoneModel->currentIndex();
    if (make < 0 || model < 0 || make >= static_cast<int>(FPhoneMakes.size()))
        return;
    const auto &models = FPhoneMakes[static_cast<std::size_t>(make)].Models;
    if (model >= static_cast<int>(models.size()))
        return;
    {
        TFlagGuard guard(FApplyingSettings);
        LogoWidthUpDown->setValue(models[static_cast<std::size_t>(model)].Attributes.ScreenWidth);
        LogoHeightUpDown->setValue(models[static_cast<std::size_t>(model)].Attributes.ScreenHeight);
    }
    ApplyLogoSettings();
}

} // namespace vantorel
