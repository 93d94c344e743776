// The commands that bring a new picture into the library without a file: import from a TWAIN
// source, source selection and the screen grab. Both end the same way: the picture is written
// into the selected folder and becomes a new logo, selected.
#include "MainForm.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPixmap>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "FileFormatChoice.h"
#include "FileOps.h"
#include "GrabScreen.h"
#include "ImageCodecs.h"
#include "ImageCommands.h"
#include "MultiTWAIN.h"
#include "OptionsForm.h"
#include "TextRules.h"

namespace vantorel {

namespace {

// How long the screen gets to repaint itself without the main window before it is copied.
constexpr int kRepaintWaitMs = 25;
constexpr int kMinPictureSide = 16;
// Free names a new picture tries before its write failure is shown.
constexpr int kNameAttempts = 10;
const char *const kWidthTooSmall = "Picture width must be 16 pixels or more";
const char *const kHeightTooSmall = "Picture height must be 16 pixels or more";
const char *const kUnreadableScan =
    "The picture from the TWAIN source is stored in a form that cannot be read (run-length coded or of 2 bits a "
    "pixel).";

// Swallows the tool bar's hints while the form says they are off.
class TToolBarHintFilter : public QObject {
public:
    TToolBarHintFilter(QToolBar &bar, const TMainAppForm &form) : QObject(&bar), FForm(form)
    {
        bar.installEventFilter(this);
        for (QWidget *child : bar.findChildren<QWidget *>())
            child->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        return event->type() == QEvent::ToolTip && !FForm.ToolBarShowHint();
    }

private:
    const TMainAppForm &FForm;
};

// The questions for the name of a new picture, by command.
struct TTargetQuestion {
    const char *DefaultName;
    bool AskName;
    int Format; // 0..3, or 4 to ask
    const char *Caption;
    const char *Prompt;
};

// The name and extension of a new picture: the default name or the one typed, and the format's
// extension. False when the user cancels either question.
bool AskTargetFileName(TPromptService &prompts, TFileFormatChoiceForm *formatChoice, const TTargetQuestion &question,
                       std::string &fileName)
{
    std::string name = question.DefaultName;
    if (question.AskName) {
        do {
            if (!prompts.InputQuery(question.Caption, question.Prompt, name))
                return false;
        } while (name.empty());
    }
    int format = question.Format;
    if (format == kAskImageFileFormat) {
        if (!formatChoice || formatChoice->exec() == QDialog::Rejected)
            return false;
        format = formatChoice->FileFormatComboBox->currentIndex();
    }
    // A number outside the list reads as the options' default, JPG, as the options dialog shows it.
    if (format < iffBMP || format > iffPNG)
        format = iffJPG;
    fileName = name + FormatExtension(static_cast<TImageFileFormat>(format));
    return true;
}

// The writer's format for an extension: ".JPG", ".GIF", ".PNG", anything else a bitmap.
TImageFileFormat FormatOfExtension(const std::string &extension)
{
    const std::string upper = AsciiUpper(extension);
    if (upper == ".JPG")
        return iffJPG;
    if (upper == ".GIF")
        return iffGIF;
    if (upper == ".PNG")
        return iffPNG;
    return iffBMP;
}

// Writes the picture into the selected folder under a free name and adds it as the folder's last
// logo, made from the template, selected. Write errors raise before the tree changes.
void SaveAsNewLogo(TLogoTree &tree, const TLogoDirObject &logoTemplate, const std::string &fileName,
                   const TBitmap &picture)
{
    TLogoNode *folder = tree.SelectedFolder();
    // Only the last path component: a typed "/" or "\" must not lead outside the folder.
    const std::size_t cut = fileName.find_last_of("\\:/");
    const std::string part = cut == std::string::npos ? fileName : fileName.substr(cut + 1);
    const std::size_t dot = part.find_last_of('.');
    const std::string extension = dot == std::string::npos ? std::string() : part.substr(dot);
    const std::string stem = part.substr(0, part.size() - extension.size());
    const std::string path = tree.GetFolderPath(folder);
    // A library whose folder is not on disk yet gets it, as when a file is opened into it.
    if (!DirectoryExists(path))
        ForceDirectories(path);
    // Another program may take the free name before the picture is in place: its file stays, and
    // the picture goes under the next free name.
    const TImageFileFormat format = FormatOfExtension(extension);
    std::string base;
    for (int attempt = 1;; ++attempt) {
        base = tree.MakeUniqueLogoName(folder, stem);
        try {
            SaveBitmapInFormat(tree, folder, base, format, picture, TExisting::Keep);
            break;
        } catch (const EImageError &) {
            if (attempt == kNameAttempts || !FileExists(path + base + FormatExtension(format)))
                throw;
        }
    }

    auto record = std::make_unique<TLogoDirObject>(TLogoDirObject::CreateCopy(logoTemplate));
    record->Kind = nkLogo;
    record->Name = base + extension;
    tree.Select(tree.AddChild(folder, std::move(record)));
}

} // namespace

void TMainAppForm::ConnectAcquireCommands()
{
    connect(AcquireImageMenuItem, &QAction::triggered, this, &TMainAppForm::AcquireImageMenuItemClick);
    connect(ImportFromTWAINToolButton, &QToolButton::clicked, this, &TMainAppForm::AcquireImageMenuItemClick);
    connect(SelectSourceMenuItem, &QAction::triggered, this, &TMainAppForm::SelectSourceMenuItemClick);
    connect(GrabFromScreenMenuItem, &QAction::triggered, this, &TMainAppForm::GrabFromScreenToolButtonClick);
    connect(GrabFromScreenToolButton, &QToolButton::clicked, this, &TMainAppForm::GrabFromScreenToolButtonClick);
    if (auto *bar = findChild<QToolBar *>(QStringLiteral("ToolBar")))
        new TToolBarHintFilter(*bar, *this);
}

void TMainAppForm::AcquireImageMenuItemClick()
{
    if (!FOptionsForm)
        return;
    SetToolBarShowHint(false);
    TW_HANDLE dib = nullptr;
    const auto restore = qScopeGuard([&] {
        TWAIN_FreeNative(dib);
        SetToolBarShowHint(true);
    });
    dib = TWAIN_AcquireNative(winId(), 0);
    // The session may have ended during the acquisition: the files are written, nothing is added.
    if (!dib || FShutDown)
        return;
    try {
        // The picture takes the DIB's size: one the program cannot hold is refused before it is
        // allocated, as the picture readers refuse it.
        CheckPictureSize(TWAIN_DibWidth(dib), TWAIN_DibHeight(dib));
        TWAINImage.SetSize(TWAIN_DibWidth(dib), TWAIN_DibHeight(dib));
        // A blank picture must not pass for the scan.
        if (!DrawDibToImage(dib, TWAINImage))
            throw EImageError(kUnreadableScan);
        const TOptionValues &options = FOptionsForm->Options();
        std::string fileName;
        if (!AskTargetFileName(*FPrompts, FFileFormatChoiceForm,
                               {"importedimage", options.importasktargetname, options.importedfileformat,
                                "Imported image name", "Please enter imported image name:"},
                               fileName))
            return;
        SaveAcquiredImage(fileName);
    } catch (const std::exception &e) {
        FPrompts->ShowError(e.what());
    }
}

void TMainAppForm::SaveAcquiredImage(const std::string &fileName)
{
    SaveAsNewLogo(FLogoTree, *FLogoTemplate, fileName, TWAINImage);
}

void TMainAppForm::SelectSourceMenuItemClick() { TWAIN_SelectImageSource(winId()); }

void TMainAppForm::GrabFromScreenToolButtonClick()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || !FGrabScreenForm || !FOptionsForm)
        return;
    FGrabScreenForm->PlaceOnScreen(screen);
    // Our own windows must be gone from the copy: the window is hidden and the screen given time
    // to repaint what lay under it.
    hide();
    QEventLoop wait;
    QTimer::singleShot(kRepaintWaitMs, &wait, &QEventLoop::quit);
    wait.exec();
    const QPixmap copy = screen->grabWindow(0);
    if (!copy.isNull()) {
        FGrabScreenForm->SetScreenPicture(copy.toImage());
        FGrabScreenForm->exec();
    }
    if (FShutDown)
        return; // the session ended during the selection
    show();
    activateWindow();
    // No copy of the screen (a Wayland session keeps its pixels to itself): nothing to select.
    if (copy.isNull())
        return;

    const TRect selection = FGrabScreenForm->SelRect();
    if (selection.Left == -1)
        return;
    if (std::abs(selection.Width()) < kMinPictureSide) {
        FPrompts->ShowWarning(kWidthTooSmall);
        return;
    }
    if (std::abs(selection.Height()) < kMinPictureSide) {
        FPrompts->ShowWarning(kHeightTooSmall);
        return;
    }
    try {
        const TOptionValues &options = FOptionsForm->Options();
        std::string fileName;
        if (!AskTargetFileName(*FPrompts, FFileFormatChoiceForm,
                               {"grabbedimage", options.grabasktargetname, options.grabbedfileformat,
                                "Grabbed image name", "Please enter grabbed image name:"},
                               fileName))
            return;
        SaveGrabbedImage(fileName);
    } catch (const std::exception &e) {
        FPrompts->ShowError(e.what());
    }
}

void TMainAppForm::SaveGrabbedImage(const std::string &fileName)
{
    const TRect selection = FGrabScreenForm->SelRect();
    TWAINImage.SetSize(selection.Width(), selection.Height());
    TWAINImage.CopyRect({0, 0, selection.Width(), selection.Height()}, FGrabScreenForm->Picture(), selection);
    SaveAsNewLogo(FLogoTree, *FLogoTemplate, fileName, TWAINImage);
}

} // namespace vantorel
