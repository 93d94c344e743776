#pragma once

#include <QWidget>

#include "Bitmap.h"
#include "ViewCanvas.h"

namespace vantorel {

// An image control that shows a bitmap at its own size and reports the mouse in its pixels.
class TImageControl : public QWidget {
    Q_OBJECT

public:
    explicit TImageControl(QWidget *parent = nullptr);

    // The picture; the control takes its size. An empty picture gives a 10 x 10 control.
    TBitmap &Picture() { return FPicture; }
    void SetPicture(TBitmap picture);
    // A picture of this size, its pixels undefined until drawn: the one shown when it has the
    // size already, else a new one (the old one let go of first).
    void SetPictureSize(int width, int height);
    // Shows a view through Canvas() instead of a picture of its own (the picture is let go of);
    // the control takes the view's size. SetPicture goes back to a picture of its own.
    void ShowView(const TBitmap *view);
    TViewCanvas &Canvas() { return FCanvas; }
    bool ShowsView() const { return !FCanvas.Empty(); }
    // Calls draw with what is shown: Canvas() or Picture().
    template <typename Draw> void DrawOnShown(Draw draw)
    {
        if (ShowsView())
            draw(FCanvas);
        else
            draw(FPicture);
    }
    // After drawing on Picture() or Canvas(): shows the change at once.
    void Changed();

signals:
    void MouseDown(Qt::MouseButton button, int x, int y);
    void MouseMove(int x, int y);
    void MouseUp(Qt::MouseButton button, int x, int y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    TBitmap FPicture;
    TViewCanvas FCanvas;
};

} // namespace vantorel
