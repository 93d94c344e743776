#include "ProgramFolder.h"

#include <climits>
#include <cstdlib>
#include <filesystem>

#include <pwd.h>
#include <unistd.h>

#include "FileOps.h"

// The installed data and configuration folders relative to the installed executable's folder; the build computes it
// from the install layout, so an installation can be moved to another prefix.
#ifndef VANTOREL_DATA_FROM_BIN
#define VANTOREL_DATA_FROM_BIN "../share/vantorel"
#endif
#ifndef VANTOREL_CONFIG_FROM_BIN
#define VANTOREL_CONFIG_FROM_BIN "../etc/xdg"
#endif
#ifndef VANTOREL_LIB_FROM_BIN
#define VANTOREL_LIB_FROM_BIN "../lib/vantorel"
#endif

namespace vantorel {

namespace {

std::string HomeFolder()
{
    if (const char *home = std::getenv("HOME"); home && home[0] == '/')
        return home;
    if (const passwd *entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

} // namespace

std::string ExecutableFolder()
{
    std::string path(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0)
        return "./";
    path.resize(static_cast<std::size_t>(n));
    return path.substr(0, path.find_last_of('/') + 1);
}

namespace {

std::string InstalledFolder(const std::string &executableFolder, const char *fromBin)
{
    // /proc/self/exe has no symbolic links left, so a lexical ".." is the real parent.
    return WithSlash((std::filesystem::path(executableFolder) / fromBin).lexically_normal().string());
}

} // namespace

std::string InstalledDataFolder(const std::string &executableFolder)
{
    return InstalledFolder(executableFolder, VANTOREL_DATA_FROM_BIN);
}

std::string InstalledConfigFolder(const std::string &executableFolder)
{
    return InstalledFolder(executableFolder, VANTOREL_CONFIG_FROM_BIN);
}

std::string InstalledLibraryFolder(const std::string &executableFolder)
{
    return InstalledFolder(executableFolder, VANTOREL_LIB_FROM_BIN);
}

std::string UserProgramFolder()
{
    // A relative or empty value is to be ignored, as the base directory rules say.
    const char *data = std::getenv("XDG_DATA_HOME");
    const std::string base = data && data[0] == '/' ? std::string(data) : HomeFolder() + "/.local/share";
    return WithSlash(base) + "vantorel/";
}

std::string ChooseProgramFolder(const std::string &executableFolder, const std::string &dataFolder,
                                const std::string &userFolder)
{
    // An installation is recognised by its data folder as well: root may write to /usr/bin, and
    // an installation under ~/.local may be writable, yet neither is a place for the user's files.
    const bool writable = ::access(executableFolder.c_str(), W_OK | X_OK) == 0;
    if (writable && !DirectoryExists(dataFolder))
        return executableFolder;
    return userFolder;
}

std::string ProgramFolder()
{
    const std::string executable = ExecutableFolder();
    const std::string folder = ChooseProgramFolder(executable, InstalledDataFolder(executable), UserProgramFolder());
    // A folder that cannot be made shows up later, as each file the program writes fails.
    if (folder != executable)
        ForceDirectories(folder);
    return folder;
}

std::string ShippedFileFolder(const std::string &programFolder, const std::string &dataFolder,
                              const std::string &fileName)
{
    if (!FileExists(programFolder + fileName) && FileExists(dataFolder + fileName))
        return dataFolder;
    return programFolder;
}

std::string ShippedFileFolder(const std::string &programFolder, const std::string &fileName)
{
    // A folder that is no installation but cannot be written has its shipped files beside the
    // executable.
    const std::string executable = ExecutableFolder();
    const std::string data = InstalledDataFolder(executable);
    return ShippedFileFolder(programFolder, DirectoryExists(data) ? data : executable, fileName);
}

} // namespace vantorel
