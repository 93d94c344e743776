#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace vantorel {

inline constexpr const char *kProgramVersion = "1.1.4";

// The about box: the program's picture, name and version.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QLabel *ProgramIcon = nullptr;
    QLabel *ProductName = nullptr;
    QLabel *Version = nullptr;
    QLabel *Comments = nullptr;
    QPushButton *OKButton = nullptr;
};

} // namespace vantorel
