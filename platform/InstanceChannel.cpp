#include "InstanceChannel.h"

#include <unistd.h>

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace vantorel {

namespace {

constexpr int kTimeoutMs = 2000;
constexpr qint64 kMaxRequest = 64;

} // namespace

TInstanceChannel::TInstanceChannel(QObject *parent) : QObject(parent)
{
    connect(&FServer, &QLocalServer::newConnection, this, &TInstanceChannel::ServeConnection);
}

QString TInstanceChannel::SocketPath(const QString &title)
{
    // The user's own runtime folder (Qt makes a private one when the session has none), so no
    // other user can stand in for a running window.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/vantorel-%1-%2").arg(::getuid()).arg(title);
}

bool TInstanceChannel::Send(const QString &title, const QByteArray &request)
{
    QLocalSocket socket;
    socket.connectToServer(SocketPath(title));
    if (!socket.waitForConnected(kTimeoutMs))
        return false;
    socket.write(request);
    socket.flush();
    // A window that answers late still exists; the answer only tells that it was delivered.
    while (!socket.canReadLine() && socket.waitForReadyRead(kTimeoutMs)) {
    }
    socket.disconnectFromServer();
    return true;
}

bool TInstanceChannel::FindAndBringToFront(const QString &title) { return Send(title, "FOREGROUND\n"); }

bool TInstanceChannel::PostWindowMessage(const QString &title, int message)
{
    return Send(title, "MESSAGE " + QByteArray::number(message) + '\n');
}

bool TInstanceChannel::Listen(const QString &title)
{
    const QString path = SocketPath(title);
    // No socket options: with them Qt renames its socket into place, replacing a live one. The
    // user's private runtime folder keeps others out instead.
    if (FServer.listen(path))
        return true;
    // A window that started at the same moment may have taken the name since the caller looked:
    // only a socket that nobody answers is a leftover of a program that did not end in order.
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(kTimeoutMs)) {
        probe.abort();
        return false;
    }
    QLocalServer::removeServer(path);
    return FServer.listen(path);
}

void TInstanceChannel::ServeConnection()
{
    while (QLocalSocket *socket = FServer.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kMaxRequest)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(kMaxRequest).trimmed();
            if (line == "FOREGROUND") {
                emit ForegroundRequested();
            } else if (line.startsWith("MESSAGE ")) {
                bool ok = false;
                const int message = line.mid(8).toInt(&ok);
                if (ok)
                    emit MessagePosted(message);
            }
            socket->write("OK\n");
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

} // namespace vantorel
