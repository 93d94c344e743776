#include "GrabScreen.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace vantorel {

namespace {

// Shows the form's picture at the screen's own pixel density and hands the mouse to the form in
// picture pixels.
class TScreenImage : public QWidget {
public:
    explicit TScreenImage(TGrabScreenForm &form) : QWidget(&form), FForm(form)
    {
        setObjectName(QStringLiteral("ScreenImage"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        setCursor(Qt::CrossCursor);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const TBitmap &picture = FForm.Picture();
        if (picture.Empty()) {
            painter.fillRect(rect(), Qt::black);
            return;
        }
        QImage image(picture.Bits(), picture.Width(), picture.Height(), static_cast<qsizetype>(picture.Stride()),
                     QImage::Format_RGB888);
        image.setDevicePixelRatio(FForm.PictureRatio());
        painter.drawImage(0, 0, image);
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        const QPoint p = FForm.PicturePoint(event->position());
        FForm.ScreenImageMouseDown(event->button(), p.x(), p.y());
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        const QPoint p = FForm.PicturePoint(event->position());
        FForm.ScreenImageMouseMove(p.x(), p.y());
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        const QPoint p = FForm.PicturePoint(event->position());
        FForm.ScreenImageMouseUp(event->button(), p.x(), p.y());
    }

private:
    TGrabScreenForm &FForm;
};

constexpr TRect kNothingSelected{-1, -1, -1, -1};

} // namespace

TGrabScreenForm::TGrabScreenForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("GrabScreenForm"));
    setWindowTitle(QStringLiteral("GrabScreenForm"));
    // No caption, border or owner, above the other windows: the window's pixels are the screen's.
    // Not a pop-up, which would close at the first click outside it and take no keyboard focus.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    ScreenImage = new TScreenImage(*this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ScreenImage);
}

void TGrabScreenForm::PlaceOnScreen(QScreen *screen)
{
    setScreen(screen);
    setGeometry(screen->geometry());
    // Full-screen so a window manager neither frames it nor moves it off panels.
    setWindowState(Qt::WindowFullScreen);
}

void TGrabScreenForm::SetScreenPicture(const QImage &screenCopy)
{
    const QImage rgb = screenCopy.convertToFormat(QImage::Format_RGB888);
    FPicture.SetSize(rgb.width(), rgb.height());
    const std::size_t bytes = static_cast<std::size_t>(rgb.width()) * 3;
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(FPicture.Scanline(y), rgb.constScanLine(y), bytes);
    FRatio = screenCopy.devicePixelRatio() > 0 ? screenCopy.devicePixelRatio() : 1.0;
    ScreenImage->update();
}

QPoint TGrabScreenForm::PicturePoint(QPointF position) const
{
    return QPoint(static_cast<int>(std::floor(position.x() * FRatio)),
                  static_cast<int>(std::floor(position.y() * FRatio)));
}

int TGrabScreenForm::ClampX(int x) const { return std::max(0, std::min(x, FPicture.Width() - 1)); }

int TGrabScreenForm::ClampY(int y) const { return std::max(0, std::min(y, FPicture.Height() - 1)); }

void TGrabScreenForm::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        FormShow();
        activateWindow();
        grabKeyboard();
        GrabKeyboardWhenMapped(25);
    }
    QDialog::showEvent(event);
}

void TGrabScreenForm::hideEvent(QHideEvent *event)
{
    releaseKeyboard();
    QDialog::hideEvent(event);
}

void TGrabScreenForm::GrabKeyboardWhenMapped(int triesLeft)
{
    // The window system refuses the grab until the window is on the screen, so it is tried again
    // for a moment after the show.
    if (!isVisible())
        return;
    if (QWindow *window = windowHandle(); window && window->setKeyboardGrabEnabled(true))
        return;
    if (triesLeft > 0)
        QTimer::singleShot(20, this, [this, triesLeft] { GrabKeyboardWhenMapped(triesLeft - 1); });
}

void TGrabScreenForm::FormShow()
{
    FSelRect = kNothingSelected;
    FSelecting = false;
}

void TGrabScreenForm::ScreenImageMouseDown(Qt::MouseButton, int x, int y)
{
    x = ClampX(x);
    y = ClampY(y);
    FSelRect = {x, y, x + 1, y + 1};
    FSelecting = true;
    DrawRubberBand();
}

void TGrabScreenForm::ScreenImageMouseMove(int x, int y)
{
    if (!FSelecting)
        return;
    DrawRubberBand();
    FSelRect.Right = ClampX(x) + 1;
    FSelRect.Bottom = ClampY(y) + 1;
    DrawRubberBand();
}

void TGrabScreenForm::ScreenImageMouseUp(Qt::MouseButton, int, int)
{
    DrawRubberBand();
    if (FSelRect.Left > FSelRect.Right)
        std::swap(FSelRect.Left, FSelRect.Right);
    if (FSelRect.Top > FSelRect.Bottom)
        std::swap(FSelRect.Top, FSelRect.Bottom);
    // Ends the window with the OK result without passing through its close handler, which
    // cancels.
    done(QDialog::Accepted);
}

void TGrabScreenForm::FormKeyDown(int key)
{
    if (key != Qt::Key_Escape)
        return;
    FSelRect = kNothingSelected;
    done(QDialog::Rejected);
}

void TGrabScreenForm::keyPressEvent(QKeyEvent *event)
{
    // Only Esc means anything here; Enter must not end the window with a half-made selection.
    FormKeyDown(event->key());
    event->accept();
}

void TGrabScreenForm::closeEvent(QCloseEvent *event)
{
    // Closed from outside (the session ends): the half-made selection is dropped, so the grab
    // stores nothing.
    FSelRect = kNothingSelected;
    QDialog::closeEvent(event);
}

void TGrabScreenForm::DrawRubberBand()
{
    const TRect band{std::min(FSelRect.Left, FSelRect.Right), std::min(FSelRect.Top, FSelRect.Bottom),
                     std::max(FSelRect.Left, FSelRect.Right), std::max(FSelRect.Top, FSelRect.Bottom)};
    FPicture.XorDottedRect(band);
    ScreenImage->update();
}

} // namespace vantorel
