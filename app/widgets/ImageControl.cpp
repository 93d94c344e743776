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
    FCanvas.Reset(nullptr);
    FPicture = std::move(picture);
    if (FPicture.Empty())
        setFixedSize(10, 10);
    else
        setFixedSize(FPicture.Width(), FPicture.Height());
    update();
}

void TImageControl::SetPictureSize(int width, int height)
{
    if (FPicture.Width() != width || FPicture.Height() != height)
        FPicture.SetSizeForOverwrite(width, height);
    SetPicture(std::move(FPicture));
}

void TImageControl::ShowView(const TBitmap *view)
{
    FPicture = TBitmap();
    FCanvas.Reset(view);
    setFixedSize(FCanvas.Width(), FCanvas.Height());
    update();
}

void TImageControl::Changed() { repaint(); }

namespace {

// The bitmap's rows are RGB bytes padded to four, which a QImage wraps without a copy.
QImage Wrapped(const TBitmap &bitmap)
{
    return QImage(bitmap.Bits(), bitmap.Width(), bitmap.Height(), static_cast<qsizetype>(bitmap.Stride()),
                  QImage::Format_RGB888);
}

} // namespace

void TImageControl::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    if (ShowsView()) {
        // The view, then the tiles drawn on over it: the pixels a copy drawn on would show. The
        // dashes' steps repaint thin strips, so each strip is drawn alone, not their bounding box.
        for (const QRect &area : event->region()) {
            painter.setClipRect(area);
            painter.drawImage(area.topLeft(), Wrapped(*FCanvas.View()), area);
            for (const TViewCanvas::TTile &tile :
                 FCanvas.TilesIn({area.left(), area.top(), area.right() + 1, area.bottom() + 1}))
                painter.drawImage(tile.Place.Left, tile.Place.Top, Wrapped(*tile.Pixels));
        }
        return;
    }
    if (FPicture.Empty()) {
        painter.fillRect(rect(), palette().base());
        return;
    }
    painter.drawImage(0, 0, Wrapped(FPicture));
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
