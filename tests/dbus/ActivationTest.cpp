// The built program and the bus: the registration switches, and a program that no one runs
// started by D-Bus activation when a client hands over a picture.
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include "ImageCodecs.h"
#include "LogoIndexFile.h"
#include "Registry.h"
#include "TestSupport.h"
#include "VantorelPI.h"
#include "fixtures/FakeWebService.h"

namespace vantorel {
namespace {

namespace fs = std::filesystem;

class ActivationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::copy_file(VANTOREL_EXE, Exe());
        fs::copy_file(std::string(VANTOREL_DATA_DIR) + "/phoneslist.xml", FProgram / "phoneslist.xml");
        test::WriteFile(FProgram / "options.xml",
                        R"(<options><proxysource value="noproxy"/><checknewversion value="no"/></options>)");
        WritePNG(TBitmap(40, 30), FWork / "sunset.png");
        test::TScriptedReply picture;
        picture.Body = test::ReadFile(FWork / "sunset.png");
        FService.SetReply("/pics/sunset.png", picture);
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
    int Run(const QString &argument, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        QProcess process;
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QString::fromStdString(Exe()), {argument});
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
            if (name.find_first_not_of("0123456789") == std::string::npos &&
                fs::read_symlink(entry.path() / "exe", ec) == Exe())
                pids.push_back(static_cast<pid_t>(std::stoi(name)));
        }
        return pids;
    }

    // Hands the picture's address over through the bus as a client does.
    void HandOver()
    {
        QDBusMessage call = QDBusMessage::createMethodCall(kAutomationBusName, kAutomationObjectPath,
                                                           kAutomationInterface, QStringLiteral("AddImageURL"));
        call.setArguments({QString::fromStdString(FService.Url("/pics/sunset.png"))});
        QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(call, 25000);
        ASSERT_TRUE(QTest::qWaitFor([&pending] { return pending.isFinished(); }, 25000));
        ASSERT_FALSE(pending.isError()) << pending.error().message().toStdString();
    }

    test::TTempDir FProgram;
    test::TTempDir FWork;
    test::TFakeWebService FService;
};

TEST_F(ActivationTest, TheSwitchesWriteAndRemoveTheActivationFileAndTheKey)
{
    struct TCase {
        const char *Switch;
        bool DataBlocked; // XDG_DATA_HOME lies below a plain file
        bool Succeeds;
        bool Registered;
    };
    const std::vector<TCase> cases = {
        {"-REGSERVER", false, true, true},
        {"/unregserver", false, true, false},
        {"-UnRegServer", false, true, false}, // nothing left to remove
        {"/RegServer", true, false, false},
    };
    test::WriteFile(FWork / "file", "not a folder");
    for (const TCase &c : cases) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (c.DataBlocked)
            env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(FWork / "file/data"));
        EXPECT_EQ(Run(QString::fromLatin1(c.Switch), env) == 0, c.Succeeds) << c.Switch;
        EXPECT_EQ(test::ReadFile(ServiceFile()), c.Registered ? ExpectedServiceFile() : "") << c.Switch;
        EXPECT_EQ(AppPath(), c.Registered ? FProgram.Path().substr(0, FProgram.Path().size() - 1) : "<no key>")
            << c.Switch;
    }
    EXPECT_TRUE(ProgramPids().empty()); // no switch left a program running
}

TEST_F(ActivationTest, ACallStartsTheProgramThroughTheBusAndItLivesOn)
{
    ASSERT_EQ(Run(QStringLiteral("-REGSERVER")), 0);
    // A file that differs still starts the program, which renews it at its start.
    test::WriteFile(ServiceFile(), test::ReadFile(ServiceFile()) + "# outdated\n");

    ASSERT_NO_FATAL_FAILURE(HandOver());
    ASSERT_TRUE(QTest::qWaitFor([this] { return test::Exists(FProgram / "Logo Directory/sunset.png"); }, 20000));
    EXPECT_EQ(test::ReadFile(ServiceFile()), ExpectedServiceFile());

    // One process, still running when its caller is long gone.
    const std::vector<pid_t> pids = ProgramPids();
    ASSERT_EQ(pids.size(), 1u);
    EXPECT_EQ(QDBusConnection::sessionBus().interface()->servicePid(kAutomationBusName).value(),
              static_cast<uint>(pids[0]));
    QTest::qWait(3000);
    EXPECT_EQ(ProgramPids(), pids);
    EXPECT_EQ(FService.RequestCount(), 1u);

    // It ends the orderly way, and the new logo is in the index it writes.
    ::kill(pids[0], SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([this] { return ProgramPids().empty(); }, 20000));
    EXPECT_NE(test::ReadFile(FProgram / "logodirectory.xml").find("nodename=\"sunset.png\""), std::string::npos);
}

// The index follows the tree while the program runs: a logo handed over is in the tree of the
// next start even when the program was killed rather than ended.
TEST_F(ActivationTest, AHandedOverPictureOutlivesAKill)
{
    ASSERT_EQ(Run(QStringLiteral("-REGSERVER")), 0);
    // The second waits for the first: one address is pending at a time.
    for (const char *logo : {"sunset.png", "sunset2.png"}) {
        ASSERT_NO_FATAL_FAILURE(HandOver());
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return test::Exists(FProgram / ("Logo Directory/" + std::string(logo))); }, 20000));
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return test::ReadFile(FProgram / "logodirectory.xml").find("sunset2.png") != std::string::npos; },
        10000));
    for (const pid_t pid : ProgramPids())
        ::kill(pid, SIGKILL);
    ASSERT_TRUE(QTest::qWaitFor([this] { return ProgramPids().empty(); }, 10000));

    TLogoTree tree(FProgram.Path());
    tree.CreateRootNode();
    TXMLSource xml;
    TScriptedPromptService prompts;
    ASSERT_TRUE(LoadLogoDirectory(tree, xml, prompts));
    ASSERT_EQ(tree.Root()->Count(), 2);
    EXPECT_EQ(tree.Root()->Item(0)->Text(), "sunset.png");
    EXPECT_EQ(tree.Root()->Item(1)->Text(), "sunset2.png");
}

} // namespace
} // namespace vantorel
