#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QDialog>

#include "Bitmap.h"
#include "ImageControl.h"
#include "TempWorkFolder.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace vantorel {

class TOptionsForm;

// Asks for the JPEG quality before a JPEG logo is uploaded, showing the logo as that quality
// encodes it and the file's size. OK keeps the quality and the "show" choice in the options.
class TJPEGPropsForm : public QDialog {
    Q_OBJECT

public:
    TJPEGPropsForm(std::string programFolder, TOptionsForm &options, QWidget *parent = nullptr);
    ~TJPEGPropsForm() override;

    // The rendered logo and its name (which picks the preview file's name), set before each
    // showing; the dialog keeps its own copy.
    void SetLogo(TBitmap logo, std::string logoName);
    // Sizes the dialog for a logo: its width + 16 and height + 180, at least 200 x 290. The size
    // is fixed: the user cannot change it.
    void SizeToLogo(int logoWidth, int logoHeight);
    // The file of the current showing's preview; empty when no preview has been written since
    // the dialog was last closed.
    const std::string &PreviewFileName() const { return FPreviewFile; }

    QSlider *JPEGQualityTrackBar = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *JPEGQualityLabel = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *ImageSizeLabel = nullptr;
    TImageControl *JPEGImage = nullptr;
    QCheckBox *ShowJPEGDialogCheckBox = nullptr;
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    // Every way of closing ends the showing's work folder.
    void done(int result) override;

private:
    void FormShow();
    void JPEGQualityTrackBarChange();
    void OKButtonClick();
    void RenderPreview();

    std::string FProgramFolder;
    TOptionsForm &FOptions;
    TBitmap FLogo;
    std::string FLogoName;
    std::unique_ptr<TTempWorkFolder> FWorkFolder;
    std::string FPreviewFile;
    std::int32_t FLastQuality = 0;
    bool FShowing = false; // FormShow sets the bar; it makes the one preview itself
};

} // namespace vantorel
