#pragma once

#include <QDialog>
#include <QImage>

#include "Bitmap.h"

class QScreen;

namespace vantorel {

// The screen grab's selection window: a frameless, on-top window without an owner that covers
// the primary screen and shows a frozen copy of it, on which the user drags a rectangle. Its
// picture's pixels are the screen's pixels, so the selection reads directly as a rectangle of
// the copy. Esc cancels. The window lives for the whole run; every showing starts with nothing
// selected.
class TGrabScreenForm : public QDialog {
    Q_OBJECT

public:
    explicit TGrabScreenForm(QWidget *parent = nullptr);

    // Covers the screen with the window.
    void PlaceOnScreen(QScreen *screen);
    // The frozen copy of the screen; the rubber band is drawn into it.
    void SetScreenPicture(const QImage &screenCopy);
    const TBitmap &Picture() const { return FPicture; }
    // In picture pixels, Right and Bottom exclusive; Left -1 when nothing is selected. Normalised
    // once the mouse button is released.
    const TRect &SelRect() const { return FSelRect; }
    bool Selecting() const { return FSelecting; }

    // The picture, filling the window; crosshair cursor.
    QWidget *ScreenImage = nullptr;

    void FormShow();
    // Positions in picture pixels; they are clamped to the picture, so a drag that leaves the
    // screen (onto another monitor) still selects up to the edge.
    void ScreenImageMouseDown(Qt::MouseButton button, int x, int y);
    void ScreenImageMouseMove(int x, int y);
    void ScreenImageMouseUp(Qt::MouseButton button, int x, int y);
    void FormKeyDown(int key);
    // Inverts the dotted outline of the selection, normalised, so a drag up and to the left shows
    // too; drawing it twice restores the picture.
    void DrawRubberBand();

    // The window's pixel for a mouse position in its logical coordinates.
    QPoint PicturePoint(QPointF position) const;
    qreal PictureRatio() const { return FRatio; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void GrabKeyboardWhenMapped(int triesLeft);
    int ClampX(int x) const;
    int ClampY(int y) const;

    TBitmap FPicture;
    qreal FRatio = 1.0; // device pixels per logical pixel of the copy
    bool FSelecting = false;
    TRect FSelRect{-1, -1, -1, -1};
};

} // namespace vantorel
