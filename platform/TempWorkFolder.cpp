#include "TempWorkFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "FileOps.h"

namespace vantorel {

namespace {

constexpr char kWorkPrefix[] = "work-";
constexpr std::size_t kRandomLetters = 6; // mkdtemp's XXXXXX

bool IsWorkFolderName(const char *name)
{
    const std::size_t prefix = sizeof(kWorkPrefix) - 1;
    return std::strlen(name) == prefix + kRandomLetters && std::strncmp(name, kWorkPrefix, prefix) == 0;
}

} // namespace

TTempWorkFolder::TTempWorkFolder(const std::string &programFolder)
{
    const std::string temp = programFolder + "Temp";
    if (!ForceDirectories(temp))
        throw std::system_error(errno, std::generic_category(), "Cannot create " + temp);
    std::string pattern = temp + "/" + kWorkPrefix + "XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), "Cannot create a folder in " + temp);
    FPath = pattern + "/";
    // Taken before anything is written into the folder. Only the start-up sweep of another
    // instance on the same program folder, at this very moment, could take it first; the writes
    // into the folder it removes then fail as any failed write does.
    FLock = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (FLock >= 0 && ::flock(FLock, LOCK_EX | LOCK_NB) != 0) {
        ::close(FLock);
        FLock = -1;
    }
}

TTempWorkFolder::~TTempWorkFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
    if (FLock >= 0)
        ::close(FLock);
}

std::vector<std::string> RemoveLeftoverWorkFolders(const std::string &programFolder)
{
    const std::string temp = programFolder + "Temp/";
    std::vector<std::string> removed;
    DIR *folder = ::opendir(temp.c_str());
    if (!folder)
        return removed;
    while (const dirent *entry = ::readdir(folder)) {
        if (!IsWorkFolderName(entry->d_name))
            continue;
        // A symbolic link is not followed: only our own folders go.
        const int fd = ::openat(::dirfd(folder), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            const std::string path = temp + entry->d_name;
            std::error_code failed;
            std::filesystem::remove_all(path, failed);
            if (!failed)
                removed.push_back(path);
        }
        ::close(fd);
    }
    ::closedir(folder);
    return removed;
}

} // namespace vantorel
