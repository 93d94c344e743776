#pragma once

#include <memory>
#include <string>

#include <QMainWindow>
#include <QPixmap>
#include <QTimer>

#include "Bitmap.h"
#include "FrameGeometry.h"
#include "HTTPConnection.h"
#include "ImageCommands.h"
#include "InstanceChannel.h"
#include "LogoDirObject.h"
#include "LogoIndexSaver.h"
#include "LogoTree.h"
#include "LogoTreeEditor.h"
#include "PhoneCatalogue.h"
#include "PromptService.h"
#include "ServiceParameters.h"
#include "SourceImage.h"
#include "UploadThread.h"
#include "XMLSource.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QSplitter;
class QToolButton;
class QTreeView;

namespace vantorel {

class TAboutBox;
class TAccessURLHintForm;
class TFileFormatChoiceForm;
class TGIFPropsForm;
class TGrabScreenForm;
class TJPEGPropsForm;
class THelpViewer;
class TImageControl;
class TLogoTreeModel;
class TOptionsForm;
class TPictureDownloadForm;
class TProxyAuthForm;
class TSendToFriendForm;
class TSendToFriendThread;
class TStatusPanels;
class TSysAuthForm;
class TUploadThread;

inline constexpr const char *kMainWindowTitle = "Vantorel";
// Posted to the main window: a handed-over picture address waits in the registry.
inline constexpr int WM_IMAGEURLPENDING = 1025;
inline constexpr const char *kHelpFileName = "vantorelhelp.hlp";
inline constexpr const char *kNoPictureInFrame =
    "There is no part of source picture in the selection area. Please select some part of picture and try again";

// The main window: owner of the logo tree, the phone catalogue, the service parameters, the logo
// template and the image document of the shown logo. It starts the program's subsystems, shows
// the selected logo with its frame and rendering, runs the commands, and writes the program's
// files at the end.
class TMainAppForm : public QMainWindow {
    Q_OBJECT

public:
    // prompts: the service for every box and dialog the window shows; null for the screen's own.
    explicit TMainAppForm(std::string programFolder, TPromptService *prompts = nullptr);
    ~TMainAppForm() override;

    // The options dialog is created after the main window; shut-down saves through it and the
    // commands read the options from it.
    void SetOptionsForm(TOptionsForm *options) { FOptionsForm = options; }
    void SetAboutBox(TAboutBox *about) { FAboutBox = about; }
    // The picture hand-over: the download dialog, the automation object on the session bus
    // (claimed once every form exists), message 1025 and the address waiting in the registry.
    void SetPictureDownloadForm(TPictureDownloadForm *form);
    void ServeAutomation();
    void WMImageURLPending();
    void HandlePendingImageURL();
    // The login dialogs of the web account and of the proxy, asked before an exchange.
    void SetAuthForms(TSysAuthForm *sysAuth, TProxyAuthForm *proxyAuth)
    {
        FSysAuthForm = sysAuth;
        FProxyAuthForm = proxyAuth;
    }

    // True when this instance asked to end during start-up (another one runs, or the phone
    // catalogue could not be read); such an instance writes no file.
    bool QuitRequested() const { return FQuitRequested; }

    TLogoTree &LogoTree() { return FLogoTree; }
    TXMLSource &XMLSource() { return FXMLSource; }
    TPromptService &Prompts() { return *FPrompts; }
    const TPhoneMakes &PhoneMakes() const { return FPhoneMakes; }
    const TParameters &Parameters() const { return FParameters; }
    const TLogoDirObject &LogoTemplate() const { return *FLogoTemplate; }
    TSourceImage *SourceImageDocument() const { return FSourceImage.get(); }
    TLogoDirObject *CurrentLogo() const { return FCurrentLogo; }
    bool Uploading() const { return FUploadThread != nullptr; }
    bool Sending() const { return FSendToFriendThread != nullptr; }

    // Start-up and shut-down.
    void FormCreate();
    void InitMainWindow();
    void CheckSingleInstance();
    void FormActivate();
    void Exit1Click();
    void ShutdownApplication();
    // The session ends (SIGTERM or SIGINT): open boxes give way and the window closes the orderly
    // way, at once when the program runs, else as soon as start-up is over (RunStarted).
    void SessionEnding();
    // Start-up is over and the message loop is about to run.
    void RunStarted();

    // The dialogs of the upload: the properties of a JPEG or GIF logo, and the address hint.
    void SetUploadDialogs(TAccessURLHintForm *hint, TJPEGPropsForm *jpegProps, TGIFPropsForm *gifProps)
    {
        FAccessURLHintForm = hint;
        FJPEGPropsForm = jpegProps;
        FGIFPropsForm = gifProps;
    }

    // The Upload command: it starts an upload, or stops the one that runs.
    void UploadButtonClick();
    void StartUpload();
    void UploadThreadTerminate(TUploadThread &thread);

    // The Send to friend command: the dialog, the prompts, the send and its completion.
    void SetSendToFriendForm(TSendToFriendForm *form) { FSendToFriendForm = form; }
    void SendToFriendMenuItemClick();
    void StartSendToFriend();
    void SendToFriendDone(TSendToFriendThread &thread);

    // Import from a TWAIN source and the screen grab: the format question and the grab window.
    void SetAcquireForms(TFileFormatChoiceForm *formatChoice, TGrabScreenForm *grabScreen)
    {
        FFileFormatChoiceForm = formatChoice;
        FGrabScreenForm = grabScreen;
    }
    void AcquireImageMenuItemClick();
    void SaveAcquiredImage(const std::string &fileName);
    void SelectSourceMenuItemClick();
    void GrabFromScreenToolButtonClick();
    void SaveGrabbedImage(const std::string &fileName);
    // The tool bar's hints, off while an acquisition runs.
    bool ToolBarShowHint() const { return FToolBarShowHint; }
    void SetToolBarShowHint(bool show) { FToolBarShowHint = show; }
    // The picture that both commands fill and write; never shown.
    TBitmap TWAINImage;

    // The connections of the upload and of the send, each kept for the run with its cookies; the
    // proxy settings are copied in before an exchange and cleared after it.
    THTTPConnection HTTPConnection;
    THTTPConnection HTTPSendConn;
    void ClearUploadProxyParams();
    void ClearSendProxyParams();

    // Display and settings.
    void ShowSelectedLogo();
    void LogoToControls();
    void ControlsToLogo();
    void ApplyLogoSettings();
    void LogoTreeViewChange();
    void FitimageintopaneClick();
    void Options1Click();
    void PhoneMakeChange();
    void PhoneModelChange();

    // Commands.
    void UpdateControls();
    void UpdateImageStatusBar();
    void Open1Click();
    void SaveLogoToFile();
    void Newfolder1Click();
    void RenameMenuItemClick();
    void DeleteMenuItemClick();
    void ConvertNode(TImageFileFormat format);
    void MirrorNode(int direction);
    void RotateNode(int angle);
    void ContentsToolButtonClick();
    void FAQMenuItemClick();
    void OpenLink(int index);
    void AboutToolButtonClick();
    void LogoTreePopupMenuPopup();
    void SourceImagePopupMenuPopup();
    void TargetImagePopupMenuPopup();
    // Starts the browser; a failed start is reported with the system's reason.
    void LaunchBrowser(const std::string &address);

    // Frame editing by mouse, in view pixels over SourceImage.
    void SourceImageMouseDown(Qt::MouseButton button, int x, int y);
    void SourceImageMouseMove(int x, int y);
    void SourceImageMouseUp(Qt::MouseButton button, int x, int y);
    void UpdateSourceImageCursor(int x, int y);
    void DragSelectionFrame(int x, int y);
    void SelFrameTimerTimer();
    void ImageCursorTimerTimer();
    void UploadProgressTimerTimer();

    // Controls.
    QTreeView *LogoTreeView = nullptr;
    QScrollArea *SourceImageScrollBox = nullptr;
    TImageControl *SourceImage = nullptr;
    TStatusPanels *ImageStatusBar = nullptr;
    QScrollArea *TargetBkgndScrollBox = nullptr;
    TImageControl *TargetImage = nullptr;
    TStatusPanels *StatusBar = nullptr;
    QComboBox *PhoneMake = nullptr;
    QComboBox *PhoneModel = nullptr;
    QSpinBox *LogoWidthUpDown = nullptr; // the edit box and its up-down in one control
    QSpinBox *LogoHeightUpDown = nullptr;
    QButtonGroup *FitInto = nullptr;
    QCheckBox *KeepProportions = nullptr;
    QLineEdit *ImageWapShortURL = nullptr;
    QPlainTextEdit *ImageWapURL = nullptr;
    QLineEdit *ImageID = nullptr;
    QPushButton *UploadButton = nullptr;
    QWidget *ImageToolPanel = nullptr;

    // Menu items.
    QAction *Open1 = nullptr, *SaveMenuItem = nullptr, *ImportFromTWAINMenuItem = nullptr,
            *AcquireImageMenuItem = nullptr, *SelectSourceMenuItem = nullptr, *GrabFromScreenMenuItem = nullptr,
            *UploadMenuItem = nullptr, *Newfolder1 = nullptr, *Exit1 = nullptr;
    QAction *RenameMenuItem = nullptr, *DeleteMenuItem = nullptr, *MMConverttoformat = nullptr,
            *MMMirrorImage = nullptr, *MMRotateImage = nullptr, *Options1 = nullptr;
    QAction *Fitimageintopane = nullptr;
    QAction *Contents1 = nullptr, *FAQMenuItem = nullptr, *SendToFriendMenuItem = nullptr, *About1 = nullptr;
    // The four convert menus (Edit menu, tool button, tree pop-up, source pop-up), each with the
    // items for BMP, JPG, GIF and PNG.
    QAction *ConvertItems[4][4] = {};
    QAction *MirrorItems[4][2] = {};
    QAction *RotateItems[4][3] = {};
    QMenu *LinksMenu = nullptr;

    // Tool buttons.
    QToolButton *OpenToolButton = nullptr, *SaveToolButton = nullptr, *ImportFromTWAINToolButton = nullptr,
                *GrabFromScreenToolButton = nullptr, *UploadToolButton = nullptr, *NewFolderToolButton = nullptr,
                *RenameToolButton = nullptr, *DeleteToolButton = nullptr, *ConvertToolButton = nullptr,
                *MirrorToolButton = nullptr, *RotateToolButton = nullptr, *OptionsToolButton = nullptr,
                *FitToPaneToolButton = nullptr, *LinksToolButton = nullptr, *ContentsToolButton = nullptr,
                *SendToFriendToolButton = nullptr, *AboutToolButton = nullptr, *ExitToolButton = nullptr;

    // Pop-up menus and their items.
    QMenu *LogoTreePopupMenu = nullptr, *SourceImagePopupMenu = nullptr, *TargetImagePopupMenu = nullptr;
    QAction *OpenPopupMenuItem = nullptr, *SavePopupMenuItem = nullptr, *UploadPopupMenuItem = nullptr,
            *NewFolderPopupMenuItem = nullptr, *RenamePopupMenuItem = nullptr, *DeletePopupMenuItem = nullptr,
            *TVConvertToFormat = nullptr, *TVMirrorImage = nullptr, *TVRotateImage = nullptr;
    QAction *UploadSrcImgMenuItem = nullptr, *FitToPaneSrcImgMenuItem = nullptr, *SIConvertToFormat = nullptr,
            *SIMirrorImage = nullptr, *SIRotateImage = nullptr;
    QAction *UploadTrgImgMenuItem = nullptr;

    QTimer SelFrameTimer;
    QTimer ImageCursorTimer;
    QTimer UploadProgressTimer;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildLayout();
    void SizeImageStatusPanels();
    void BuildMenusAndToolBar();
    void BuildPopupMenus();
    QMenu *MakeMenu(const char *title, QAction *const *items, int count);
    void ConnectSignals();
    void ConnectAcquireCommands();
    void RequestQuit();
    void HandOverPicture(const std::string &url);
    void BringToFront();
    void LoadHandCursors();
    void RemoveLeftoverSaves();
    const TLogoDirObject &CommandNode() const;
    TLogoNode *SelectedNode() const;
    TRenderOptions RenderOptions() const;
    void RenderToTarget();
    void PlaceImage(QScrollArea *box, TImageControl *image);
    void ClearImage(QScrollArea *box, TImageControl *image);
    void StatusBarDrawPanel(QPainter &painter, const QRect &rect);
    void StatusBarResize();
    void SetUploadCaptions(const QString &caption, bool stopGlyph);
    // An address box shows its text from the start: the host tells more than the end of a query.
    static void ShowAddress(QLineEdit *box, const std::string &address);
    template <typename Command> void RunImageCommand(Command command);

    std::string FProgramFolder;
    std::unique_ptr<TPromptService> FOwnPrompts;
    TPromptService *FPrompts;
    TXMLSource FXMLSource;
    TLogoTree FLogoTree;
    TLogoIndexSaver FIndexSaver; // writes the index soon after every change of the tree
    TLogoTreeEditor FTreeEditor;
    TImageCommands FImageCommands;
    TLogoTreeModel *FLogoTreeModel = nullptr;
    TInstanceChannel FInstanceChannel;
    TOptionsForm *FOptionsForm = nullptr;
    TAboutBox *FAboutBox = nullptr;
    TSysAuthForm *FSysAuthForm = nullptr;
    TProxyAuthForm *FProxyAuthForm = nullptr;
    TSendToFriendForm *FSendToFriendForm = nullptr;
    TAccessURLHintForm *FAccessURLHintForm = nullptr;
    TJPEGPropsForm *FJPEGPropsForm = nullptr;
    TGIFPropsForm *FGIFPropsForm = nullptr;
    TFileFormatChoiceForm *FFileFormatChoiceForm = nullptr;
    TGrabScreenForm *FGrabScreenForm = nullptr;
    bool FToolBarShowHint = true;
    THelpViewer *FHelpViewer = nullptr;

    std::unique_ptr<TLogoDirObject> FLogoTemplate;
    bool FShowingLogo = false;
    bool FFillingControls = false;
    bool FApplyingSettings = false;
    TPhoneMakes FPhoneMakes;
    TUploadThread *FUploadThread = nullptr;
    TSendToFriendThread *FSendToFriendThread = nullptr;
    std::string FLastSaveFolder;
    int FUploadAnimPhase = -1;
    TRect FDragStartFrame;
    TPoint FDragStartPoint;
    bool FMouseButtonDown = false;
    TFrameHit FDragMode = fhOutside;
    bool FActivatedOnce = false;
    QPixmap FUploadBoxBitmap;
    bool FInMouseHandler = false;
    TLogoDirObject *FCurrentLogo = nullptr;
    TParameters FParameters;
    TMemberValues FMemberValues; // of the member-status reply: -1 until one succeeded in this run
    std::unique_ptr<TSourceImage> FSourceImage;

    bool FQuitRequested = false;
    TPictureDownloadForm *FPictureDownloadForm = nullptr;
    bool FHandingOver = false; // a handed-over picture is being taken
    bool FShutDown = false;
    bool FRunning = false;                  // start-up is over
    bool FSessionEndPending = false;        // the session ended during start-up
    bool FFitToPane = false;                // the check mark of "Fit image into pane"
    const TLogoNode *FFailedNode = nullptr; // the logo whose picture last failed to load
    QCursor FHandFlatCursor;
    QCursor FHandGrabCursor;
};

} // namespace vantorel
