#pragma once

#include <functional>
#include <string>

#include <QDialog>

#include "HTTPConnection.h"
#include "OptionValues.h"
#include "PromptService.h"
#include "ServiceParameters.h"
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
class TNewAppVerDownloadRequestForm;
class TNewVersionCheckThread;

// The options dialog. It keeps the program's 27 options for the whole run in Options(), which
// every part of the program reads at the moment it needs an option (a worker thread gets a
// copy). The controls edit a copy: they are filled from the options when the dialog shows, OK
// stores them back, Cancel throws the edits away.
class TOptionsForm : public QDialog {
    Q_OBJECT

public:
    // parameters: the service's, for the new-version check that the creation starts when the
    // options ask for it; without them no check starts.
    TOptionsForm(std::string programFolder, TXMLSource &xml, TPromptService &prompts, QWidget *parent = nullptr,
                 const TParameters *parameters = nullptr);
    ~TOptionsForm() override;

    // The options in force. A part that changes them calls SaveOptions to keep the change.
    TOptionValues &Options() { return FOptions; }
    const TOptionValues &Options() const { return FOptions; }

    void SetDefaultOptions();
    void LoadOptions();
    void SaveOptions();
    static void ReadIEProxySettings(std::string &host, std::string &port);
    void UpdateProxyControls(bool manual, bool authentication);

    // The connection of the new-version check, kept for the run.
    THTTPConnection AppVerConn;
    void ClearVersionCheckProxyParams();

    // The new-version check: asks the service once for the current version and offers a newer
    // one in the dialog, made after this one. It shows nothing while it runs, ignores every
    // failure and cannot be stopped (shut-down ends it).
    using TBrowserStart = std::function<bool(const std::string &address, std::string &failure)>;
    void SetNewAppVerDownloadRequestForm(TNewAppVerDownloadRequestForm *form) { FNewAppVerDownloadRequestForm = form; }
    void StartNewVersionCheck();
    void NewVersionCheckDone(TNewVersionCheckThread &thread);
    bool CheckingNewVersion() const { return FNewVersionThread != nullptr; }
    // The platform's browser launcher unless a test puts its own here.
    TBrowserStart StartBrowser;

    // The values as the controls hold them, and setting the controls from values; neither
    // touches Options().
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
    // OK stores and saves the options; Cancel, Esc and the close box show them again as they were.
    void done(int result) override;
    void showEvent(QShowEvent *event) override;

private:
    void ShowOptions();
    void ProxySourceRadioGroupClick();
    void TakeSystemProxy();
    void JPEGQualityTrackBarChange();
    void GIFBitDepthTrackBarChange();
    void FillInEmptyAreaCheckBoxClick();
    QWidget *BuildConnectivityPage();
    QWidget *BuildImagingPage();
    QWidget *BuildConfirmationsPage();
    QWidget *BuildGeneralPage();

    TOptionValues FOptions;
    std::string FProgramFolder;
    bool FFileDamaged = false; // "options.xml" could not be read whole
    TXMLSource &FXml;
    TPromptService &FPrompts;
    const TParameters *FParameters;
    TNewVersionCheckThread *FNewVersionThread = nullptr;
    TNewAppVerDownloadRequestForm *FNewAppVerDownloadRequestForm = nullptr;
};

} // namespace vantorel
