#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace vantorel {

// Asks whether a newer version found on the server is to be fetched. The caller puts the
// server's version text into NewVersionLabel before showing it; Yes closes with the Accepted
// result, No (and the close box, Esc) with Rejected.
class TNewAppVerDownloadRequestForm : public QDialog {
    Q_OBJECT

public:
    explicit TNewAppVerDownloadRequestForm(QWidget *parent = nullptr);

    QLabel *Image1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *NewVersionLabel = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QPushButton *BitBtn1 = nullptr; // Yes
    QPushButton *BitBtn2 = nullptr; // No

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace vantorel
