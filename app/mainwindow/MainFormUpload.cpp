// The Upload command: the checks and prompts before an upload, its start, and its completion.
#include "MainForm.h"

#include <exception>
#include <memory>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include "AccessURLHint.h"
#include "CredentialPrompts.h"
#include "FileOps.h"
#include "GIFProps.h"
#include "Icons.h"
#include "JPEGProps.h"
#include "LogoWriter.h"
#include "OptionsForm.h"
#include "ProxySetup.h"
#include "ServiceNames.h"
#include "ServiceReply.h"
#include "StatusPanels.h"
#include "TextRules.h"
#include "UploadAddresses.h"
#include "UploadThread.h"

namespace vantorel {

namespace {

const char *const kUploadRenderFailed =
    "Error uploading logo. Check if your hard disk is not full and you have write permission.";
const char *const kWrongLoginText = "Login or password incorrect! In order to enter login and password open menu "
                                    "\"Edit->Options\" and set parameters in \"System Authorization\" groupbox.";
const char *const kNotConfirmedText = "Your account registration is not confirmed. In order to confirm it follow the "
                                      "link in EMail which was sent to you after registration.";
const char *const kConnectionFailedText = "Connection to server failed. Please check your proxy settings in menu "
                                          "\"Edit->Options\" and try again.";

QString Q(const std::string &text) { return QString::fromStdString(text); }

} // namespace

void TMainAppForm::SetUploadCaptions(const QString &caption, bool stopGlyph)
{
    UploadMenuItem->setText(caption);
    UploadToolButton->setToolTip(caption);
    UploadButton->setText(caption);
    UploadToolButton->setIcon(IconFor(stopGlyph ? TIconId::StopUpload : TIconId::Upload));
}

void TMainAppForm::UploadButtonClick()
{
    if (FUploadThread) {
        FUploadThread->Stop();
        return;
    }
    TLogoNode *node = FLogoTree.Selected();
    if (!node || node->Kind() != nkLogo || !FSourceImage || !FOptionsForm)
        return;
    if (!FSourceImage->FrameHitsSource()) {
        FPrompts->ShowWarning(kNoPictureInFrame);
        return;
    }
    if (FSysAuthForm && !AskSystemAuthorization(*FOptionsForm, *FSysAuthForm))
        return;
    if (FProxyAuthForm && !AskProxyAuthentication(*FOptionsForm, *FProxyAuthForm))
        return;

    // The prompts ran the event loop: the selection may have changed behind them.
    if (node != FLogoTree.Selected() || !FSourceImage)
        return;
    const std::string ext = AsciiUpper(ExtractExtension(node->Text()));
    const TOptionValues &options = FOptionsForm->Options();
    QDialog *properties = nullptr;
    if ((ext == ".JPG" || ext == ".JPEG") && options.showjpegdialog && FJPEGPropsForm) {
        FJPEGPropsForm->SetLogo(FSourceImage->Logo, node->Text());
        FJPEGPropsForm->SizeToLogo(LogoWidthUpDown->value(), LogoHeightUpDown->value());
        properties = FJPEGPropsForm;
    } else if (ext == ".GIF" && options.showgifdialog && FGIFPropsForm) {
        FGIFPropsForm->SetLogo(FSourceImage->Logo, node->Text());
        FGIFPropsForm->SizeToLogo(LogoWidthUpDown->value(), LogoHeightUpDown->value());
        properties = FGIFPropsForm;
    }
    if (properties && properties->exec() == QDialog::Rejected)
        return;
    if (node != FLogoTree.Selected() || !FSourceImage)
        return;

    try {
        StartUpload();
    } catch (const std::exception &e) {
        // A proxy port that is no number, or no memory: reported like any failed command.
        FPrompts->ShowError(e.what());
    }
}

void TMainAppForm::StartUpload()
{
    TLogoNode *node = FLogoTree.Selected();
    // The exchange works on a copy: options changed while it runs do not reach it.
    const TOptionValues options = FOptionsForm->Options();
    ApplyProxyOptions(HTTPConnection, options);

    std::unique_ptr<TTempWorkFolder> work;
    std::string file;
    std::string reason;
    try {
        work = std::make_unique<TTempWorkFolder>(FProgramFolder);
        file = RenderLogoToTempFile(*work, node->Text(), FSourceImage->Logo, options.jpegquality, options.gifbitdepth,
                                    &reason);
    } catch (const std::system_error &e) {
        file.clear();
        reason = e.what();
    }
    if (file.empty()) {
        ClearUploadProxyParams();
        // The message blames the disk; the detail names the real cause.
        FPrompts->ShowError(kUploadRenderFailed, reason);
        return;
    }

    auto upload = std::make_unique<TUploadThread>(
        options.login, options.password, file, node, HTTPConnection, FParameters, FMemberValues,
        [this] { ClearUploadProxyParams(); }, std::move(work));
    FUploadThread =
        static_cast<TUploadThread *>(TExchangeThread::Start(std::move(upload), [this](TExchangeThread &done) {
            UploadThreadTerminate(static_cast<TUploadThread &>(done));
        }));
    UpdateControls();
    SetUploadCaptions(QStringLiteral("Stop upload"), true);
    UploadButton->setIcon(StopUploadGlyph());
    StatusBar->SetText(0, QStringLiteral("Uploading image to server..."));
    FUploadAnimPhase = 0;
    UploadProgressTimer.start();
}

void TMainAppForm::UploadThreadTerminate(TUploadThread &thread)
{
    const TUploadStatus status = thread.Status();
    const std::string &message = thread.Message();
    TLogoNode *node = thread.Node();
    const TOptionValues options = FOptionsForm ? FOptionsForm->Options() : TOptionValues{};

    SetUploadCaptions(QStringLiteral("Upload"), false);
    UploadButton->setIcon(UploadGlyph());
    FUploadAnimPhase = -1;
    UploadProgressTimer.stop();
    StatusBar->update();

    switch (status) {
    case usSuccess: {
        node->Data()->UploadURL = message;
        // Written before the hint below, which may stay open as long as the user likes.
        FLogoTree.Changed();
        const bool selected = node == FLogoTree.Selected();
        // Q: the 1-based position of the first "?", 0 when there is none.
        const std::size_t question = message.find('?');
        const std::size_t q = question == std::string::npos ? 0 : question + 1;
        // The number shows only while its logo does: another logo's boxes keep their own.
        if (selected) {
            ShowAddress(ImageID, q + 3 < message.size() ? message.substr(q + 3) : std::string());
            SetUploadCaptions(QStringLiteral("Upload again"), false);
        }
        std::string link;
        if (AsciiLower(options.login) == "guest") {
            if (selected) {
                ImageWapURL->setPlainText(Q(message));
                ShowAddress(ImageWapShortURL, q > 0 ? message.substr(0, q - 1) : std::string());
            }
            link = std::string("http://") + kGuestWapHost + "/";
        } else {
            if (selected) {
                std::string full = message;
                if (!options.login.empty())
                    full += "&login=" + options.login;
                if (!options.password.empty())
                    full += "&password=" + options.password;
                ShowAddress(ImageWapShortURL, message);
                ImageWapURL->setPlainText(Q(full));
            }
            link = std::string("http://") + kWapHost + "/?login=" + options.login + "&password=" + options.password;
        }
        if (FAccessURLHintForm) {
            FAccessURLHintForm->MobileURL->setPlainText(Q(link));
            if (options.enableaccesshint)
                FAccessURLHintForm->exec();
        }
        break;
    }
    case usMessage:
        if (message == kWrongLoginOrPassword)
            FPrompts->ShowError(kWrongLoginText);
        else if (message == kUserIsNotConfirmed)
            FPrompts->ShowError(kNotConfirmedText);
        break;
    case usError:
        FPrompts->ShowError(message);
        break;
    case usStopped:
    case usFailed:
        break;
    }

    std::vector<std::string> listed = thread.ResultLines();
    const std::size_t listedCount = listed.size();
    ClearListedUploadURLs(FLogoTree, listed);
    if (listed.size() != listedCount)
        FLogoTree.Changed(); // the addresses the service no longer keeps were cleared
    StatusBar->SetText(0, status == usStopped ? QStringLiteral("Upload broken by user.") : QStringLiteral("Done."));
    DeleteFileA(thread.FileName());
    FUploadThread = nullptr;
    StatusBar->update();
    UpdateControls();
    if (status == usFailed)
        FPrompts->ShowError(kConnectionFailedText);
}

} // namespace vantorel
