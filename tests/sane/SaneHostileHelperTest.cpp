// The manager against a helper that misbehaves (FakeSaneHelper.cpp): what the helper sends is
// checked like a file from the web, a helper gone is replaced, and nothing it forks outlives it.
#include <chrono>
#include <csignal>
#include <fstream>

#include <sys/stat.h>

#include "SaneTestSupport.h"
#include "net/NetTestSupport.h"

namespace vantorel::test {
namespace {

using namespace std::chrono_literals;

// Whether the process has ended (a zombie has).
bool Gone(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    return !std::getline(stat, line) || line[line.rfind(") ") + 2] == 'Z';
}

class SaneHostileHelperTest : public TSaneTestBase {
protected:
    void SetUp() override
    {
        TSaneTestBase::SetUp();
        std::filesystem::copy_file(FAKE_SANE_HELPER, Helper, std::filesystem::copy_options::overwrite_existing);
    }
    void Behave(const std::string &behaviours)
    {
        WriteFile(Folder / "behaviours", behaviours);
        std::filesystem::remove(Log);
    }
    // The processes the fake helpers logged, of one kind ("helper", "sleeper") or all, in order.
    std::vector<pid_t> Logged(const std::string &kind = {}) const
    {
        std::vector<pid_t> pids;
        std::ifstream in(Log);
        for (std::string what, pid; in >> what >> pid;)
            if (kind.empty() || what == kind)
                pids.push_back(std::stoi(pid));
        return pids;
    }
    // Whether every process a fake helper logged has ended.
    bool AllGone() const
    {
        const std::vector<pid_t> pids = Logged();
        return std::all_of(pids.begin(), pids.end(), Gone);
    }

    const std::string Helper = Folder / "vantorel-sane-helper";
    const std::string Log = Folder / "helpers.log";
    QString Error;
    TStep ErrorShown = [this](QDialog *dialog) {
        Error = dialog->findChild<QLabel *>("MessageLabel")->text();
        return Error.startsWith("Scanning failed") && dialog->findChild<QPushButton *>("ScanButton")->isEnabled();
    };
};

TEST_F(SaneHostileHelperTest, WhatTheHelperSendsIsCheckedAndNothingOfItStaysBehind)
{
    const char *const broken = "Scanning failed: Error during device I/O";
    const struct {
        const char *Description;
        const char *Behaviours; // of the first helper, the second, ...
        int Rows;               // of the picture; 0: the scan fails with the error
        const char *Error;
        bool WaitForFirstHelperToEnd = false;
    } cases[] = {
        {"an idle without an end", "idle-without-end", 0, broken},
        {"rows after the end", "data-after-end", 0, broken},
        {"a good end after a failed one", "two-ends", 0, broken},
        {"lines far longer than their pixels need", "wide-lines", 0, "Scanning failed: Invalid argument"},
        {"rows past the announced count", "rows-past-count", 2, nullptr},
        {"a status SANE does not have", "unknown-status", 0, broken},
        {"a frame format SANE does not have", "unknown-format", 0, "Scanning failed: Operation not supported"},
        {"a helper that forked a process", "sleeper", 2, nullptr},
        {"a helper that ends mid-scan while its forked process holds the socket", "sleeper-quit-mid-scan", 0, broken},
        {"a helper that ended while the dialog waited", "quit-after-open,normal", 2, nullptr, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Description);
        Behave(c.Behaviours);
        Error.clear();
        std::vector<TStep> steps{PressScan};
        if (c.WaitForFirstHelperToEnd)
            steps.insert(steps.begin(), [this](QDialog *) { return Gone(Logged("helper").at(0)); });
        if (c.Rows == 0)
            steps.insert(steps.end(), {ErrorShown, PressCancel});
        TW_HANDLE dib = Acquire(0, steps);
        EXPECT_EQ(TWAIN_DibHeight(dib), c.Rows);
        EXPECT_EQ(Error.toStdString(), c.Error ? c.Error : "");
        TWAIN_FreeNative(dib);
        EXPECT_TRUE(ProcessEventsUntil([this] { return AllGone(); }, 2000));
    }
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(SaneHostileHelperTest, WhatTheHelperForkedEndsWithItAlsoWhenItIsKilled)
{
    // As when the program itself is killed: the helper dies of SIGKILL, and the manager has not
    // yet noticed.
    Behave("sleeper");
    bool goneWhileOpen = false;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    EXPECT_EQ(Acquire(0, {[this](QDialog *) { return ::kill(Logged("helper").at(0), SIGKILL) == 0; },
                          [&](QDialog *) {
                              goneWhileOpen = Gone(Logged("sleeper").at(0));
                              return goneWhileOpen || std::chrono::steady_clock::now() > deadline;
                          },
                          PressCancel}),
              nullptr);
    EXPECT_TRUE(goneWhileOpen);
}

TEST_F(SaneHostileHelperTest, CancelEndsAHelperStoppedInTheMiddleOfAMessageWithinTheCancelTime)
{
    Behave("stall-mid-message");
    std::chrono::steady_clock::time_point pressed;
    const auto scanned = std::chrono::steady_clock::now();
    Acquire(0, {PressScan, [&](QDialog *dialog) {
                    // The half message is on its way by now.
                    if (std::chrono::steady_clock::now() - scanned < 500ms)
                        return false;
                    pressed = std::chrono::steady_clock::now();
                    return PressCancel(dialog);
                }});
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, 3500ms); // the cancel time is two seconds
    EXPECT_TRUE(AllGone());
}

TEST_F(SaneHostileHelperTest, AHelperThatCannotStartIsLoggedWithTheReason)
{
    const struct {
        const char *Description;
        std::function<void()> Install;
        QString Reason;
    } cases[] = {
        // Each spoils the helper further.
        {"ending at once", [&] { WriteFile(Helper, "#!/bin/sh\nexit 3\n"); }, "ended with exit status 3"},
        {"not executable", [&] { ::chmod(Helper.c_str(), 0644); }, "could not be started: Permission denied"},
        {"missing", [&] { std::filesystem::remove(Helper); }, "could not be started: No such file or directory"},
    };
    static std::vector<QString> messages;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &message) { messages.push_back(message); });
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Description);
        c.Install();
        messages.clear();
        Boxes.clear();
        EXPECT_EQ(TWAIN_AcquireNative(Handle, 0), nullptr);
        EXPECT_EQ(Boxes, std::vector<std::string>{"Unable to open Source Manager (TWAIN_32.DLL)"});
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(messages[0].contains(QString::fromStdString(Helper) + " " + c.Reason)) << messages[0].toStdString();
    }
    qInstallMessageHandler(previous);
}

} // namespace
} // namespace vantorel::test
