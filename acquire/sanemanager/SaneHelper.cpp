#include "SaneHelper.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include <dlfcn.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace vantorel {

namespace {

constexpr int EndingMs = 2000;

void Reap(pid_t pid)
{
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// Reaps the child once it ends within ms; false when it has not.
bool ReapWithin(pid_t pid, int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    const int process = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    while (::waitpid(pid, nullptr, WNOHANG) == 0) {
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
    return ::waitpid(pid, nullptr, WNOHANG) != 0;
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
    int ends[2];
    if (program.empty() || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return nullptr;
    // Room for a few reads of a scan on their way, so that the helper seldom waits for us.
    const int room = 1024 * 1024;
    ::setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    // The helper's end becomes its descriptor 3, the one it inherits; it inherits no other open
    // file of ours, marked to close on exec or not.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], SaneHelperSocket);
    posix_spawn_file_actions_addclosefrom_np(&actions, SaneHelperSocket + 1);
    const std::string parent = std::to_string(::getpid());
    char *arguments[] = {const_cast<char *>(program.c_str()), const_cast<char *>(parent.c_str()), nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (spawned != 0) {
        ::close(ends[0]);
        return nullptr;
    }
    std::shared_ptr<TSaneHelper> helper(new TSaneHelper(pid, ends[0]));
    TSaneMessage reply;
    std::int32_t started = SANE_STATUS_IO_ERROR;
    if (helper->Call(TSaneMessage(TSaneCall::Init), reply, RequestMs))
        reply.Get(started);
    status = static_cast<SANE_Status>(started);
    return status == SANE_STATUS_GOOD ? helper : nullptr;
}

TSaneHelper::~TSaneHelper()
{
    ::close(FSocket);
    std::lock_guard lock(FMutex);
    if (FPid <= 0)
        return;
    // The helper ends SANE when its socket closes; one stuck in a driver is killed.
    if (!ReapWithin(FPid, EndingMs)) {
        ::kill(FPid, SIGKILL);
        Reap(FPid);
    }
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
    return Alive() && SendSaneMessage(FSocket, message, timeoutMs);
}

TSaneReceive TSaneHelper::Receive(TSaneMessage &message, int timeoutMs)
{
    return ReceiveSaneMessage(FSocket, message, timeoutMs);
}

void TSaneHelper::Kill()
{
    std::lock_guard lock(FMutex);
    if (FPid <= 0)
        return;
    ::kill(FPid, SIGKILL);
    Reap(FPid);
    FPid = -1;
    // Whoever waits on the socket now reads its end.
    ::shutdown(FSocket, SHUT_RDWR);
}

bool TSaneHelper::Alive() const
{
    std::lock_guard lock(FMutex);
    return FPid > 0;
}

} // namespace vantorel
