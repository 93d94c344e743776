#include "VantorelPI.h"

#include <exception>

#include <spawn.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QEvent>

#include "ChildProcess.h"
#include "InstanceChannel.h"
#include "MainForm.h"
#include "Registry.h"
#include "vantorelpi_adaptor.h"

extern char **environ;

namespace vantorel {

namespace {
constexpr qsizetype kMaxImageURLLength = 8192;
} // namespace

TVantorelPI::TVantorelPI(QWidget *ownWindow, QObject *parent) : QObject(parent), FOwnWindow(ownWindow)
{
    new IVantorelPIAdaptor(this); // exports the interface of the XML file; Qt deletes it with this
}

TVantorelPI::~TVantorelPI()
{
    if (FConnection) {
        FConnection->unregisterService(QString::fromLatin1(kAutomationBusName));
        FConnection->unregisterObject(QString::fromLatin1(kAutomationObjectPath));
    }
}

bool TVantorelPI::Serve(QDBusConnection connection)
{
    if (FConnection || !connection.isConnected() || !connection.interface())
        return false;
    const QString path = QString::fromLatin1(kAutomationObjectPath);
    if (!connection.registerObject(path, this))
        return false;
    // The name comes last: once it is ours, calls can arrive, and they find the object ready.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = connection.interface()->registerService(
        QString::fromLatin1(kAutomationBusName), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        connection.unregisterObject(path);
        return false;
    }
    FConnection = connection;
    return true;
}

void TVantorelPI::AddImageURL(const QString &ImageURL)
{
    // No picture address is this long; a huge one would only be written, read and shown.
    if (ImageURL.size() > kMaxImageURLLength)
        return Answer(false);
    Answer(HandOver(ImageURL.toStdString()));
}

void TVantorelPI::Exec() { Answer(HandOver(std::nullopt)); }

void TVantorelPI::Answer(bool ok)
{
    if (!ok && calledFromDBus())
        sendErrorReply(QDBusError::Failed, QStringLiteral("E_FAIL"));
}

bool TVantorelPI::HandOver(const std::optional<std::string> &url)
{
    try {
        std::string appPath;
        {
            TRegistry registry;
            if (!registry.OpenKey(kProgramKey, false))
                return false;
            appPath = registry.ReadString(kAppPathValue);
            if (url)
                registry.WriteString(kImageURLValue, *url);
        }
        if (FindAndBringToFront()) {
            if (url)
                PostImageURLPending();
            return true;
        }
        // The new program learns of the address only through "ImageURL", which stays when the
        // start fails and is taken at the program's next activation.
        return StartProgram(appPath);
    } catch (const std::exception &) {
        return false;
    }
}

bool TVantorelPI::FindAndBringToFront()
{
    const QString title = QString::fromLatin1(kMainWindowTitle);
    if (FOwnWindow && FOwnWindow->windowTitle() == title) {
        // A window hidden on purpose (a screen grab runs) stays hidden; the address waits.
        if (FOwnWindow->isHidden())
            return true;
        FOwnWindow->setWindowState(FOwnWindow->windowState() & ~Qt::WindowMinimized);
        FOwnWindow->show();
        FOwnWindow->raise();
        FOwnWindow->activateWindow();
        return true;
    }
    return TInstanceChannel::FindAndBringToFront(title);
}

void TVantorelPI::PostImageURLPending()
{
    if (FOwnWindow && FOwnWindow->windowTitle() == QString::fromLatin1(kMainWindowTitle))
        QCoreApplication::postEvent(FOwnWindow, new QEvent(static_cast<QEvent::Type>(WM_IMAGEURLPENDING)));
    else
        TInstanceChannel::PostWindowMessage(QString::fromLatin1(kMainWindowTitle), WM_IMAGEURLPENDING);
}

bool TVantorelPI::StartProgram(const std::string &appPath)
{
    std::string executable = appPath + "/vantorel";
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return false;
    // The program starts in its folder and inherits no open file of this one.
    const bool prepared = posix_spawn_file_actions_addchdir_np(&actions, appPath.c_str()) == 0 &&
                          posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1) == 0;
    char *argv[] = {executable.data(), nullptr};
    pid_t pid = 0;
    const bool started = prepared && posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!started)
        return false;
    // Nobody waits for the program, but its end must not leave a zombie behind.
    ReapInBackground(pid);
    return true;
}

} // namespace vantorel
