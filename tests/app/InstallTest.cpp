// Installs this build into a temporary prefix and runs the installed program as a user would, with
// a data folder of its own.
#include <csignal>
#include <filesystem>
#include <set>
#include <string>

#include <QImage>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include "ProgramFolder.h"
#include "ServerRegistration.h"
#include "TestSupport.h"
#include "fixtures/LoopbackPort.h"

namespace vantorel {
namespace {

namespace fs = std::filesystem;
using test::Exists;
using test::ReadFile;

class Install : public ::testing::Test {
protected:
    void SetUp() override
    {
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(VANTOREL_CMAKE), {QStringLiteral("--install"), QStringLiteral(VANTOREL_BUILD_DIR),
                                                       QStringLiteral("--prefix"), QString::fromStdString(Prefix())});
        ASSERT_TRUE(install.waitForFinished(120000));
        ASSERT_EQ(install.exitCode(), 0) << install.readAll().toStdString();
    }

    std::string Prefix() const { return FPrefix.Path(); }
    std::string ProgramFolder() const { return FUser / "data/vantorel/"; }

    // Starts the installed program with a fresh XDG_DATA_HOME and nothing that reaches outside the
    // test (no session bus, a proxy where nothing listens), and ends it the way a session does once
    // it has made its folder (by then it takes the signal). A start-up box gives way to the signal.
    void RunInstalledProgram()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto &[name, value] :
             {std::pair<const char *, std::string>{"QT_QPA_PLATFORM", "offscreen"},
              {"HOME", FUser / "home"},
              {"XDG_DATA_HOME", FUser / "data"},
              {"XDG_CONFIG_HOME", FUser / "config"},
              {"XDG_RUNTIME_DIR", FUser.Path()},
              {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + FUser / "no-bus"},
              {"http_proxy", "http://127.0.0.1:" + std::to_string(test::DeadLoopbackPort())}})
            env.insert(QString::fromLatin1(name), QString::fromStdString(value));
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QString::fromStdString(Prefix() + "bin/vantorel"));
        ASSERT_TRUE(program.waitForStarted(10000));
        for (int i = 0; i < 400 && !fs::is_directory(ProgramFolder()) && program.state() == QProcess::Running; ++i)
            QThread::msleep(50);
        ASSERT_TRUE(fs::is_directory(ProgramFolder())) << "made on the first start";
        // Its handler is in place before the folder is made: one request to end is enough, and a
        // second during a slow shut-down would find the default handler back.
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        program.waitForFinished(20000);
        ASSERT_EQ(program.state(), QProcess::NotRunning);
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
    }

    test::TTempDir FPrefix;
    test::TTempDir FUser;
};

TEST_F(Install, PlacesTheProgramItsDataAndItsDesktopFiles)
{
    const std::string data = VANTOREL_DATA_DIR;
    const std::pair<std::string, std::string> files[] = {
        {"share/vantorel/phoneslist.xml", ReadFile(data + "/phoneslist.xml")},
        {"share/vantorel/vantorelhelp.hlp", ReadFile(data + "/vantorelhelp.hlp")},
        // Lets the bus start the program for a user who never started it.
        {"share/dbus-1/services/example.vantorel.Vantorel.service", ServiceFileText(Prefix() + "bin/vantorel")},
        {"share/applications/vantorel.desktop", ReadFile(data + "/../resources/vantorel.desktop")},
        // Lets a running program take a hand-over for a user who never registered it.
        {"etc/xdg/vantorel/registry", "[Software/Vantorel/Vantorel]\nAppPath=" + Prefix() + "bin\n"},
    };
    for (const auto &[path, content] : files)
        EXPECT_EQ(ReadFile(Prefix() + path), content) << path;
    EXPECT_TRUE(Exists(Prefix() + "share/dbus-1/interfaces/example.vantorel.IVantorelPI.xml"));
    // Where the installed program looks for its source manager, which starts the helper beside it.
    for (const char *file : {"TWAIN_32.DLL", "vantorel-sane-helper"})
        EXPECT_TRUE(Exists(InstalledLibraryFolder(Prefix() + "bin/") + file)) << file;
    // The executable's folder holds the executable alone.
    EXPECT_EQ(std::distance(fs::directory_iterator(Prefix() + "bin"), fs::directory_iterator()), 1);
    for (const int side : {16, 32, 48, 64, 128, 256}) {
        const std::string icon = "share/icons/hicolor/" + std::to_string(side) + "x" + std::to_string(side) + "/apps/";
        EXPECT_EQ(QImage(QString::fromStdString(Prefix() + icon + "vantorel.png")).size(), QSize(side, side)) << icon;
    }
}

TEST_F(Install, TheInstalledProgramKeepsItsLibraryInTheUsersDataFolder)
{
    struct TCase {
        const char *Description;
        bool RemoveCatalogue; // from the installation's data folder
        bool LibraryWritten;
    };
    const TCase cases[] = {
        {"the catalogue read from the installation", false, true},
        // Start-up then fails with its error and the program ends writing nothing: this shows
        // that the first case did read the installed catalogue.
        {"no catalogue installed", true, false},
    };
    for (const TCase &c : cases) {
        fs::remove_all(FUser / "data");
        if (c.RemoveCatalogue)
            fs::remove(Prefix() + "share/vantorel/phoneslist.xml");
        std::set<fs::path> installed(fs::recursive_directory_iterator(Prefix()), {});
        RunInstalledProgram();
        for (const char *file : {"logodirectory.xml", "options.xml", "appstate.xml"})
            EXPECT_EQ(Exists(ProgramFolder() + file), c.LibraryWritten) << c.Description << ": " << file;
        EXPECT_FALSE(Exists(ProgramFolder() + "phoneslist.xml")) << c.Description;
        EXPECT_EQ(std::set<fs::path>(fs::recursive_directory_iterator(Prefix()), {}), installed)
            << c.Description << ": the installation is left as it was";
    }
}

} // namespace
} // namespace vantorel
