#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace vantorel {

// Asks for the file format of an imported or grabbed picture. It lives for the whole run, so each
// showing starts with the previous choice (PNG the first time). OK accepts; Cancel, Esc and the
// close box reject.
class TFileFormatChoiceForm : public QDialog {
    Q_OBJECT

public:
    explicit TFileFormatChoiceForm(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    // 0 BMP, 1 JPG, 2 GIF, 3 PNG.
    QComboBox *FileFormatComboBox = nullptr;
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace vantorel
