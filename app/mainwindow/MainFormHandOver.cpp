// The picture hand-over: the automation object on the session bus, message 1025, and taking a
// handed-over address into the logo tree through the picture download dialog.
#include "MainForm.h"

#include <QApplication>

#include <QCoreApplication>
#include <QDialog>
#include <QEvent>

#include "CredentialPrompts.h"
#include "FlagGuard.h"
#include "OptionsForm.h"
#include "PictureDownload.h"
#include "Registry.h"
#include "SourceImage.h"
#include "VantorelPI.h"

namespace vantorel {

void TMainAppForm::SetPictureDownloadForm(TPictureDownloadForm *form)
{
    FPictureDownloadForm = form;
    if (!form)
        return;
    // The dialog reads the options and asks for the proxy login through the window's dialogs.
    form->SetOptionsSource(
        [this] { return FOptionsForm ? FOptionsForm->Options() : TOptionValues{}; },
        [this] { return !FOptionsForm || !FProxyAuthForm || AskProxyAuthentication(*FOptionsForm, *FProxyAuthForm); });
    // A message posted through the channel (by an automation object of another process) comes
    // back as an event, so that the channel's answer does not wait for the download.
    connect(&FInstanceChannel, &TInstanceChannel::MessagePosted, this, [this](int message) {
        if (message == WM_IMAGEURLPENDING)
            QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(WM_IMAGEURLPENDING)));
    });
}

void TMainAppForm::ServeAutomation()
{
    // An instance on its way out never claims the name.
    if (FQuitRequested)
        return;
    auto *automation = new TVantorelPI(this, this);
    if (!automation->Serve())
        delete automation; // no session bus, or the name is taken: the program runs without it
}

void TMainAppForm::WMImageURLPending() { HandlePendingImageURL(); }

void TMainAppForm::HandlePendingImageURL()
{
    // A hand-over that arrives while one runs (1025 or an activation reaching the dialog's or a
    // box's loop) stays pending and is taken below when the first has ended.
    if (FHandingOver || FQuitRequested || FShutDown || !FPictureDownloadForm)
        return;
    // Nor inside another command: its box or dialog runs the event loop, a grab hides the window
    // and an acquisition disables it, and the first activation restores the selection first. The
    // address stays pending for the activation that follows.
    if (!FActivatedOnce || QApplication::activeModalWidget() || !isVisible() || !isEnabled())
        return;
    const TFlagGuard guard(FHandingOver);
    while (!FShutDown) {
        std::string url;
        try {
            TRegistry registry;
            if (!registry.OpenKey(kProgramKey, false) || !registry.ValueExists(kImageURLValue))
                return;
            url = registry.ReadString(kImageURLValue);
            // Gone before anything else, so that a later activation or message finds nothing. A
            // value that cannot be deleted would be taken again at every activation.
            if (!registry.DeleteValue(kImageURLValue))
                return;
        } catch (const ERegistryException &) {
            return;
        }
        if (!url.empty())
            HandOverPicture(url);
    }
}

void TMainAppForm::HandOverPicture(const std::string &url)
{
    FPictureDownloadForm->SetURL(url);
    const int result = FPictureDownloadForm->exec();
    const std::string file = FPictureDownloadForm->TargetFileName();
    // After the end of the program's run, a new logo would miss the logo index already written.
    if (result == QDialog::Accepted && !FShutDown && TSourceImage::CheckImageFile(file, *FPrompts) && !FShutDown)
        FTreeEditor.AddImageToDirectory(file, *FLogoTemplate);
    FPictureDownloadForm->DeleteDownloadedFile();
}

} // namespace vantorel
