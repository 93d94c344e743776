#pragma once

#include <QDialog>

class QHBoxLayout;
class QLineEdit;
class QPushButton;

namespace vantorel {

// A login dialog: a name and a masked secret, each with its label, over OK and Cancel. Its size
// is fixed and it shows centred on the screen. Created once; its fields keep their text.
class TCredentialForm : public QDialog {
    Q_OBJECT

public:
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;

protected:
    // What one login dialog is called and what its fields are called.
    struct TCredentialNames {
        const char *formName;  // the dialog's object name
        const char *caption;   // its window title
        const char *nameField; // object names of the two fields
        const char *secretField;
        const char *nameLabel; // the texts beside them
        const char *secretLabel;
    };

    TCredentialForm(const TCredentialNames &names, QWidget *parent);

    void showEvent(QShowEvent *event) override;

    QLineEdit *FName = nullptr;
    QLineEdit *FSecret = nullptr;
    // The row of OK and Cancel, pushed to its right end by a stretch.
    QHBoxLayout *FButtonRow = nullptr;
};

} // namespace vantorel
