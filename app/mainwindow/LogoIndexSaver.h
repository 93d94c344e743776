#pragma once

#include <atomic>
#include <string>
#include <thread>

#include <QObject>
#include <QTimer>

#include "LogoTree.h"
#include "PromptService.h"
#include "XMLSource.h"

namespace vantorel {

// Keeps the logo index in step with the tree while the program runs, so that a crash or a kill
// loses no folder and no logo. A change arms a short timer: a burst of changes (a frame drag, a
// folder tree deleted) gives one write, at most about kDelayMs after the first of them. The text
// is built on the UI thread, which owns the tree; the file is written and flushed to the disk on a
// worker, whose time the disk decides, so the window never waits for it. One write runs at a time.
class TLogoIndexSaver : public QObject {
    Q_OBJECT

public:
    static constexpr int kDelayMs = 300;

    explicit TLogoIndexSaver(TLogoTree &tree);
    // Waits for a write under way; a change not yet written is dropped (no orderly end).
    ~TLogoIndexSaver() override;

    // The index file could not be read whole: the first write keeps a copy of it first.
    void SetDamaged(bool damaged) { FSetAsideFirst = damaged; }
    // The tree changed. A change left unwritten by a failed write waits for the next change or
    // for SaveNow.
    void Changed();
    bool Pending() const { return FPending; }

    // The shut-down's write: drops the timer, waits for a write under way and writes the tree now,
    // on this thread, telling a failure in a box. Returns whether the file was written.
    bool SaveNow(TPromptService &prompts);

signals:
    // A write of the timer has ended, the file written or not.
    void WriteEnded(bool written);

private:
    void StartWrite();
    // Takes the result of the write under way, once its worker has ended.
    void FinishWrite();

    TLogoTree &FTree;
    // Its own document: the timer may fire inside a box that another file's reader or writer
    // shows, and the window's document must stay theirs.
    TXMLSource FXML;
    QTimer FTimer;
    std::thread FWorker;
    std::atomic<bool> FWorkerFailed{false};
    bool FWriting = false;
    bool FPending = false;
    bool FSetAsideFirst = false;
};

} // namespace vantorel
