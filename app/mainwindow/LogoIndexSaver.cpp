#include "LogoIndexSaver.h"

#include <exception>
#include <system_error>
#include <utility>

#include <QMetaObject>

#include "LogCategories.h"
#include "LogoIndexFile.h"

namespace vantorel {

TLogoIndexSaver::TLogoIndexSaver(TLogoTree &tree) : FTree(tree)
{
    FTimer.setSingleShot(true);
    FTimer.setInterval(kDelayMs);
    connect(&FTimer, &QTimer::timeout, this, &TLogoIndexSaver::StartWrite);
}

TLogoIndexSaver::~TLogoIndexSaver()
{
    FTimer.stop();
    if (FWorker.joinable())
        FWorker.join();
}

void TLogoIndexSaver::Changed()
{
    FPending = true;
    // Not restarted by later changes, so a long drag is still written while it goes on; a write
    // under way arms the timer when it ends.
    if (!FWriting && !FTimer.isActive())
        FTimer.start();
}

void TLogoIndexSaver::StartWrite()
{
    if (FWriting || !FPending)
        return;
    const std::string folder = FTree.ProgramFolder();
    if (FSetAsideFirst) {
        if (!KeepDamagedLogoDirectory(folder)) {
            qCWarning(lcFiles) << "The logo index is not saved: no copy of the damaged file could be kept";
            return;
        }
        FSetAsideFirst = false;
    }
    std::string text;
    try {
        text = LogoDirectoryText(FTree, FXML);
    } catch (const std::exception &e) {
        qCWarning(lcFiles) << "The logo index is not saved:" << e.what();
        return;
    }
    auto write = [this, folder, text = std::move(text)] {
        std::string failure;
        try {
            failure = WriteLogoDirectoryText(folder, text, false);
        } catch (const std::exception &e) {
            // Out of memory, say: the write failed, which must not end the program.
            failure = e.what();
        } catch (...) {
            failure = "unknown error";
        }
        if (!failure.empty())
            qCWarning(lcFiles).noquote() << "The logo index is not saved:" << QString::fromStdString(failure);
        FWorkerFailed = !failure.empty();
        // The destructor waits for this thread, so the object is still there to take the call.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!FWriting)
                    return; // SaveNow took the result already
                FinishWrite();
                if (FPending && !FWorkerFailed)
                    FTimer.start();
                emit WriteEnded(!FWorkerFailed);
            },
            Qt::QueuedConnection);
    };
    try {
        FWorker = std::thread(std::move(write));
    } catch (const std::system_error &e) {
        // No thread to be had: the change stays pending, for the next change or the end.
        qCWarning(lcFiles) << "The logo index is not saved:" << e.what();
        return;
    }
    FPending = false;
    FWriting = true;
}

void TLogoIndexSaver::FinishWrite()
{
    if (!FWriting)
        return;
    FWorker.join();
    FWriting = false;
    // What the failed write carried is written with the next change or at the end.
    if (FWorkerFailed)
        FPending = true;
}

bool TLogoIndexSaver::SaveNow(TPromptService &prompts)
{
    FTimer.stop();
    FinishWrite();
    const bool saved = SaveLogoDirectory(FTree, FXML, prompts, FSetAsideFirst);
    FPending = !saved;
    if (saved)
        FSetAsideFirst = false;
    return saved;
}

} // namespace vantorel
