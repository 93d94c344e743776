#pragma once

#include <functional>
#include <vector>

#include <QString>
#include <QWidget>

namespace vantorel {

// A status bar of panels side by side, each with a width and a text; a panel may be drawn by
// its owner instead, and the last panel takes the rest of the bar.
class TStatusPanels : public QWidget {
    Q_OBJECT

public:
    // lastTakesRest: the last panel stretches to the bar's right edge.
    TStatusPanels(int panelCount, int height, bool lastTakesRest, QWidget *parent = nullptr);

    int Count() const { return static_cast<int>(FPanels.size()); }
    QString Text(int index) const { return FPanels[static_cast<std::size_t>(index)].Text; }
    void SetText(int index, const QString &text);
    int PanelWidth(int index) const { return FPanels[static_cast<std::size_t>(index)].Width; }
    void SetPanelWidth(int index, int width);
    void SetOwnerDraw(int index, bool ownerDraw);
    // Panels widen beyond their set width when the desktop's font needs more for a text, and
    // narrow down to their texts when the bar is too short for the set widths.
    void SetGrowToText(bool grow) { FGrowToText = grow; }
    // The rectangle of a panel in the bar's client coordinates.
    QRect PanelRect(int index) const;
    // Panels that grow to their texts ask for the room that shows every text whole.
    QSize minimumSizeHint() const override;

    std::function<void(QPainter &, int, const QRect &)> OnDrawPanel;

signals:
    void Resized();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct TPanel {
        QString Text;
        int Width = 50;
        int DrawnWidth = 50;
        int TextWidth = 0; // what the text needs, padding included; 0 unless panels grow to text
        bool OwnerDraw = false;
    };
    std::vector<int> FittedWidths() const;
    int TextsWidth() const;
    std::vector<TPanel> FPanels;
    bool FLastTakesRest;
    bool FGrowToText = false;
};

} // namespace vantorel
