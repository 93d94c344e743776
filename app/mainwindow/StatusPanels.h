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
    // The width a panel needs to show a text whole.
    int TextWidth(const QString &text) const;
    // The rectangle of a panel in the bar's client coordinates.
    QRect PanelRect(int index) const;

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
        bool OwnerDraw = false;
    };
    std::vector<TPanel> FPanels;
    bool FLastTakesRest;
};

} // namespace vantorel
