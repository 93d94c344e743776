#include "ServerRegistration.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include <unistd.h>

#include "AtomicFile.h"
#include "FileOps.h"
#include "Registry.h"
#include "VantorelPI.h"

namespace vantorel {

namespace {

// The bus reads Exec= like a shell: inside double quotes a backslash escapes these four.
std::string QuotedForExec(const std::string &path)
{
    if (path.find_first_of("\r\n") != std::string::npos)
        throw std::runtime_error("The program's path cannot stand in a D-Bus service file: " + path);
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '\\' || c == '$' || c == '`')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string ReadWhole(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteServiceFile(const std::string &executable)
{
    const std::string path = ServiceFilePath();
    const std::string folder = path.substr(0, path.rfind('/'));
    if (!ForceDirectories(folder))
        throw std::system_error(errno, std::generic_category(), "Cannot create " + folder);
    WriteAtomically(path, ServiceFileText(executable), 0644);
}

} // namespace

std::string ServiceFilePath()
{
    // A relative or empty value is to be ignored, as the base directory rules say.
    const char *data = std::getenv("XDG_DATA_HOME");
    const char *home = std::getenv("HOME");
    const std::string base = data && data[0] == '/' ? data : std::string(home ? home : "") + "/.local/share";
    return base + "/dbus-1/services/" + kAutomationBusName + ".service";
}

std::string ServiceFileText(const std::string &executable)
{
    return std::string("[D-BUS Service]\nName=") + kAutomationBusName + "\nExec=" + QuotedForExec(executable) +
           " -AUTOMATION\n";
}

std::string ExecutablePath()
{
    std::string path(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0)
        throw std::system_error(errno, std::generic_category(), "Cannot find the program's own file");
    path.resize(static_cast<std::size_t>(n));
    return path;
}

void RegisterServer(const std::string &executable)
{
    WriteServiceFile(executable);
    TRegistry registry;
    if (!registry.OpenKey(kProgramKey, true))
        throw std::runtime_error("Cannot create the registry key " + std::string(kProgramKey) + " in " +
                                 registry.FileName());
    registry.WriteString(kAppPathValue, executable.substr(0, executable.rfind('/')));
}

void UnregisterServer()
{
    const std::string path = ServiceFilePath();
    if (::unlink(path.c_str()) != 0 && errno != ENOENT && errno != ENOTDIR)
        throw std::system_error(errno, std::generic_category(), "Cannot delete " + path);
    TRegistry registry;
    if (registry.KeyExists(kProgramKey))
        registry.DeleteKey(kProgramKey);
}

bool RenewServiceFile(const std::string &executable)
{
    try {
        if (ReadWhole(ServiceFilePath()) != ServiceFileText(executable))
            WriteServiceFile(executable);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

bool RenewServiceFile()
{
    try {
        return RenewServiceFile(ExecutablePath());
    } catch (const std::exception &) {
        return false;
    }
}

int RunRegistrationSwitches(const TAutomationSwitches &switches)
{
    try {
        if (switches.UnregServer)
            UnregisterServer();
        else if (switches.RegServer)
            RegisterServer(ExecutablePath());
    } catch (const std::exception &e) {
        // Only a failed registration ends in an error; removing one ignores its failures.
        if (switches.UnregServer)
            return 0;
        std::cerr << "vantorel: the automation server could not be registered: " << e.what() << '\n';
        return 1;
    }
    return 0;
}

} // namespace vantorel
