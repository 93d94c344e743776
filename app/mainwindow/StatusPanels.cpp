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
    TPanel &panel = FPanels[static_cast<std::size_t>(index)];
    const int before = TextsWidth();
    panel.Text = text;
    // The text starts 4 pixels in and is clipped 2 before the panel's edge; 2 more to spare.
    panel.TextWidth = FGrowToText ? fontMetrics().horizontalAdvance(text) + 8 : 0;
    panel.DrawnWidth = std::max(panel.Width, panel.TextWidth);
    if (TextsWidth() != before)
        updateGeometry(); // the window and its splitters make room for the longer texts
    update();
}

int TStatusPanels::TextsWidth() const
{
    int width = 0;
    for (const TPanel &panel : FPanels)
        width += panel.TextWidth;
    return width;
}

QSize TStatusPanels::minimumSizeHint() const
{
    return FGrowToText ? QSize(TextsWidth(), height()) : QWidget::minimumSizeHint();
}

void TStatusPanels::SetPanelWidth(int index, int width)
{
    TPanel &panel = FPanels[static_cast<std::size_t>(index)];
    panel.Width = panel.DrawnWidth = std::max(width, 0);
    SetText(index, panel.Text);
}

void TStatusPanels::SetOwnerDraw(int index, bool ownerDraw)
{
    FPanels[static_cast<std::size_t>(index)].OwnerDraw = ownerDraw;
    update();
}

std::vector<int> TStatusPanels::FittedWidths() const
{
    std::vector<int> widths;
    int excess = -QWidget::width();
    for (const TPanel &panel : FPanels) {
        widths.push_back(panel.DrawnWidth);
        excess += panel.DrawnWidth;
    }
    // Too narrow a bar takes the room the panels have beyond their texts, from the left, so that
    // every text shows whole for as long as the texts fit at all.
    for (std::size_t i = 0; FGrowToText && i < FPanels.size() && excess > 0; ++i) {
        const int given = std::clamp(widths[i] - FPanels[i].TextWidth, 0, excess);
        widths[i] -= given;
        excess -= given;
    }
    return widths;
}

QRect TStatusPanels::PanelRect(int index) const
{
    const std::vector<int> widths = FittedWidths();
    int left = 0;
    for (int i = 0; i < index; ++i)
        left += widths[static_cast<std::size_t>(i)];
    const bool last = FLastTakesRest && index == Count() - 1;
    const int width = last ? QWidget::width() - left : widths[static_cast<std::size_t>(index)];
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
