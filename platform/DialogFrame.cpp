#include "DialogFrame.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFontMetrics>
#include <QString>
#include <QWidget>

namespace vantorel {

int CaptionWidth(const QString &caption)
{
    // Title bars draw the desktop's font, mostly bold, whatever smaller font a dialog uses inside.
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    // Managers centre the caption between the window's icon on one side and up to three buttons
    // on the other, so it needs twice the wider side; their own font may be wider than ours.
    return metrics.horizontalAdvance(caption) + 9 * metrics.height();
}

void FitCaption(QWidget &dialog)
{
    const int width = CaptionWidth(dialog.windowTitle());
    auto *box = qobject_cast<QBoxLayout *>(dialog.layout());
    if (box && (box->direction() == QBoxLayout::TopToBottom || box->direction() == QBoxLayout::BottomToTop)) {
        const QMargins margins = box->contentsMargins();
        box->addStrut(width - margins.left() - margins.right());
    } else if (dialog.minimumWidth() < width) {
        dialog.setMinimumWidth(width);
    }
}

} // namespace vantorel
