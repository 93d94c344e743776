// Frame editing by mouse on the picture pane and the timers of the frame and the cursor.
#include "MainForm.h"

#include <QCheckBox>
#include <QScrollArea>

#include "FlagGuard.h"
#include "ImageControl.h"
#include "OptionsForm.h"

namespace vantorel {

namespace {

// Repaints only the four 1-pixel strips of a frame.
void UpdateFrameStrips(QWidget *widget, const TRect &r)
{
    widget->update(r.Left, r.Top, r.Width(), 1);
    widget->update(r.Left, r.Bottom - 1, r.Width(), 1);
    widget->update(r.Left, r.Top, 1, r.Height());
    widget->update(r.Right - 1, r.Top, 1, r.Height());
}

} // namespace

void TMainAppForm::SourceImageMouseDown(Qt::MouseButton, int x, int y)
{
    if (FInMouseHandler)
        return;
    TFlagGuard guard(FInMouseHandler);
    FMouseButtonDown = true;
    const TLogoNode *node = FLogoTree.Selected();
    if (node && node->Kind() == nkLogo && FSourceImage) {
        FDragStartFrame = FrameRectOf(*node->Data());
        FDragStartPoint = {x, y};
        FDragMode = TSourceImage::HitTest(
            x, y, FrameInViewCoordinates(*node->Data(), FSourceImage->Metrics(), Fitimageintopane->isChecked()));
        // The open hand closes while the frame is moved; the release puts the hover cursor back.
        if (FDragMode == fhInside)
            SourceImage->setCursor(FHandGrabCursor);
    }
}

void TMainAppForm::SourceImageMouseMove(int x, int y)
{
    if (FInMouseHandler)
        return;
    TFlagGuard guard(FInMouseHandler);
    ImageCursorTimer.start();
    UpdateSourceImageCursor(x, y);
    DragSelectionFrame(x, y);
    UpdateImageStatusBar();
}

void TMainAppForm::SourceImageMouseUp(Qt::MouseButton, int x, int y)
{
    if (FInMouseHandler)
        return;
    TFlagGuard guard(FInMouseHandler);
    if (FMouseButtonDown && FOptionsForm && !FOptionsForm->Options().showlogochange)
        RenderToTarget();
    FMouseButtonDown = false;
    UpdateSourceImageCursor(x, y);
    UpdateImageStatusBar();
}

void TMainAppForm::UpdateSourceImageCursor(int x, int y)
{
    const TLogoNode *node = FLogoTree.Selected();
    if (!node || node->Kind() != nkLogo || !FSourceImage || FMouseButtonDown)
        return;
    const TRect frame = FrameInViewCoordinates(*node->Data(), FSourceImage->Metrics(), Fitimageintopane->isChecked());
    switch (TSourceImage::CursorAt(x, y, frame)) {
    case crHandFlat:
        SourceImage->setCursor(FHandFlatCursor);
        break;
    case crSizeNWSE:
        SourceImage->setCursor(Qt::SizeFDiagCursor);
        break;
    case crSizeNESW:
        SourceImage->setCursor(Qt::SizeBDiagCursor);
        break;
    case crSizeWE:
        SourceImage->setCursor(Qt::SizeHorCursor);
        break;
    case crSizeNS:
        SourceImage->setCursor(Qt::SizeVerCursor);
        break;
    default:
        SourceImage->unsetCursor();
        break;
    }
}

void TMainAppForm::DragSelectionFrame(int x, int y)
{
    const TLogoNode *node = FLogoTree.Selected();
    if (!node || node->Kind() != nkLogo || !FSourceImage || !FMouseButtonDown || FDragMode == fhOutside)
        return;
    TLogoDirObject &logo = *node->Data();
    const TRect before = FSourceImage->FrameInView();
    SourceImage->DrawOnShown([this](auto &canvas) { FSourceImage->EraseFrame(canvas); });

    const TFrameMetrics metrics = FSourceImage->Metrics();
    const TRect bounds = CalcFrameRect(logo.FitKind, metrics);
    const TFrameBox box =
        DragFrame(FDragMode, x, y, {FDragStartFrame, FDragStartPoint}, bounds, metrics, logo.KeepProportions);
    logo.FrameLeft = box.Left;
    logo.FrameTop = box.Top;
    logo.FrameWidth = box.Width;
    logo.FrameHeight = box.Height;
    FLogoTree.Changed();

    SourceImage->DrawOnShown([this](auto &canvas) { FSourceImage->DrawFrame(canvas); });
    // Only the frame changed on the picture: the old strips and the new ones, and the border.
    UpdateFrameStrips(SourceImage, before);
    UpdateFrameStrips(SourceImage, FSourceImage->FrameInView());
    UpdateFrameStrips(SourceImage, {0, 0, FSourceImage->ViewWidth, FSourceImage->ViewHeight});
    if (FOptionsForm && FOptionsForm->Options().showlogochange)
        RenderToTarget();
}

void TMainAppForm::SelFrameTimerTimer()
{
    if (!FSourceImage)
        return;
    SourceImage->DrawOnShown([this](auto &canvas) { FSourceImage->DrawFrame(canvas); });
    FSourceImage->StepFramePhase();
    UpdateFrameStrips(SourceImage, FSourceImage->FrameInView());
}

void TMainAppForm::ImageCursorTimerTimer()
{
    // Puts the default cursor back once the mouse has left the picture or the pane.
    const QPoint global = QCursor::pos();
    if (!SourceImage->rect().contains(SourceImage->mapFromGlobal(global)) ||
        !SourceImageScrollBox->rect().contains(SourceImageScrollBox->mapFromGlobal(global))) {
        SourceImage->unsetCursor();
        ImageCursorTimer.stop();
    }
}

} // namespace vantorel
