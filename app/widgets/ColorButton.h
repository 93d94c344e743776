#pragma once

#include <cstdint>

#include <QToolButton>

namespace vantorel {

// A flat button that shows a colour swatch while enabled and picks the colour in the system's
// colour dialog. The colour is a 0x00BBGGRR value.
class TColorButton : public QToolButton {
    Q_OBJECT

public:
    explicit TColorButton(QWidget *owner = nullptr);

    std::int32_t ButtonColor() const { return FButtonColor; }
    void SetButtonColor(std::int32_t color);
    void ButtonClick();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::int32_t FButtonColor;
};

QColor ColorFromValue(std::int32_t value);
std::int32_t ValueFromColor(const QColor &color);

} // namespace vantorel
