#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace vantorel {

// Turns SIGTERM and SIGINT into a signal on the event loop, so the main window can close the
// orderly way, as it would at a session's logoff.
class TSignalCloser : public QObject {
    Q_OBJECT

public:
    explicit TSignalCloser(QObject *parent = nullptr);
    ~TSignalCloser() override;

signals:
    void CloseRequested();

private:
    void Drain();
    QSocketNotifier *FNotifier = nullptr;
};

} // namespace vantorel
