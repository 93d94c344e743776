#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace vantorel {

// Stands in for finding a top-level window by its title and posting to it: a window with a
// title listens on a per-user local socket named after that title. Finding the window means
// connecting; bringing it to the front and posting a message are one-line requests it answers
// with "OK" once they are delivered.
class TInstanceChannel : public QObject {
    Q_OBJECT

public:
    explicit TInstanceChannel(QObject *parent = nullptr);

    // The socket of a title: in $XDG_RUNTIME_DIR, else in the temporary folder, with the user's id.
    static QString SocketPath(const QString &title);
    // FindWindow + SetForegroundWindow: true when a window with the title runs; it was asked to
    // come to the front.
    static bool FindAndBringToFront(const QString &title);
    // PostMessage: true when a window with the title runs and took the message.
    static bool PostWindowMessage(const QString &title, int message);

    // Starts answering for the title; false when the socket cannot be made or another window
    // answers for the title already.
    bool Listen(const QString &title);

signals:
    void ForegroundRequested();
    void MessagePosted(int message);

private:
    void ServeConnection();
    static bool Send(const QString &title, const QByteArray &request);

    QLocalServer FServer;
};

} // namespace vantorel
