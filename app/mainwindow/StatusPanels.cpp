#include "StatusPanels.h"

#include <algorithm>

#include <QPainter>
#include <QStyle>

namespace vantorel {

TStatusPanels::TStatusPanels(int panelCount, int height, bool lastTakesRest, QWidget *parent)
    : QWidget(parent), FPanels(static_cast<std::size_t>(std::max(panelCount, 1))), FLastTakesRest(lastTakesRest)
{
    setFixedHeight(height);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
}

void TStatusPanels::SetText(int index, const QString &text)
{
    FPanels[static_cast<std::size_t>(index)].Text = text;
    update();
}

void TStatusPanels::SetPanelWidth(int index, int width)
{
    FPanels[static_cast<std::size_t>(index)].Width = std::max(width, 0);
    update();
}

// The text starts 4 pixels in and is clipped 2 before the panel's edge; 2 more to spare.
int TStatusPanels::TextWidth(const QString &text) const { return fontMetrics().horizontalAdvance(text) + 8; }

void TStatusPanels::SetOwnerDraw(int index, bool ownerDraw)
{
    FPanels[static_cast<std::size_t>(index)].OwnerDraw = ownerDraw;
    update();
}

QRect TStatusPanels::PanelRect(int index) const
{
    int left = 0;
    for (int i = 0; i < index; ++i)
        left += FPanels[static_cast<std::size_t>(i)].Width;
    const bool last = FLastTakesRest && index == Count() - 1;
    const int width = last ? QWidget::width() - left : FPanels[static_cast<std::size_t>(index)].Width;
    return QRect(left, 0, std::max(width, 0), height());
}

void TStatusPanels::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    for (int i = 0; i < Count(); ++i) {
        const QRect r = PanelRect(i);
        if (r.width() <= 0)
            continue;
        if (FPanels[static_cast<std::size_t>(i)].OwnerDraw && OnDrawPanel) {
            painter.save();
            painter.setClipRect(r);
            OnDrawPanel(painter, i, r);
            painter.restore();
            continue;
        }
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(r.adjusted(4, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                         FPanels[static_cast<std::size_t>(i)].Text);
    }
}

void TStatusPanels::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit Resized();
}

} // namespace vantorel
