#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QDialog>

#include "Bitmap.h"
#include "ImageControl.h"
#include "OptionValues.h"
#include "TempWorkFolder.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace vantorel {

class TOptionsForm;

// Asks for the one encoder setting of a picture format before a logo of that format is uploaded,
// showing the logo as that setting encodes it and the file's size. OK keeps the setting and the
// "show" choice in the options. The JPEG and GIF dialogs differ only in what TPictureSetting says
// and in how the bar's positions settle.
class TPicturePropsForm : public QDialog {
    Q_OBJECT

public:
    ~TPicturePropsForm() override;

    // The rendered logo and its name (which picks the preview file's name), set before each
    // showing; the dialog keeps its own copy.
    void SetLogo(TBitmap logo, std::string logoName);
    // Sizes the dialog for a logo: its width + 16 and height + 180, at least 200 x 290. The size
    // is fixed: the user cannot change it.
    void SizeToLogo(int logoWidth, int logoHeight);
    // The file of the current showing's preview; empty when no preview has been written since
    // the dialog was last closed.
    const std::string &PreviewFileName() const { return FPreviewFile; }

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *ImageSizeLabel = nullptr;
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;

protected:
    // What one format's dialog is called, what it asks for and where the answer goes.
    struct TPictureSetting {
        const char *formName;     // the dialog's object name
        const char *caption;      // its window title
        const char *barName;      // object names of the controls
        const char *valueName;    // the label that shows the bar's value
        const char *imageName;    // the preview
        const char *checkBoxName; // the "show" check box
        const char *settingText;  // Label1
        const char *valueFormat;  // the value label's text, %1 standing for the value
        int minimum;
        int maximum;
        int step; // of the arrow keys, the page keys and the ticks
        int initial;
        std::int32_t TOptionValues::*value;
        bool TOptionValues::*show;
        void (*write)(const TBitmap &bitmap, const std::string &fileName, int value);
    };

    TPicturePropsForm(const TPictureSetting &setting, std::string programFolder, TOptionsForm &options,
                      QWidget *parent);

    // Where a position of the bar settles; the bar is moved there. The position itself unless a
    // format keeps to coarser values.
    virtual int Settled(int position) const { return position; }

    void showEvent(QShowEvent *event) override;
    // Every way of closing ends the showing's work folder.
    void done(int result) override;

    QSlider *FSettingBar = nullptr;
    QLabel *FValueLabel = nullptr;
    TImageControl *FImage = nullptr;
    QCheckBox *FShowCheckBox = nullptr;

private:
    void FormShow();
    void SettingBarChange();
    void OKButtonClick();
    void ShowValue(int value);
    void RenderPreview();

    const TPictureSetting FSetting;
    std::string FProgramFolder;
    TOptionsForm &FOptions;
    TBitmap FLogo;
    std::string FLogoName;
    std::unique_ptr<TTempWorkFolder> FWorkFolder;
    std::string FPreviewFile;
    std::int32_t FLastValue = 0;
    bool FShowing = false; // FormShow sets the bar; it makes the one preview itself
};

} // namespace vantorel
