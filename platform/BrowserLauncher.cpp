#include "BrowserLauncher.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>

#include "ChildProcess.h"
#include "PromptService.h"

extern char **environ;

namespace vantorel {

namespace {

std::string FailureText(const std::string &reason, const std::string &command, const std::string &address)
{
    return reason + " " + command + "\n\nOpen this address in your web browser: " + address;
}

// Why a browser command ended with an error, as a sentence: xdg-open's documented exit statuses
// say what went wrong, any other command only its status.
std::string EndReason(const std::string &command, int status)
{
    if (WIFSIGNALED(status))
        return std::string("The command was ended by a signal (") + ::strsignal(WTERMSIG(status)) + ").";
    const int code = WEXITSTATUS(status);
    static const char *const kXdgOpenReasons[] = {
        "", "Error in the command line syntax", "The address could not be found", "No program to open the address "
        "was found", "Opening the address failed"};
    const bool xdgOpen = command == "xdg-open" || command.ends_with("/xdg-open");
    if (xdgOpen && code >= 1 && code <= 4)
        return std::string(kXdgOpenReasons[code]) + " (exit status " + std::to_string(code) + ").";
    return "The command ended with exit status " + std::to_string(code) + ".";
}

// Watches one started browser command through its process descriptor on the event loop, reaps
// it when it ends and reports an ending with an error. A child of the window that started it.
class TBrowserWatch : public QObject {
public:
    TBrowserWatch(pid_t pid, int pidFd, std::string command, std::string address,
                  std::function<void(const std::string &)> endedWithError, QObject *context)
        : QObject(context), FPid(pid), FPidFd(pidFd), FNotifier(pidFd, QSocketNotifier::Read, this),
          FCommand(std::move(command)), FAddress(std::move(address)), FEndedWithError(std::move(endedWithError))
    {
        connect(&FNotifier, &QSocketNotifier::activated, this, &TBrowserWatch::Ended);
    }
    ~TBrowserWatch() override
    {
        if (FPid > 0)
            ReapInBackground(FPid);
        // The notifier outlives this body: it must not watch a closed, perhaps reused, descriptor.
        FNotifier.setEnabled(false);
        ::close(FPidFd);
    }

private:
    void Ended()
    {
        int status = 0;
        pid_t reaped = 0;
        while ((reaped = ::waitpid(FPid, &status, WNOHANG)) < 0 && errno == EINTR) {
        }
        if (reaped == 0)
            return; // not ended yet
        FNotifier.setEnabled(false);
        FPid = -1;
        std::string reason;
        if (reaped > 0 && ((WIFEXITED(status) && WEXITSTATUS(status) != 0) || WIFSIGNALED(status)))
            reason = EndReason(FCommand, status);
        deleteLater();
        if (reason.empty() || !FEndedWithError)
            return;
        // The report runs a modal box: it comes from the event loop, not from inside this
        // notifier, and only while the window that started the command lives.
        QMetaObject::invokeMethod(
            parent(),
            [report = std::move(FEndedWithError), failure = FailureText(reason, FCommand, FAddress)] {
                report(failure);
            },
            Qt::QueuedConnection);
    }

    pid_t FPid;
    int FPidFd;
    QSocketNotifier FNotifier;
    std::string FCommand;
    std::string FAddress;
    std::function<void(const std::string &)> FEndedWithError;
};

} // namespace

std::string BrowserCommand()
{
    // $BROWSER may list several commands separated by ":"; the first is used.
    const char *browser = std::getenv("BROWSER");
    const std::string first = browser ? std::string(browser).substr(0, std::string(browser).find(':')) : std::string();
    return first.empty() ? "xdg-open" : first;
}

bool LaunchBrowser(const std::string &address, std::string &failure, QObject *context,
                   std::function<void(const std::string &failure)> endedWithError)
{
    const std::string command = BrowserCommand();
    std::string program = command;
    std::string arg = address;
    char *argv[] = {program.data(), arg.data(), nullptr};
    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ);
    if (error != 0) {
        failure = FailureText(std::strerror(error), command, address);
        return false;
    }
    // xdg-open reports a browser it could not run only by its exit status, so the end is
    // watched on the event loop, which the window never waits for.
    const int pidFd = context && QCoreApplication::instance() ? PidFdOpen(pid) : -1;
    if (pidFd < 0)
        ReapInBackground(pid);
    else
        new TBrowserWatch(pid, pidFd, command, address, std::move(endedWithError), context);
    return true;
}

std::function<bool(const std::string &address, std::string &failure)> WindowBrowserStart(QObject &window,
                                                                                         TPromptService &prompts)
{
    return [&window, &prompts](const std::string &address, std::string &failure) {
        return LaunchBrowser(address, failure, &window,
                             [&prompts](const std::string &late) { prompts.ShowError(late); });
    };
}

} // namespace vantorel
