#pragma once

#include <string>

#include "PicturePropsForm.h"

namespace vantorel {

// Asks for the bits per pixel before a GIF logo is uploaded, showing the logo as that colour
// depth encodes it and the file's size.
class TGIFPropsForm : public TPicturePropsForm {
    Q_OBJECT

public:
    TGIFPropsForm(std::string programFolder, TOptionsForm &options, QWidget *parent = nullptr);

    QSlider *GIFBitDepthTrackBar = nullptr;
    QLabel *GIFBitDepthLabel = nullptr;
    TImageControl *GIFImage = nullptr;
    QCheckBox *ShowGIFDialogCheckBox = nullptr;
};

} // namespace vantorel
