#pragma once

#include <string>

#include <QDialog>

#include "OptionValues.h"
#include "PromptService.h"
#include "XMLSource.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QStackedWidget;
class QTreeWidget;

namespace vantorel {

class TColorButton;

// The options dialog. Its controls hold the program's 27 options for the whole run; every part
// of the program reads an option from here at the moment it needs it.
class TOptionsForm : public QDialog {
    Q_OBJECT

public:
    TOptionsForm(std::string programFolder, TXMLSource &xml, TPromptService &prompts, QWidget *parent = nullptr);

    void SetDefaultOptions();
    void LoadOptions();
    void SaveOptions();
    static void ReadIEProxySettings(std::string &host, std::string &port);
    void UpdateProxyControls(bool manual, bool authentication);

    // The values as the controls hold them, and setting the controls from values.
    TOptionValues Values() const;
    void ApplyValues(const TOptionValues &values);

    // Controls.
    QLineEdit *Login;
    QLineEdit *Password;
    QButtonGroup *ProxySourceRadioGroup;
    QLineEdit *Host;
    QLineEdit *Port;
    QCheckBox *ProxyRequiresAuthentication;
    QLineEdit *ProxyLogin;
    QLineEdit *ProxyPassword;
    QCheckBox *ShowLogoChangeCheckBox;
    QCheckBox *FillInEmptyAreaCheckBox;
    QSlider *JPEGQualityTrackBar;
    QLabel *JPEGQualityLabel;
    QCheckBox *ShowJPEGDialogCheckBox;
    QSlider *GIFBitDepthTrackBar;
    QLabel *GIFBitDepthLabel;
    QCheckBox *ShowGIFDialogCheckBox;
    QComboBox *ConvertRetainSourceComboBox;
    QCheckBox *ConvertAskTargetNameCheckBox;
    QComboBox *MirrorRetainSourceComboBox;
    QCheckBox *MirrorAskTargetNameCheckBox;
    QComboBox *RotateRetainSourceComboBox;
    QCheckBox *RotateAskTargetNameCheckBox;
    QComboBox *ImportedFileFormatComboBox;
    QCheckBox *ImportAskTargetNameCheckBox;
    QComboBox *GrabbedFileFormatComboBox;
    QCheckBox *GrabAskTargetNameCheckBox;
    QCheckBox *AccessHintCheckBox;
    QCheckBox *NewVersionCheckBox;
    TColorButton *FEmptyAreaColorButton;
    QTreeWidget *OptionsTreeView;
    QStackedWidget *OptionsPageControl;

protected:
    // OK saves the options; Cancel, Esc and the close box read them back.
    void done(int result) override;

private:
    void ProxySourceRadioGroupClick();
    void TakeSystemProxy();
    void JPEGQualityTrackBarChange();
    void GIFBitDepthTrackBarChange();
    void FillInEmptyAreaCheckBoxClick();
    QWidget *BuildConnectivityPage();
    QWidget *BuildImagingPage();
    QWidget *BuildConfirmationsPage();
    QWidget *BuildGeneralPage();

    std::string FProgramFolder;
    bool FFileDamaged = false; // "options.xml" could not be read whole
    TXMLSource &FXml;
    TPromptService &FPrompts;
};

} // namespace vantorel
