#include "BrowserLauncher.h"

#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace vantorel {

std::string BrowserCommand()
{
    // $BROWSER may list several commands separated by ":"; the first is used.
    const char *browser = std::getenv("BROWSER");
    const std::string first = browser ? std::string(browser).substr(0, std::string(browser).find(':')) : std::string();
    return first.empty() ? "xdg-open" : first;
}

bool LaunchBrowser(const std::string &address, std::string &failure)
{
    const std::string command = BrowserCommand();
    std::string program = command;
    std::string arg = address;
    char *argv[] = {program.data(), arg.data(), nullptr};
    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ);
    if (error != 0) {
        // The system's reason and the command, then the address, which the user may still open by hand.
        failure =
            std::string(std::strerror(error)) + " " + command + "\n\nOpen this address in your web browser: " + address;
        return false;
    }
    // Reap the browser when it ends so it leaves no zombie behind.
    std::thread([pid] {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }).detach();
    return true;
}

} // namespace vantorel
