#include "ChildProcess.h"

#include <cerrno>
#include <thread>

#include <sys/wait.h>

namespace vantorel {

void ReapInBackground(pid_t pid)
{
    std::thread([pid] {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

} // namespace vantorel
