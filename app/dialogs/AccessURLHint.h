#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vantorel {

class TOptionsForm;

// After a successful upload: the address at which the phone fetches the uploaded pictures. The
// caller puts the address into MobileURL before showing it. Close keeps the "show again" choice
// in the options; the close box and Esc keep nothing.
class TAccessURLHintForm : public QDialog {
    Q_OBJECT

public:
    explicit TAccessURLHintForm(QWidget *parent = nullptr);

    // The options that the check box reads and writes; the form is made before the options
    // dialog, so they come later. Without them the check box is left alone.
    void SetOptionsForm(TOptionsForm *options) { FOptions = options; }

    QLabel *Image1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;
    QPlainTextEdit *MobileURL = nullptr;
    QCheckBox *EnableAccessHint = nullptr;
    QPushButton *CloseButton = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    void CloseButtonClick();

    TOptionsForm *FOptions = nullptr;
};

} // namespace vantorel
