#include "DialogPlacement.h"

#include <QMargins>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace vantorel {

namespace {

QMargins FrameMargins(const QWidget &window)
{
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

} // namespace

void CentreOnScreen(QWidget &window)
{
    if (const QScreen *where = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(where->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

void CentreOnOwnersScreen(QWidget &window, const QWidget &owner)
{
    const QScreen *where = owner.screen();
    if (!where)
        return;
    QMargins margins = FrameMargins(window);
    if (margins.isNull())
        margins = FrameMargins(owner);
    const QRect area = where->availableGeometry();
    window.resize(window.size().boundedTo(area.marginsRemoved(margins).size()));
    QRect frame = window.rect().marginsAdded(margins);
    frame.moveCenter(area.center());
    window.move(frame.topLeft()); // a window's position is that of its frame
}

} // namespace vantorel
