#include "PictureDownload.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <system_error>

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "FileOps.h"
#include "PictureDownloadThread.h"
#include "ProxySetup.h"
#include "TextRules.h"
#include "UiDispatcher.h"

namespace vantorel {

namespace {

const char *const kPictureExtensions[] = {".JPG", ".JPEG", ".BMP", ".PNG", ".GIF"};

int BarValue(std::int64_t count) { return static_cast<int>(std::clamp<std::int64_t>(count, 0, INT_MAX)); }

} // namespace

std::string PictureURLExtension(const std::string &url)
{
    const std::size_t dot = url.rfind('.');
    if (dot == std::string::npos || url.find_first_of("\\:", dot) != std::string::npos)
        return {};
    return AsciiUpper(std::string_view(url).substr(dot));
}

std::string PictureURLFileName(const std::string &url)
{
    const std::size_t slash = url.rfind('/');
    return slash == std::string::npos ? url : url.substr(slash + 1);
}

TPictureDownloadForm::TPictureDownloadForm(std::string programFolder, TPromptService &prompts, QWidget *parent)
    : QDialog(parent), FProgramFolder(std::move(programFolder)), FPrompts(prompts)
{
    setWindowTitle(QStringLiteral("Picture Download"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *caption = new QLabel(QStringLiteral("Downloading picture file:"));
    PictureURLLabel = new QLabel;
    PictureURLLabel->setWordWrap(true);
    PictureURLLabel->setTextFormat(Qt::PlainText);
    PictureURLLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PictureURLLabel->setFixedHeight(2 * PictureURLLabel->fontMetrics().lineSpacing());
    PictureDownloadProgressBar = new QProgressBar;
    PictureDownloadProgressBar->setTextVisible(false);
    CancelButton = new QPushButton(QStringLiteral("Cancel"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CancelButton);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(PictureURLLabel);
    layout->addWidget(PictureDownloadProgressBar);
    layout->addLayout(buttons);
    setFixedSize(369, 150);

    // Only the download reads these addresses; no other scheme may reach a file or a server.
    PictDownloadConn.SetAllowedSchemes("http,https");

    ActTimer.setInterval(1);
    ActTimer.setSingleShot(true);
    connect(&ActTimer, &QTimer::timeout, this, &TPictureDownloadForm::ActTimerTimer);
    connect(CancelButton, &QPushButton::clicked, this, &TPictureDownloadForm::reject);
}

TPictureDownloadForm::~TPictureDownloadForm()
{
    // A running download writes through the connection that goes with the dialog.
    if (FDownloadThread)
        TExchangeThread::StopAll();
}

void TPictureDownloadForm::SetOptionsSource(TOptionsSource options, TProxyPrompt askProxyAuthentication)
{
    FOptions = std::move(options);
    FAskProxyAuthentication = std::move(askProxyAuthentication);
}

void TPictureDownloadForm::DeleteDownloadedFile()
{
    if (!FTargetFileName.empty())
        DeleteFileA(FTargetFileName);
    FWorkFolder.reset();
    FTargetFileName.clear();
}

void TPictureDownloadForm::ClearProxyParams() { vantorel::ClearProxyParams(PictDownloadConn); }

void TPictureDownloadForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Once per showing: a box over the dialog, or a minimised dialog shown again, starts nothing.
    if (!event->spontaneous())
        FormActivate();
}

void TPictureDownloadForm::FormActivate()
{
    FTargetFileName.clear();
    FWorkFolder.reset();
    FDownloadThread = nullptr;
    PictureURLLabel->clear();
    PictureDownloadProgressBar->setRange(0, 100);
    PictureDownloadProgressBar->setValue(0);
    ActTimer.start();
}

void TPictureDownloadForm::ActTimerTimer()
{
    ActTimer.stop();
    // A dialog closed before its timer fired downloads nothing.
    if (isVisible())
        StartDownload();
}

void TPictureDownloadForm::EndWithCancel()
{
    FDownloadThread = nullptr;
    QDialog::done(QDialog::Rejected);
}

void TPictureDownloadForm::StartDownload()
{
    if (FURL.empty())
        return EndWithCancel();
    PictureURLLabel->setText(QString::fromStdString(FURL));
    const std::string ext = PictureURLExtension(FURL);
    if (std::find(std::begin(kPictureExtensions), std::end(kPictureExtensions), ext) == std::end(kPictureExtensions)) {
        FPrompts.ShowError("Unsupported picture file type : " + ext);
        return EndWithCancel();
    }
    try {
        FWorkFolder = std::make_unique<TTempWorkFolder>(FProgramFolder);
    } catch (const std::system_error &) {
        FPrompts.ShowError("Could not write temporary picture file.");
        return EndWithCancel();
    }
    // The name is one path component, so the file stays in the work folder.
    const std::string name = PictureURLFileName(FURL);
    FTargetFileName = FWorkFolder->Path() + name;
    if (!IsValidNodeName(name)) {
        FPrompts.ShowError(kPictureWriteFailed);
        return EndWithCancel();
    }
    if (FAskProxyAuthentication && !FAskProxyAuthentication())
        return EndWithCancel();
    try {
        ApplyProxyOptions(PictDownloadConn, FOptions ? FOptions() : TOptionValues{});
    } catch (const std::exception &e) {
        // A proxy port that is no number: reported like any failed command.
        ClearProxyParams();
        FPrompts.ShowError(e.what());
        return EndWithCancel();
    }

    // The worker reports each change of the numbers; the bar takes them on the UI thread.
    struct TSeen {
        std::int64_t Total = -1;
        std::int64_t Received = -1;
    };
    QPointer<TPictureDownloadForm> self(this);
    auto progress = [self, seen = TSeen{}](std::int64_t received, std::int64_t total) mutable {
        if (total != seen.Total) {
            seen.Total = total;
            seen.Received = -1;
            PostToUiThread([self, total] {
                if (self)
                    self->PictDownloadConnWorkBegin(total);
            });
        }
        if (received != seen.Received) {
            seen.Received = received;
            PostToUiThread([self, received] {
                if (self)
                    self->PictDownloadConnWork(received);
            });
        }
    };
    auto thread = std::make_unique<TPictureDownloadThread>(FURL, FTargetFileName, PictDownloadConn, progress);
    try {
        FDownloadThread = static_cast<TPictureDownloadThread *>(
            TExchangeThread::Start(std::move(thread), [this](TExchangeThread &done) {
                DownloadDone(static_cast<TPictureDownloadThread &>(done));
            }));
    } catch (const std::exception &) {
        // No thread to be had: nothing may leave the timer's handler.
        ClearProxyParams();
        FPrompts.ShowError(kPictureDownloadFailed);
        return EndWithCancel();
    }
}

void TPictureDownloadForm::DownloadDone(TPictureDownloadThread &thread)
{
    ClearProxyParams();
    const TDownloadStatus status = thread.Status();
    const std::string message = thread.Message();
    FDownloadThread = nullptr;
    switch (status) {
    case dsDone:
        QDialog::done(QDialog::Accepted);
        break;
    case dsFailed:
        FPrompts.ShowError(message);
        QDialog::done(QDialog::Rejected);
        break;
    case dsStopped:
        QDialog::done(QDialog::Rejected);
        break;
    }
}

void TPictureDownloadForm::CancelButtonClick()
{
    if (FDownloadThread)
        FDownloadThread->Stop(); // sets its stop flag, then disconnects PictDownloadConn
}

void TPictureDownloadForm::reject()
{
    if (FDownloadThread) {
        CancelButtonClick();
        return; // DownloadDone closes the dialog
    }
    QDialog::reject();
}

void TPictureDownloadForm::closeEvent(QCloseEvent *event)
{
    if (FDownloadThread) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TPictureDownloadForm::PictDownloadConnWorkBegin(std::int64_t total)
{
    PictureDownloadProgressBar->setMinimum(0);
    PictureDownloadProgressBar->setMaximum(BarValue(total));
    PictureDownloadProgressBar->setValue(0);
}

void TPictureDownloadForm::PictDownloadConnWork(std::int64_t count)
{
    PictureDownloadProgressBar->setValue(std::min(BarValue(count), PictureDownloadProgressBar->maximum()));
}

} // namespace vantorel
