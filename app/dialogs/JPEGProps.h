#pragma once

#include <string>

#include "PicturePropsForm.h"

namespace vantorel {

// Asks for the JPEG quality before a JPEG logo is uploaded, showing the logo as that quality
// encodes it and the file's size. The quality goes in tens.
class TJPEGPropsForm : public TPicturePropsForm {
    Q_OBJECT

public:
    TJPEGPropsForm(std::string programFolder, TOptionsForm &options, QWidget *parent = nullptr);

    QSlider *JPEGQualityTrackBar = nullptr;
    QLabel *JPEGQualityLabel = nullptr;
    TImageControl *JPEGImage = nullptr;
    QCheckBox *ShowJPEGDialogCheckBox = nullptr;

protected:
    int Settled(int position) const override { return (position + 5) / 10 * 10; }
};

} // namespace vantorel
