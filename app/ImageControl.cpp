#include "ImageControl.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace vantorel {

TImageControl::TImageControl(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    SetPicture({});
}

void TImageControl::SetPicture(TBitmap picture)
{
    FPicture = std::move(picture);
    if (FPicture.Empty())
        setFixedSize(10, 10);
    else
        setFixedSize(FPicture.Width(), FPicture.Height());
    update();
}

void TImageControl::SetPictureSize(int width, int height)
{
    if (FPicture.Width() != width || FPicture.Height() != height) {
        FPicture = TBitmap();
        FPicture = TBitmap::ForOverwrite(width, height);
    }
    SetPicture(std::move(FPicture));
}

void TImageControl::Changed() { repaint(); }

void TImageControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (FPicture.Empty()) {
        painter.fillRect(rect(), palette().base());
        return;
    }
    // The bitmap's rows are RGB bytes padded to four, which a QImage wraps without a copy.
    const QImage image(FPicture.Bits(), FPicture.Width(), FPicture.Height(), static_cast<qsizetype>(FPicture.Stride()),
                       QImage::Format_RGB888);
    painter.drawImage(0, 0, image);
}

void TImageControl::mousePressEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit MouseDown(event->button(), p.x(), p.y());
}

void TImageControl::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit MouseMove(p.x(), p.y());
}

void TImageControl::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit MouseUp(event->button(), p.x(), p.y());
}

} // namespace vantorel
