#include "DialogPlacement.h"

#include <QRect>
#include <QScreen>
#include <QWidget>

namespace vantorel {

void CentreOnScreen(QWidget &window)
{
    if (const QScreen *where = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(where->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

} // namespace vantorel
