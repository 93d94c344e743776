#pragma once

#include <string>

#include <QWidget>

class QTextBrowser;

namespace vantorel {

// The help viewer: a window of its own showing the help file (HTML text).
class THelpViewer : public QWidget {
    Q_OBJECT

public:
    explicit THelpViewer(std::string helpFile, QWidget *parent = nullptr);

    // Shows the contents of the help file, reading it anew.
    void ShowContents();
    // Closes the viewer, as the program does at shut-down.
    void Quit();

    QTextBrowser *Browser = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::string FHelpFile;
};

} // namespace vantorel
