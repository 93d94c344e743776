#include "ColorButton.h"

#include <QColorDialog>
#include <QPainter>

#include "OptionValues.h"

namespace vantorel {

QColor ColorFromValue(std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

std::int32_t ValueFromColor(const QColor &color)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(color.red()) |
                                     (static_cast<std::uint32_t>(color.green()) << 8) |
                                     (static_cast<std::uint32_t>(color.blue()) << 16));
}

TColorButton::TColorButton(QWidget *owner) : QToolButton(owner), FButtonColor(kWhite)
{
    connect(this, &QToolButton::clicked, this, &TColorButton::ButtonClick);
}

void TColorButton::SetButtonColor(std::int32_t color)
{
    FButtonColor = color;
    repaint();
}

void TColorButton::ButtonClick()
{
    const QColor chosen = QColorDialog::getColor(ColorFromValue(FButtonColor), this);
    if (chosen.isValid())
        SetButtonColor(ValueFromColor(chosen));
}

void TColorButton::paintEvent(QPaintEvent *event)
{
    QToolButton::paintEvent(event);
    if (!isEnabled())
        return;
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(ColorFromValue(FButtonColor));
    // The outline covers (4, 4) up to but not including (width - 4, height - 4).
    painter.drawRect(4, 4, width() - 9, height() - 9);
}

} // namespace vantorel
