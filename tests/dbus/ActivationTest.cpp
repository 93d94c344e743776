// The built program and the bus: the registration switches, the registration at every start, and
// a program that no one runs started by D-Bus activation when a client hands over a picture.
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QLocalSocket>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include "ImageCodecs.h"
#include "InstanceChannel.h"
#include "Registry.h"
#include "TestSupport.h"
#include "VantorelPI.h"
#include "fixtures/FakeWebService.h"

namespace vantorel {
namespace {

namespace fs = std::filesystem;
using test::TTempDir;

class ActivationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::copy_file(VANTOREL_EXE, Exe());
        fs::copy_file(std::string(VANTOREL_DATA_DIR) + "/phoneslist.xml", FProgram / "phoneslist.xml");
        test::WriteFile(FProgram / "options.xml",
                        R"(<options><proxysource value="noproxy"/><checknewversion value="no"/></options>)");
        test::WriteFile(FProgram / "parameters.xml", "<parameters><uploadhost value=\"" + FService.HostPort() +
                                                         "\"/><sendmailhost value=\"" + FService.HostPort() +
                                                         "\"/></parameters>");
        TBitmap picture(40, 30);
        WritePNG(picture, FWork / "sunset.png");
        test::TScriptedReply reply;
        reply.Body = test::ReadFile(FWork / "sunset.png");
        FService.SetReply("/pics/sunset.png", reply);
    }
    void TearDown() override
    {
        // Whatever a failed test left running goes, or it would hold the test's output open.
        for (const pid_t pid : ProgramPids())
            ::kill(pid, SIGKILL);
    }

    std::string Exe() const { return FProgram / "vantorel"; }
    static std::string ServiceFile()
    {
        return qgetenv("XDG_DATA_HOME").toStdString() + "/dbus-1/services/example.vantorel.Vantorel.service";
    }
    std::string ExpectedServiceFile() const
    {
        return "[D-BUS Service]\nName=example.vantorel.Vantorel\nExec=\"" + Exe() + "\" -AUTOMATION\n";
    }
    static std::string AppPath()
    {
        TRegistry registry;
        return registry.OpenKey(kProgramKey, false) ? registry.ReadString(kAppPathValue) : "<no key>";
    }

    // Runs the program to its end; extraEnvironment: variables set for this run only.
    int Run(const QStringList &arguments, const QProcessEnvironment &extraEnvironment = {})
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &name : extraEnvironment.keys())
            env.insert(name, extraEnvironment.value(name));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QString::fromStdString(Exe()), arguments);
        EXPECT_TRUE(process.waitForFinished(20000));
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // The processes that run our copy of the program, whoever started them.
    std::vector<pid_t> ProgramPids() const
    {
        std::vector<pid_t> pids;
        std::error_code ec;
        for (const auto &entry : fs::directory_iterator("/proc", ec)) {
            const std::string name = entry.path().filename();
            if (name.find_first_not_of("0123456789") != std::string::npos)
                continue;
            if (fs::read_symlink(entry.path() / "exe", ec).string() == Exe())
                pids.push_back(static_cast<pid_t>(std::stoi(name)));
        }
        return pids;
    }
    static bool Alive(pid_t pid) { return ::kill(pid, 0) == 0; }
    static bool WindowAnswers()
    {
        QLocalSocket socket;
        socket.connectToServer(TInstanceChannel::SocketPath(QStringLiteral("Vantorel")));
        return socket.waitForConnected(200);
    }

    TTempDir FProgram;
    TTempDir FWork;
    test::TFakeWebService FService;
};

TEST_F(ActivationTest, TheSwitchesWriteAndRemoveTheActivationFileAndTheKey)
{
    struct TCase {
        const char *Description;
        QString Switch;
        bool DataBlocked; // XDG_DATA_HOME lies below a plain file
        bool Succeeds;
        bool Registered;
    };
    const std::vector<TCase> cases = {
        {"registering", QStringLiteral("-REGSERVER"), false, true, true},
        {"unregistering", QStringLiteral("/unregserver"), false, true, false},
        {"unregistering what is gone", QStringLiteral("-UnRegServer"), false, true, false},
        {"an unwritable data folder", QStringLiteral("/RegServer"), true, false, false},
    };
    test::WriteFile(FWork / "file", "not a folder");
    const std::string folder = FProgram.Path().substr(0, FProgram.Path().size() - 1);
    for (const TCase &c : cases) {
        QProcessEnvironment env;
        if (c.DataBlocked)
            env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(FWork / "file/data"));
        const int exitCode = Run({c.Switch}, env);
        EXPECT_EQ(exitCode == 0, c.Succeeds) << c.Description << ": " << exitCode;
        EXPECT_EQ(test::ReadFile(ServiceFile()), c.Registered ? ExpectedServiceFile() : "") << c.Description;
        EXPECT_EQ(AppPath(), c.Registered ? folder : "<no key>") << c.Description;
        EXPECT_FALSE(WindowAnswers()) << c.Description;
    }
}

TEST_F(ActivationTest, EveryStartRenewsAnActivationFileThatDiffers)
{
    test::WriteFile(ServiceFile(), "[D-BUS Service]\nName=example.vantorel.Vantorel\nExec=/old/vantorel\n");
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QString::fromStdString(Exe()), {});
    ASSERT_TRUE(QTest::qWaitFor([] { return WindowAnswers(); }, 20000));
    EXPECT_EQ(test::ReadFile(ServiceFile()), ExpectedServiceFile());
    EXPECT_EQ(AppPath(), "<no key>"); // the key is the installation's, made by "REGSERVER" only
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    EXPECT_TRUE(program.waitForFinished(20000));
}

TEST_F(ActivationTest, ACallStartsTheProgramThroughTheBusAndThePictureArrives)
{
    ASSERT_EQ(Run({QStringLiteral("-REGSERVER")}), 0);
    ASSERT_TRUE(ProgramPids().empty());

    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kAutomationBusName), QString::fromLatin1(kAutomationObjectPath),
        QString::fromLatin1(kAutomationInterface), QStringLiteral("AddImageURL"));
    call.setArguments({QString::fromStdString(FService.Url("/pics/sunset.png"))});
    QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(call, 25000);
    ASSERT_TRUE(QTest::qWaitFor([&pending] { return pending.isFinished(); }, 25000));
    EXPECT_FALSE(pending.isError()) << pending.error().message().toStdString();

    const std::string logo = FProgram / "Logo Directory/sunset.png";
    ASSERT_TRUE(QTest::qWaitFor([&logo] { return test::Exists(logo); }, 20000));
    const std::vector<pid_t> pids = ProgramPids();
    ASSERT_EQ(pids.size(), 1u);
    const pid_t pid = pids[0];
    EXPECT_EQ(QDBusConnection::sessionBus().interface()->servicePid(QString::fromLatin1(kAutomationBusName)).value(),
              static_cast<uint>(pid));

    // Its caller is long gone; the program lives on like any other start.
    QTest::qWait(3000);
    EXPECT_TRUE(Alive(pid));
    EXPECT_EQ(ProgramPids().size(), 1u);
    EXPECT_EQ(FService.RequestCount(), 1u);

    // It ends the orderly way, and the new logo is in the index it writes.
    ::kill(pid, SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([pid] { return !Alive(pid); }, 20000));
    EXPECT_NE(test::ReadFile(FProgram / "logodirectory.xml").find("nodename=\"sunset.png\""), std::string::npos);
}

} // namespace
} // namespace vantorel
