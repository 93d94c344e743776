#include "SaneHelperStart.h"

#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "SaneChannel.h"

namespace vantorel {

namespace {

// A process of ours in the helper's group that outlives the helper only to end the whole group,
// so that what a driver forked ends with the helper however the helper ends: killed with the
// manager's process by its parent-death signal, a SIGKILL that no code of the helper's sees. It
// runs no driver code, so no driver changes how it takes its signal.
void GuardGroup()
{
    const pid_t helper = ::getpid();
    sigset_t ending, before;
    sigemptyset(&ending);
    sigaddset(&ending, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &ending, &before);
    if (::fork() == 0) {
        ::close_range(0, ~0U, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        int signal = 0;
        if (::getppid() == helper)
            ::sigwait(&ending, &signal);
        ::kill(0, SIGKILL);
        ::_exit(0);
    }
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
}

} // namespace

bool BeginHelper(int argc, char **argv)
{
    // Ends with the manager's process, however that ends; argv[1] names it, should it be gone
    // before this line.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (argc < 2 || ::getppid() != static_cast<pid_t>(std::atoll(argv[1])))
        return false;
    // The program ends the orderly way on an interrupt from its terminal and then ends us.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    // Our group is not the terminal's: a driver writing to it must not stop us.
    std::signal(SIGTTOU, SIG_IGN);
    // Programs a backend starts get nothing of the manager.
    ::fcntl(SaneHelperSocket, F_SETFD, FD_CLOEXEC);
    GuardGroup();
    return true;
}

} // namespace vantorel
