// The built program with our manager in its program folder, ended by SIGTERM while the source's
// dialog is open or after a scan: it must end the orderly way, writing its files in order, with
// the scanned logo in its index and nothing added for a scan not taken.
#include <chrono>
#include <csignal>
#include <thread>

#include <sys/inotify.h>
#include <unistd.h>

#include "fixtures/FakeWebService.h"
#include "sane/SaneTestSupport.h"

namespace vantorel::test {
namespace {

// The program in a program folder of its own, its TWAIN button pressed once it shows, and Scan
// in the source's dialog when asked.
struct TRunningProgram {
    TTempDir Program, Run;
    TFakeWebService Service;
    QProcess Process;

    explicit TRunningProgram(bool pressScan)
    {
        ConfigureSane();
        TScriptedReply version;
        version.Body = "1.1.4"; // our own: no dialog opens
        Service.SetReply("/curversion.php", version);
        std::filesystem::copy_file(VANTOREL_EXE, Program / "vantorel");
        InstallManager(Program.Path());
        std::filesystem::copy_file(std::string(VANTOREL_DATA_DIR) + "/phoneslist.xml", Program / "phoneslist.xml");
        std::filesystem::create_directories(Program / "Logo Directory/scans");
        WriteFile(Program / "logodirectory.xml",
                  R"(<logodirectory><logodirnode nodekind="folder" nodename="scans"/></logodirectory>)");
        WriteFile(Program / "parameters.xml", "<parameters><uploadhost value=\"" + Service.HostPort() +
                                                  "\"/><sendmailhost value=\"" + Service.HostPort() +
                                                  "\"/></parameters>");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto &[name, value] : {std::pair{"QT_QPA_PLATFORM", std::string("offscreen")},
                                          {"XDG_RUNTIME_DIR", Run.Path()},
                                          {"XDG_CONFIG_HOME", Run / "config"},
                                          {"XDG_DATA_HOME", Run / "data"},
                                          {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + Run / "no-bus"},
                                          {"LD_PRELOAD", std::string(IMPORT_CLICKER)},
                                          {"VANTOREL_TEST_DIALOG_SHOWN", Run / "shown"}})
            env.insert(name, QString::fromStdString(value));
        if (pressScan)
            env.insert("VANTOREL_TEST_PRESS_SCAN", "1");
        env.remove("VANTOREL_WINDOWS_DIR"); // the manager beside the program
        env.remove("http_proxy");
        // A sanitized build wants its runtime first: the helper comes before it here.
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
        Process.setProcessEnvironment(env);
        Process.setProcessChannelMode(QProcess::ForwardedChannels);
        Process.start(QString::fromStdString(Program / "vantorel"), {});
        Process.waitForStarted(10000);
    }

    // Waits up to a minute for the file, while the program runs.
    bool WaitFor(const std::filesystem::path &file)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!std::filesystem::exists(file) && std::chrono::steady_clock::now() < deadline &&
               Process.state() == QProcess::Running)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return std::filesystem::exists(file);
    }

    // SIGTERM; the program must end by itself with 0. The files it renamed into place, in order.
    std::vector<std::string> Terminate()
    {
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(watch, Program.Path().c_str(), IN_MOVED_TO);
        ::kill(static_cast<pid_t>(Process.processId()), SIGTERM);
        EXPECT_TRUE(Process.waitForFinished(30000));
        EXPECT_EQ(Process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(Process.exitCode(), 0);
        std::vector<std::string> renamed;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
            for (char *p = buffer; p < buffer + n;
                 p += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(p)->len)
                renamed.push_back(reinterpret_cast<inotify_event *>(p)->name);
        ::close(watch);
        return renamed;
    }
};

const std::vector<std::string> kFilesInOrder = {"appstate.xml", "options.xml", "logodirectory.xml"};

TEST(SaneEndTest, TerminationWhileTheSourceDialogIsOpenEndsTheProgramInOrder)
{
    TRunningProgram program(false);
    ASSERT_TRUE(program.WaitFor(program.Run / "shown")) << "the source's dialog never showed";
    EXPECT_EQ(program.Terminate(), kFilesInOrder);
    EXPECT_TRUE(std::filesystem::is_empty(program.Program / "Logo Directory/scans"));
}

// The scanner's driver may change what the process does on a signal; it runs in the helper, so
// the program still ends the orderly way and its index keeps the scan.
TEST(SaneEndTest, TerminationAfterAScanEndsTheProgramInOrderWithTheNewLogo)
{
    TRunningProgram program(true);
    ASSERT_TRUE(program.WaitFor(program.Program / "Logo Directory/importedimage.jpg"))
        << "the scan never became a logo";
    // The index follows the new logo by itself; only then are the shut-down's writes alone.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ReadFile(program.Program / "logodirectory.xml").find("\"importedimage.jpg\"") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(program.Terminate(), kFilesInOrder);
    EXPECT_NE(ReadFile(program.Program / "logodirectory.xml").find("\"importedimage.jpg\""), std::string::npos);
}

} // namespace
} // namespace vantorel::test
