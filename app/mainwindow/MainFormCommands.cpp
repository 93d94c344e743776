// The commands of the main window, their enabled states and the two status bars.
#include "MainForm.h"

#include <new>

#include <QComboBox>
#include <QCheckBox>
#include <QButtonGroup>
#include <QMenu>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>

#include "AboutBox.h"
#include "BrowserLauncher.h"
#include "CommandState.h"
#include "FileOps.h"
#include "HelpViewer.h"
#include "Icons.h"
#include "ImageCodecs.h"
#include "ImageControl.h"
#include "ImageStatusTexts.h"
#include "Links.h"
#include "LogCategories.h"
#include "LogoWriter.h"
#include "MultiTWAIN.h"
#include "OptionsForm.h"
#include "ProgramFolder.h"
#include "ServiceNames.h"
#include "StatusPanels.h"
#include "TextRules.h"

namespace vantorel {

namespace {

const std::vector<std::pair<std::string, std::string>> kPictureFilters = {
    {"All (*.jpg;*.jpeg;*.bmp;*.gif;*.png)", "*.jpg;*.jpeg;*.bmp;*.gif;*.png"},
    {"JPEG Image File (*.jpg)", "*.jpg"},
    {"JPEG Image File (*.jpeg)", "*.jpeg"},
    {"Bitmaps (*.bmp)", "*.bmp"},
    {"GIF Image File (*.gif)", "*.gif"},
    {"PNG Image File (*.png)", "*.png"},
};

const char *const kSaveFailed =
    "Error occurred while trying to save image. Check if you have enough space on you disk and write permission.";
const std::string kFAQAddress = ServicePageAddress(kFAQPage);

QString Q(const std::string &text) { return QString::fromStdString(text); }

} // namespace

const TLogoDirObject &TMainAppForm::CommandNode() const
{
    const TLogoNode *node = FLogoTree.Selected() ? FLogoTree.Selected() : FLogoTree.Root();
    return *node->Data();
}

void TMainAppForm::UpdateControls()
{
    const TCommandState s = ComputeCommandState(CommandNode(), Uploading(), Sending(), TWAIN_IsAvailable() != 0);
    SaveMenuItem->setEnabled(s.Save);
    SaveToolButton->setEnabled(s.Save);
    ImportFromTWAINMenuItem->setEnabled(s.ImportFromTWAIN);
    ImportFromTWAINToolButton->setEnabled(s.ImportFromTWAIN);
    GrabFromScreenMenuItem->setEnabled(s.GrabFromScreen);
    GrabFromScreenToolButton->setEnabled(s.GrabFromScreen);
    UploadMenuItem->setEnabled(s.Upload);
    UploadToolButton->setEnabled(s.Upload);
    UploadButton->setEnabled(s.Upload);
    RenameMenuItem->setEnabled(s.Rename);
    RenameToolButton->setEnabled(s.Rename);
    DeleteMenuItem->setEnabled(s.Delete);
    DeleteToolButton->setEnabled(s.Delete);
    for (QAction *a : {MMConverttoformat, TVConvertToFormat, SIConvertToFormat})
        a->setEnabled(s.Convert);
    ConvertToolButton->setEnabled(s.Convert);
    for (QAction *a : {MMMirrorImage, TVMirrorImage, SIMirrorImage})
        a->setEnabled(s.Mirror);
    MirrorToolButton->setEnabled(s.Mirror);
    for (QAction *a : {MMRotateImage, TVRotateImage, SIRotateImage})
        a->setEnabled(s.Rotate);
    RotateToolButton->setEnabled(s.Rotate);
    Fitimageintopane->setEnabled(s.FitToPane);
    FitToPaneToolButton->setEnabled(s.FitToPane);
    SendToFriendMenuItem->setEnabled(s.SendToFriend);
    SendToFriendToolButton->setEnabled(s.SendToFriend);
    for (QWidget *w :
         std::initializer_list<QWidget *>{PhoneMake, PhoneModel, LogoWidthUpDown, LogoHeightUpDown, KeepProportions})
        w->setEnabled(s.Settings);
    for (QAbstractButton *b : FitInto->buttons())
        b->setEnabled(s.Settings);

    if (s.Upload)
        UploadButton->setIcon(Uploading() ? StopUploadGlyph() : UploadGlyph());
    else
        UploadButton->setIcon(QIcon());

    if (s.Convert) {
        const bool shown[4] = {s.ShowBMP, s.ShowJPG, s.ShowGIF, s.ShowPNG};
        for (auto &menu : ConvertItems)
            for (int f = 0; f < 4; ++f)
                menu[f]->setVisible(shown[f]);
    }
}

void TMainAppForm::LogoTreePopupMenuPopup()
{
    const TCommandState s = ComputeCommandState(CommandNode(), Uploading(), Sending(), false);
    SavePopupMenuItem->setEnabled(s.Save);
    UploadPopupMenuItem->setEnabled(s.Upload);
    RenamePopupMenuItem->setEnabled(s.Rename);
    DeletePopupMenuItem->setEnabled(s.Delete);
    UploadPopupMenuItem->setText(Q(s.UploadPopupCaption));
}

void TMainAppForm::SourceImagePopupMenuPopup()
{
    const TCommandState s = ComputeCommandState(CommandNode(), Uploading(), Sending(), false);
    UploadSrcImgMenuItem->setEnabled(s.Upload);
    FitToPaneSrcImgMenuItem->setEnabled(s.FitToPane);
    FitToPaneSrcImgMenuItem->setChecked(Fitimageintopane->isChecked());
    UploadSrcImgMenuItem->setText(Q(s.UploadPopupCaption));
}

void TMainAppForm::TargetImagePopupMenuPopup()
{
    const TCommandState s = ComputeCommandState(CommandNode(), Uploading(), Sending(), false);
    UploadTrgImgMenuItem->setEnabled(s.Upload);
    UploadTrgImgMenuItem->setText(Q(s.UploadPopupCaption));
}

void TMainAppForm::UpdateImageStatusBar()
{
    const TLogoNode *node = FLogoTree.Selected() ? FLogoTree.Selected() : FLogoTree.Root();
    if (!node || node->Kind() != nkLogo || !FSourceImage) {
        ImageStatusBar->SetText(0, QStringLiteral("Source Image: "));
        ImageStatusBar->SetText(1, QStringLiteral("Source Selection: "));
        ImageStatusBar->SetText(2, QStringLiteral("Logo Screen: "));
        ImageStatusBar->SetText(3, QStringLiteral("Logo Image: "));
        return;
    }
    const TSourceImage &d = *FSourceImage;
    const TLogoDirObject &logo = *node->Data();
    const TPoint offset = d.Offset();
    ImageStatusBar->SetText(0, SourceImageText(d.SourceWidth, d.SourceHeight));
    ImageStatusBar->SetText(
        1, SourceSelectionText(logo.FrameLeft - offset.X, logo.FrameTop - offset.Y, logo.FrameWidth, logo.FrameHeight));
    ImageStatusBar->SetText(2, LogoScreenText(logo.LogoWidth, logo.LogoHeight));
    if (d.FrameHitsSource())
        ImageStatusBar->SetText(3, LogoImageText(d.Logo.Width(), d.Logo.Height()));
    else
        ImageStatusBar->SetText(3, LogoImageText(0, 0));
}

void TMainAppForm::StatusBarResize() { StatusBar->SetPanelWidth(0, StatusBar->width() / 2); }

void TMainAppForm::StatusBarDrawPanel(QPainter &painter, const QRect &p)
{
    painter.fillRect(p, palette().color(QPalette::Button));
    if (FUploadAnimPhase < 0)
        return;
    const int phase = FUploadAnimPhase;
    painter.drawPixmap(p.left() + phase - 20, p.top(), FUploadBoxBitmap);
    for (int i = 0; i <= (p.width() - phase) / 20 + 1; ++i)
        painter.drawPixmap(p.left() + phase + 20 * i, p.top(), FUploadBoxBitmap);

    QFont font(QStringLiteral("Courier"));
    font.setPointSize(10);
    font.setBold(true);
    painter.setFont(font);
    const QString text = QStringLiteral("U P L O A D I N G . . .");
    const QFontMetrics metrics(font);
    const int w = metrics.horizontalAdvance(text);
    const int h = metrics.height();
    const int x0 = p.left() + (p.width() - w) / 2;
    const int y0 = p.top() + (p.height() - h) / 2 - 1 + metrics.ascent();
    painter.setPen(QColor(255, 255, 255));
    const int around[8][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}, {-1, 0}, {1, 0}, {0, 1}, {0, -1}};
    for (const auto &d : around)
        painter.drawText(x0 + d[0], y0 + d[1], text);
    painter.setPen(QColor(255, 0, 0));
    painter.drawText(x0, y0, text);
}

void TMainAppForm::UploadProgressTimerTimer()
{
    StatusBar->repaint();
    FUploadAnimPhase = FUploadAnimPhase + 1 >= 20 ? 0 : FUploadAnimPhase + 1;
}

void TMainAppForm::Open1Click()
{
    TFileDialogRequest request;
    request.Filters = kPictureFilters;
    std::string fileName;
    if (!FPrompts->OpenFileDialog(request, fileName))
        return;
    TPictureCache::TDecoded picture;
    if (!TSourceImage::CheckImageFile(fileName, *FPrompts, &picture))
        return;
    // The new logo's display takes the picture the check decoded, rather than decoding it again;
    // the check lets go of it before the display, so a failed hand-over never holds two.
    FTreeEditor.AddImageToDirectory(fileName, *FLogoTemplate, [&picture](const std::string &copy) {
        PictureCache().KeepCopy(picture, copy);
        picture = {};
    });
}

void TMainAppForm::SaveLogoToFile()
{
    TLogoNode *node = FLogoTree.Selected();
    if (!node || node->Kind() != nkLogo || !FSourceImage || !FOptionsForm)
        return;
    if (!FSourceImage->FrameHitsSource()) {
        FPrompts->ShowWarning(kNoPictureInFrame);
        return;
    }
    // The logo as it is now: the document may be rebuilt (a resize of the pane) while the
    // dialogs are open.
    const TBitmap logo = FSourceImage->Logo;
    TFileDialogRequest request;
    request.Filters = kPictureFilters;
    request.FileName = node->Text();
    request.InitialFolder = FLastSaveFolder;
    request.DefaultExtension = "jpg";
    std::string chosen;
    std::size_t fileType = 0;
    if (!FPrompts->SaveFileDialog(request, chosen, fileType))
        return;
    // The format is the one the file's name says, whatever the logo's own format.
    const std::string path = SaveAsTarget(chosen, request.FilterExtension(fileType));
    if (FileExists(path) && !FPrompts->Confirm("The file " + path + " already exists. Do You want to overwrite it?"))
        return;
    // The box names a failed write; its cause is in the details.
    const std::string failure =
        WriteLogoFileReason(logo, path, path, FOptionsForm->Options().jpegquality, FOptionsForm->Options().gifbitdepth);
    if (!failure.empty()) {
        FPrompts->ShowError(kSaveFailed, failure);
        return;
    }
    FLastSaveFolder = path.substr(0, path.find_last_of('/') + 1);
}

void TMainAppForm::Newfolder1Click() { FTreeEditor.Newfolder(); }

void TMainAppForm::RenameMenuItemClick() { FTreeEditor.RenameSelected(); }

void TMainAppForm::DeleteMenuItemClick() { FTreeEditor.DeleteSelected(); }

template <typename Command> void TMainAppForm::RunImageCommand(Command command)
{
    // The commands write from the whole picture of the shown logo. A copy, since the document
    // may be rebuilt (a resize of the pane) while a question of the command is open.
    if (FSourceImage && FOptionsForm) {
        try {
            const TBitmap source = FSourceImage->Source;
            command(source);
        } catch (const std::bad_alloc &) {
            // The library's own word for it means nothing to the user.
            qCWarning(lcImage) << "an image command ran out of memory";
            FPrompts->ShowError(kSaveFailed, "There is not enough memory to make the new picture.");
        } catch (const std::exception &e) {
            FPrompts->ShowError(e.what());
        }
    }
    UpdateControls();
}

void TMainAppForm::ConvertNode(TImageFileFormat format)
{
    RunImageCommand([this, format](const TBitmap &source) {
        FImageCommands.ConvertNode(format, source,
                                   TImageCommandOptions{FOptionsForm->Options().convertretainsource,
                                                        FOptionsForm->Options().convertasktargetname});
    });
}

void TMainAppForm::MirrorNode(int direction)
{
    RunImageCommand([this, direction](const TBitmap &source) {
        FImageCommands.MirrorNode(direction, source,
                                  TImageCommandOptions{FOptionsForm->Options().mirrorretainsource,
                                                       FOptionsForm->Options().mirrorasktargetname});
    });
}

void TMainAppForm::RotateNode(int angle)
{
    RunImageCommand([this, angle](const TBitmap &source) {
        FImageCommands.RotateNode(angle, source,
                                  TImageCommandOptions{FOptionsForm->Options().rotateretainsource,
                                                       FOptionsForm->Options().rotateasktargetname});
    });
}

void TMainAppForm::ContentsToolButtonClick()
{
    if (!FHelpViewer)
        FHelpViewer = new THelpViewer(ShippedFileFolder(FProgramFolder, kHelpFileName) + kHelpFileName, this);
    FHelpViewer->ShowContents();
}

void TMainAppForm::LaunchBrowser(const std::string &address)
{
    std::string failure;
    if (!WindowBrowserStart(*this, *FPrompts)(address, failure))
        FPrompts->ShowError(failure);
}

void TMainAppForm::FAQMenuItemClick() { LaunchBrowser(kFAQAddress); }

void TMainAppForm::OpenLink(int index)
{
    // The address travels in the item's hint.
    const QList<QAction *> items = LinksMenu->actions();
    if (index >= 0 && index < items.size())
        LaunchBrowser(items[index]->toolTip().toStdString());
}

void TMainAppForm::AboutToolButtonClick()
{
    if (FAboutBox)
        FAboutBox->exec();
}

} // namespace vantorel
