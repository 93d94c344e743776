// Runs the built program in a temporary program folder and ends it the way a session would.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include "InstanceChannel.h"
#include "TestSupport.h"
#include "fixtures/FakeWebService.h"

namespace vantorel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Exists;
using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

const char *const kIndex = R"(<?xml version="1.0"?>
<logodirectory>
  <logodirnode nodekind="folder" nodename="Pets" frameleft="-1" frametop="-1" framewidth="-1" frameheight="-1"
    phonemakeid="-1" phonemodelid="-1" logowidth="128" logoheight="128" fitkind="bigger" keepproportions="yes" uploadurl="">
    <logodirnode nodekind="logo" nodename="cat.jpg" frameleft="1" frametop="2" framewidth="30" frameheight="40"
      phonemakeid="0" phonemodelid="3" logowidth="96" logoheight="65" fitkind="width" keepproportions="no" uploadurl="http://wap/x"/>
  </logodirnode>
</logodirectory>
)";

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(FRun.Path());
        FSavedRuntimeDir = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(FRun.Path()));
        fs::copy_file(VANTOREL_EXE, Folder() + "vantorel");
        fs::copy_file(std::string(VANTOREL_DATA_DIR) + "/phoneslist.xml", Folder() + "phoneslist.xml");
        WriteFile(Folder() + "Logo Directory/Pets/cat.jpg", "not really a picture");
        WriteFile(Folder() + "logodirectory.xml", kIndex);
        WriteFile(Folder() + "appstate.xml", R"(<appstate><activenodepath value="Pets/cat.jpg"/></appstate>)");
        // The service is a fake on this machine; it names our own version, so no dialog opens.
        WriteFile(Folder() + "parameters.xml", "<parameters><uploadhost value=\"" + FService.HostPort() +
                                                   "\"/><sendmailhost value=\"" + FService.HostPort() +
                                                   "\"/></parameters>");
        SetVersionReply(false);
    }

    void SetVersionReply(bool hold)
    {
        test::TScriptedReply reply;
        reply.Body = "1.1.4";
        reply.Hold = hold;
        FService.SetReply("/curversion.php", reply);
    }

    void TearDown() override
    {
        for (QProcess *p : FProcesses) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
            delete p;
        }
        qputenv("XDG_RUNTIME_DIR", FSavedRuntimeDir);
    }

    std::string Folder() const { return FProgram.Path(); }

    // On the X server of display when one is given.
    QProcess *Start(const QStringList &arguments = {}, const QString &display = {})
    {
        auto *process = new QProcess;
        FProcesses.push_back(process);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), display.isEmpty() ? QStringLiteral("offscreen") : "xcb");
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(FRun.Path()));
        // The registration of every start, and the automation object, stay inside the test.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(FRun.Path() + "config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(FRun.Path() + "data"));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   QString::fromStdString("unix:path=" + FRun.Path() + "no-bus"));
        env.remove(QStringLiteral("http_proxy"));
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(QString::fromStdString(Folder() + "vantorel"), arguments);
        EXPECT_TRUE(process->waitForStarted(10000));
        return process;
    }

    // An X server of its own, so that the program's windows are real ones; empty when it failed.
    QString StartXServer()
    {
        auto *server = FXServer = new QProcess;
        FProcesses.push_back(server);
        server->start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                               QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        while (!server->canReadLine())
            if (!server->waitForReadyRead(10000))
                return {};
        return ":" + QString::fromLatin1(server->readLine().trimmed());
    }

    // The window answers a request to come to the front once its message loop runs.
    static bool WaitForWindow(QProcess *process)
    {
        for (int attempt = 0; attempt < 300 && process->state() == QProcess::Running; ++attempt) {
            QLocalSocket socket;
            socket.connectToServer(TInstanceChannel::SocketPath(QStringLiteral("Vantorel")));
            if (socket.waitForConnected(200)) {
                socket.write("FOREGROUND\n");
                socket.flush();
                while (!socket.canReadLine() && socket.waitForReadyRead(2000)) {
                }
                if (socket.readLine().trimmed() == "OK")
                    return true;
            }
            QThread::msleep(50);
        }
        return false;
    }

    static void EndOrderly(QProcess *process, int signal)
    {
        ::kill(static_cast<pid_t>(process->processId()), signal);
        ASSERT_TRUE(process->waitForFinished(20000));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), 0);
    }

    bool AnyFileWritten() const
    {
        return Exists(Folder() + "options.xml") || ReadFile(Folder() + "logodirectory.xml") != kIndex ||
               ReadFile(Folder() + "appstate.xml").find("<appstate><activenodepath") != 0;
    }

    TTempDir FProgram;
    TTempDir FRun;
    QByteArray FSavedRuntimeDir;
    test::TFakeWebService FService;
    std::vector<QProcess *> FProcesses;
    QProcess *FXServer = nullptr;
};

// Names of the files written in a folder, in the order it happened.
class TWriteOrder {
public:
    explicit TWriteOrder(const std::string &folder) : FFd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        inotify_add_watch(FFd, folder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    ~TWriteOrder() { ::close(FFd); }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        alignas(inotify_event) char buffer[8192];
        for (ssize_t n; (n = ::read(FFd, buffer, sizeof buffer)) > 0;) {
            for (char *p = buffer; p < buffer + n;) {
                auto *event = reinterpret_cast<inotify_event *>(p);
                // Files renamed into place, and the copies of damaged files (written in place).
                const std::string name = event->len ? event->name : "";
                const bool copy = name.size() > 8 && name.compare(name.size() - 8, 8, ".damaged") == 0;
                if (!name.empty() && ((event->mask & IN_MOVED_TO) || copy))
                    names.push_back(name);
                p += sizeof(inotify_event) + event->len;
            }
        }
        return names;
    }

private:
    int FFd;
};

TEST_F(Startup, TerminationWritesStateOptionsAndIndexInThatOrder)
{
    QProcess *program = Start();
    ASSERT_TRUE(WaitForWindow(program));
    TWriteOrder order(Folder());
    EndOrderly(program, SIGTERM);

    EXPECT_EQ(order.Names(), (std::vector<std::string>{"appstate.xml", "options.xml", "logodirectory.xml"}));

    // The selection restored at the first activation is the one written back.
    EXPECT_NE(ReadFile(Folder() + "appstate.xml").find(R"(<activenodepath value="Pets/cat.jpg")"), std::string::npos);
    const std::string options = ReadFile(Folder() + "options.xml");
    EXPECT_NE(options.find(R"(<login value="")"), std::string::npos);
    EXPECT_NE(options.find(R"(<jpegquality value="90")"), std::string::npos);
    EXPECT_NE(options.find(R"(<checknewversion value="yes")"), std::string::npos);
    const std::string index = ReadFile(Folder() + "logodirectory.xml");
    EXPECT_NE(index.find(R"(nodename="Pets")"), std::string::npos);
    EXPECT_NE(index.find(R"(nodename="cat.jpg" frameleft="1" frametop="2" framewidth="30" frameheight="40")"),
              std::string::npos);
    EXPECT_NE(index.find(R"(uploadurl="http://wap/x")"), std::string::npos);
}

TEST_F(Startup, InterruptEndsTheProgramTheSameOrderlyWay)
{
    QProcess *program = Start();
    ASSERT_TRUE(WaitForWindow(program));
    EndOrderly(program, SIGINT);
    EXPECT_TRUE(Exists(Folder() + "options.xml"));
    EXPECT_NE(ReadFile(Folder() + "logodirectory.xml"), kIndex);
}

TEST_F(Startup, TerminationWhileAStartUpBoxIsOpenStillEndsInOrder)
{
    // A damaged options file makes start-up show its box; the window answers its channel from
    // the box's loop.
    WriteFile(Folder() + "options.xml", "<options><login value=");
    QProcess *program = Start();
    ASSERT_TRUE(WaitForWindow(program));
    TWriteOrder order(Folder());
    EndOrderly(program, SIGTERM);
    EXPECT_EQ(order.Names(),
              (std::vector<std::string>{"appstate.xml", "options.xml.damaged", "options.xml", "logodirectory.xml"}));
}

TEST_F(Startup, SecondInstanceEndsWithoutWritingAnyFile)
{
    QProcess *first = Start();
    ASSERT_TRUE(WaitForWindow(first));

    QProcess *second = Start();
    ASSERT_TRUE(second->waitForFinished(20000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_FALSE(AnyFileWritten());

    // The first one still runs and still answers for the title.
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_TRUE(WaitForWindow(first));
    EndOrderly(first, SIGTERM);
    EXPECT_TRUE(Exists(Folder() + "options.xml"));
}

TEST_F(Startup, SecondInstanceEndsAtOnceWhileItsVersionCheckWaits)
{
    SetVersionReply(true);
    QProcess *first = Start();
    ASSERT_TRUE(WaitForWindow(first));
    ASSERT_TRUE(FService.WaitForRequests(1, 10s));

    // Its check never gets an answer. Whether its request left before the quit was taken is up to
    // the threads: the instance waits for neither the request nor the answer.
    QProcess *second = Start();
    ASSERT_TRUE(second->waitForFinished(20000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_FALSE(AnyFileWritten());
    for (const auto &request : FService.Requests())
        EXPECT_EQ(request.Path, "/curversion.php");

    // The first one ends the orderly way although its check still waits too.
    EndOrderly(first, SIGTERM);
    EXPECT_TRUE(Exists(Folder() + "options.xml"));
}

TEST_F(Startup, AProgramWhoseDisplayGoesAwayWhileAnExchangeWaitsEnds)
{
    // A log-out: the X server ends while the version check waits on a silent service.
    SetVersionReply(true);
    const QString display = StartXServer();
    ASSERT_FALSE(display.isEmpty()) << "the X server names its display";
    QProcess *program = Start({}, display);
    ASSERT_TRUE(WaitForWindow(program));
    ASSERT_TRUE(FService.WaitForRequests(1, 10s));

    FXServer->terminate();
    EXPECT_TRUE(program->waitForFinished(5000));
}

TEST_F(Startup, SecondInstanceEndsOnceItsStartUpBoxIsAnsweredOrTerminated)
{
    QProcess *first = Start();
    ASSERT_TRUE(WaitForWindow(first));
    // The second one's start-up shows a box: its loop runs before the program's own.
    WriteFile(Folder() + "options.xml", "<options><login value=");
    TWriteOrder order(Folder());
    const QString display = StartXServer();
    ASSERT_FALSE(display.isEmpty()) << "the X server names its display";

    for (const bool answered : {true, false}) {
        QProcess *second = Start({}, display);
        // Once the box is shown, a user answers it, or the session ends.
        auto *user = new QProcess;
        FProcesses.push_back(user);
        user->setEnvironment(QProcess::systemEnvironment() << "DISPLAY=" + display);
        QStringList arguments{"search", "--sync", "--onlyvisible", "--name", "^Error$"};
        if (answered)
            arguments << QStringList{"windowfocus", "--sync", "key", "Return"};
        user->start(QStringLiteral("xdotool"), arguments);
        ASSERT_TRUE(user->waitForFinished(20000)) << "no box shown";
        if (!answered)
            ::kill(static_cast<pid_t>(second->processId()), SIGTERM);

        ASSERT_TRUE(second->waitForFinished(20000)) << (answered ? "answered" : "terminated");
        EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second->exitCode(), 0);
    }
    EXPECT_EQ(order.Names(), std::vector<std::string>{});
}

TEST_F(Startup, SecondInstanceAsksTheRunningOneToComeToTheFront)
{
    // Stand in for the running instance and listen to what the new one asks.
    QLocalServer running;
    ASSERT_TRUE(running.listen(TInstanceChannel::SocketPath(QStringLiteral("Vantorel"))));
    QProcess *second = Start();
    ASSERT_TRUE(running.waitForNewConnection(20000));
    QLocalSocket *socket = running.nextPendingConnection();
    while (!socket->canReadLine() && socket->waitForReadyRead(5000)) {
    }
    EXPECT_EQ(socket->readLine().trimmed(), "FOREGROUND");
    socket->write("OK\n");
    socket->flush();

    ASSERT_TRUE(second->waitForFinished(20000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_FALSE(AnyFileWritten());
}

TEST_F(Startup, RegistrationSwitchesEndBeforeAnyWindow)
{
    for (const char *sw : {"/REGSERVER", "-unregserver"}) {
        QProcess *program = Start({QString::fromLatin1(sw)});
        ASSERT_TRUE(program->waitForFinished(20000)) << sw;
        EXPECT_EQ(program->exitCode(), 0) << sw;
        EXPECT_FALSE(Exists(FRun.Path() + "vantorel-" + std::to_string(::getuid()) + "-Vantorel")) << sw;
        EXPECT_FALSE(AnyFileWritten()) << sw;
    }
}

} // namespace
} // namespace vantorel
