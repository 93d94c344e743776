#include "SaneHelper.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>

#include <dlfcn.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>

#include "ChildProcess.h"
#include "SaneLog.h"
#include "SaneSources.h"

extern char **environ;

namespace vantorel {

namespace {

constexpr int EndingMs = 2000;
// How often a wait for the helper's news looks whether it has ended.
constexpr int LivenessCheckMs = 100;

// Whether the child has ended; it is left to be reaped, so its number names no other process yet.
bool Ended(pid_t pid)
{
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

// Waits up to ms for the child to end, without reaping it.
void WaitForEnd(pid_t pid, int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    const int process = PidFdOpen(pid);
    while (!Ended(pid)) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        if (process >= 0) {
            pollfd ended{process, POLLIN, 0};
            ::poll(&ended, 1, static_cast<int>(left.count()));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (process >= 0)
        ::close(process);
}

// The helper program's path: beside the library that holds this code.
std::string ProgramPath()
{
    Dl_info where{};
    if (!::dladdr(reinterpret_cast<void *>(&ProgramPath), &where) || !where.dli_fname)
        return {};
    const std::string library = where.dli_fname;
    const std::size_t slash = library.rfind('/');
    return (slash == std::string::npos ? std::string(".") : library.substr(0, slash)) + "/vantorel-sane-helper";
}

} // namespace

std::shared_ptr<TSaneHelper> TSaneHelper::Start(SANE_Status &status)
{
    status = SANE_STATUS_IO_ERROR;
    const std::string program = ProgramPath();
    const QString name = QString::fromStdString(program.empty() ? "vantorel-sane-helper" : program);
    int ends[2];
    if (program.empty() || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        qCWarning(lcScanner).noquote() << "The scanner helper" << name << "could not be started:"
                                       << (program.empty() ? "its folder is not known" : std::strerror(errno));
        return nullptr;
    }
    // Room for a few reads of a scan on their way, so that the helper seldom waits for us.
    const int room = 1024 * 1024;
    ::setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    // The helper's end becomes its descriptor 3, the one it inherits; it inherits no other open
    // file of ours, marked to close on exec or not.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], SaneHelperSocket);
    posix_spawn_file_actions_addclosefrom_np(&actions, SaneHelperSocket + 1);
    // A group of its own, which ends with it: also what a driver forks.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const std::string parent = std::to_string(::getpid());
    char *arguments[] = {const_cast<char *>(program.c_str()), const_cast<char *>(parent.c_str()), nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (spawned != 0) {
        ::close(ends[0]);
        qCWarning(lcScanner).noquote() << "The scanner helper" << name
                                       << "could not be started:" << std::strerror(spawned);
        return nullptr;
    }
    std::shared_ptr<TSaneHelper> helper(new TSaneHelper(pid, ends[0]));
    TSaneMessage reply;
    TSaneReceive received = TSaneReceive::Broken;
    if (helper->Send(TSaneMessage(TSaneCall::Init), RequestMs))
        received = helper->Receive(reply, RequestMs);
    std::int32_t started = SANE_STATUS_IO_ERROR;
    if (received == TSaneReceive::Done && reply.Kind() == TSaneCall::Init && reply.Get(started)) {
        status = SaneStatusOf(started);
        if (status == SANE_STATUS_GOOD)
            return helper;
        qCWarning(lcScanner).noquote() << "The scanner helper" << name
                                       << "could not start SANE:" << QString::fromStdString(SaneStatusText(status));
    } else if (received == TSaneReceive::Done) {
        qCWarning(lcScanner).noquote() << "The scanner helper" << name << "gave a wrong answer to its start";
    } else if (received == TSaneReceive::TimedOut) {
        qCWarning(lcScanner).noquote() << "The scanner helper" << name << "did not answer within" << RequestMs / 1000
                                       << "s";
    } else {
        std::lock_guard lock(helper->FMutex);
        helper->End(EndingMs);
        qCWarning(lcScanner).noquote() << "The scanner helper" << name << QString::fromStdString(helper->Ending());
    }
    helper->Kill();
    return nullptr;
}

TSaneHelper::~TSaneHelper()
{
    ::close(FSocket);
    // The helper ends SANE when its socket closes; one stuck in a driver is killed.
    std::lock_guard lock(FMutex);
    End(EndingMs);
}

void TSaneHelper::End(int withinMs)
{
    if (FPid <= 0)
        return;
    if (withinMs > 0)
        WaitForEnd(FPid, withinMs);
    // Not yet reaped, the helper keeps its group's number from any other process.
    ::kill(-FPid, SIGKILL);
    while (::waitpid(FPid, &FWaitStatus, 0) < 0 && errno == EINTR) {
    }
    FPid = -1;
}

std::string TSaneHelper::Ending() const
{
    if (WIFEXITED(FWaitStatus))
        return "ended with exit status " + std::to_string(WEXITSTATUS(FWaitStatus));
    if (WIFSIGNALED(FWaitStatus))
        return "was ended by signal " + std::to_string(WTERMSIG(FWaitStatus)) + " (" +
               ::strsignal(WTERMSIG(FWaitStatus)) + ")";
    return "ended";
}

bool TSaneHelper::Call(const TSaneMessage &request, TSaneMessage &reply, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (Send(request, timeoutMs)) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (Receive(reply, std::max<int>(0, static_cast<int>(left.count()))) == TSaneReceive::Done &&
            reply.Kind() == request.Kind())
            return true;
    }
    Kill();
    return false;
}

bool TSaneHelper::Send(const TSaneMessage &message, int timeoutMs)
{
    // A cancel from the UI thread may meet the worker's own messages: one message at a time.
    std::lock_guard lock(FSending);
    if (!Alive())
        return false;
    if (SendSaneMessage(FSocket, message, timeoutMs))
        return true;
    Kill();
    return false;
}

TSaneReceive TSaneHelper::Receive(TSaneMessage &message, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int step = LivenessCheckMs;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            step = static_cast<int>(std::clamp<long long>(left.count(), 0, LivenessCheckMs));
        }
        const TSaneReceive received = FReceiver.Receive(FSocket, message, step);
        if (received != TSaneReceive::TimedOut)
            return received;
        // Something the helper forked may hold its socket open after it has gone.
        if (!Alive())
            return TSaneReceive::Broken;
        if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline)
            return TSaneReceive::TimedOut;
    }
}

void TSaneHelper::Kill()
{
    std::lock_guard lock(FMutex);
    if (FPid <= 0)
        return;
    End(0);
    // Whoever waits on the socket now reads its end.
    ::shutdown(FSocket, SHUT_RDWR);
}

bool TSaneHelper::Alive()
{
    std::lock_guard lock(FMutex);
    if (FPid > 0 && Ended(FPid)) {
        End(0);
        ::shutdown(FSocket, SHUT_RDWR);
    }
    return FPid > 0;
}

} // namespace vantorel
