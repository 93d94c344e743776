#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QDialog>
#include <QTimer>

#include "HTTPConnection.h"
#include "OptionValues.h"
#include "PromptService.h"
#include "TempWorkFolder.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace vantorel {

class TPictureDownloadThread;

// The extension of a picture's address as the download judges it: from the last "." on, upper-
// cased, provided no "\" or ":" follows; empty otherwise. So a query after the name spoils it.
std::string PictureURLExtension(const std::string &url);
// The name the picture is saved under: the address after its last "/" (all of it without one).
std::string PictureURLFileName(const std::string &url);

// The picture download dialog: fetches one picture by its address into a work folder of its own
// under "Temp", with the address, a progress bar and Cancel. The opener sets the address, shows
// the dialog modally (OK: the picture is in TargetFileName; Cancel in every other case) and calls
// DeleteDownloadedFile when it is done with the file.
class TPictureDownloadForm : public QDialog {
    Q_OBJECT

public:
    using TOptionsSource = std::function<TOptionValues()>;
    using TProxyPrompt = std::function<bool()>;

    TPictureDownloadForm(std::string programFolder, TPromptService &prompts, QWidget *parent = nullptr);
    ~TPictureDownloadForm() override;

    // What a download reads as it starts: the options in force, and the proxy login prompt
    // (false when the user cancelled it). Without them the download connects directly.
    void SetOptionsSource(TOptionsSource options, TProxyPrompt askProxyAuthentication);

    void SetURL(std::string url) { FURL = std::move(url); }
    const std::string &URL() const { return FURL; }
    // Empty until the address and the folder have passed their checks.
    const std::string &TargetFileName() const { return FTargetFileName; }
    // The downloaded file goes, with the download's work folder.
    void DeleteDownloadedFile();
    bool Downloading() const { return FDownloadThread != nullptr; }

    // The connection of the download, kept for the run.
    THTTPConnection PictDownloadConn;
    void ClearProxyParams();

    void FormActivate();
    void ActTimerTimer();
    void StartDownload();
    void DownloadDone(TPictureDownloadThread &thread);
    void CancelButtonClick();
    // The progress of the transfer, on the UI thread: the total announced (0 while unknown), then
    // the count so far.
    void PictDownloadConnWorkBegin(std::int64_t total);
    void PictDownloadConnWork(std::int64_t count);

    // Controls.
    QLabel *PictureURLLabel = nullptr;
    QProgressBar *PictureDownloadProgressBar = nullptr;
    QPushButton *CancelButton = nullptr;
    QTimer ActTimer;

protected:
    void showEvent(QShowEvent *event) override;
    // The title bar's close is refused while a download runs.
    void closeEvent(QCloseEvent *event) override;
    // Esc and Cancel: a running download is stopped, and the dialog closes when it has ended.
    void reject() override;

private:
    void EndWithCancel();

    std::string FProgramFolder;
    TPromptService &FPrompts;
    TOptionsSource FOptions;
    TProxyPrompt FAskProxyAuthentication;
    TPictureDownloadThread *FDownloadThread = nullptr;
    std::string FURL;
    std::string FTargetFileName;
    std::unique_ptr<TTempWorkFolder> FWorkFolder;
};

} // namespace vantorel
