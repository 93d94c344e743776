// The built program with our manager in its program folder, ended by SIGTERM while the source's
// dialog is open: it must end the orderly way, writing its files in order and adding no logo.
#include <chrono>
#include <csignal>
#include <thread>

#include <sys/inotify.h>
#include <unistd.h>

#include "fixtures/FakeWebService.h"
#include "sane/SaneTestSupport.h"

namespace vantorel::test {
namespace {

TEST(SaneEndTest, TerminationWhileTheSourceDialogIsOpenEndsTheProgramInOrder)
{
    ConfigureSane();
    TTempDir program, run;
    TFakeWebService service;
    TScriptedReply version;
    version.Body = "1.1.4"; // our own: no dialog opens
    service.SetReply("/curversion.php", version);
    std::filesystem::copy_file(VANTOREL_EXE, program / "vantorel");
    std::filesystem::copy_file(SANE_MANAGER, program / "TWAIN_32.DLL");
    std::filesystem::copy_file(std::string(VANTOREL_DATA_DIR) + "/phoneslist.xml", program / "phoneslist.xml");
    std::filesystem::create_directories(program / "Logo Directory/scans");
    WriteFile(program / "logodirectory.xml",
              R"(<logodirectory><logodirnode nodekind="folder" nodename="scans"/></logodirectory>)");
    WriteFile(program / "parameters.xml", "<parameters><uploadhost value=\"" + service.HostPort() +
                                              "\"/><sendmailhost value=\"" + service.HostPort() + "\"/></parameters>");

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto &[name, value] : {std::pair{"QT_QPA_PLATFORM", std::string("offscreen")},
                                      {"XDG_RUNTIME_DIR", run.Path()},
                                      {"XDG_CONFIG_HOME", run / "config"},
                                      {"XDG_DATA_HOME", run / "data"},
                                      {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + run / "no-bus"},
                                      {"LD_PRELOAD", std::string(IMPORT_CLICKER)},
                                      {"VANTOREL_TEST_DIALOG_SHOWN", run / "shown"}})
        env.insert(name, QString::fromStdString(value));
    env.remove("VANTOREL_WINDOWS_DIR"); // the manager beside the program
    env.remove("http_proxy");
    // A sanitized build wants its runtime first: the helper comes before it here.
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QString::fromStdString(program / "vantorel"), {});
    ASSERT_TRUE(process.waitForStarted(10000));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!std::filesystem::exists(run / "shown") && std::chrono::steady_clock::now() < deadline &&
           process.state() == QProcess::Running)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(std::filesystem::exists(run / "shown")) << "the source's dialog never showed";

    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(watch, program.Path().c_str(), IN_MOVED_TO);
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    std::vector<std::string> renamed; // the files written, in order
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
        for (char *p = buffer; p < buffer + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(p)->len)
            renamed.push_back(reinterpret_cast<inotify_event *>(p)->name);
    ::close(watch);
    EXPECT_EQ(renamed, (std::vector<std::string>{"appstate.xml", "options.xml", "logodirectory.xml"}));
    EXPECT_TRUE(std::filesystem::is_empty(program / "Logo Directory/scans"));
}

} // namespace
} // namespace vantorel::test
