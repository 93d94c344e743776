#include "AtomicFile.h"

#include <cerrno>
#include <random>
#include <string_view>
#include <system_error>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileOps.h"

namespace vantorel {

namespace {

constexpr std::size_t kNameMax = 255;
// The target's name, then ".tmp" and six letters: a mark that no file of the user's is likely to
// carry, so that leftovers can be told apart and removed.
constexpr char kTempMark[] = ".tmp";
constexpr std::size_t kRandomLength = 6;
constexpr std::size_t kSuffixLength = sizeof kTempMark - 1 + kRandomLength;
constexpr int kAttempts = 100;
constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

struct TSplitPath {
    std::string Folder; // with its "/", or empty
    std::string Name;
};

TSplitPath SplitPath(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return {path.substr(0, nameStart), path.substr(nameStart)};
}

// What every temporary name of the target starts with. A name already at the length limit is
// shortened to leave room for the suffix.
std::string TempPrefixOf(const std::string &name) { return name.substr(0, kNameMax - kSuffixLength) + kTempMark; }

// The target's name with a random suffix, in the target's folder so that the rename cannot cross
// file systems.
std::string TempNameFor(const std::string &target, std::mt19937 &random)
{
    const TSplitPath path = SplitPath(target);
    std::string temp = path.Folder + TempPrefixOf(path.Name);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (std::size_t i = 0; i < kRandomLength; ++i)
        temp += kLetters[pick(random)];
    return temp;
}

bool IsTempNameOf(std::string_view candidate, const std::string &prefix)
{
    if (candidate.size() != prefix.size() + kRandomLength || candidate.compare(0, prefix.size(), prefix) != 0)
        return false;
    return candidate.find_first_not_of(kLetters, prefix.size()) == std::string_view::npos;
}

[[noreturn]] void Raise(int code, const std::string &what)
{
    throw std::system_error(code, std::generic_category(), what);
}

} // namespace

TAtomicFile::TAtomicFile(std::string target, mode_t newFileMode, TPermissions permissions, TExisting existing)
    : FTarget(std::move(target)), FPermissions(permissions), FExisting(existing)
{
    std::random_device device;
    std::mt19937 random(device());
    int fd = -1;
    for (int attempt = 1; fd < 0; ++attempt) {
        FTemp = TempNameFor(FTarget, random);
        // The kernel applies the umask to the mode of a new file, so nothing here touches the
        // process-wide umask, which other threads may rely on.
        fd = ::open(FTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, newFileMode & 07777);
        if (fd < 0 && (errno != EEXIST || attempt == kAttempts))
            Raise(errno, "cannot create a temporary file for " + FTarget);
    }
    const auto giveUp = [&](int failure) {
        ::close(fd);
        ::unlink(FTemp.c_str());
        Raise(failure, "cannot create a temporary file for " + FTarget);
    };
    // The umask may have taken away the owner's own access.
    if (FPermissions == TPermissions::Always && ::fchmod(fd, newFileMode & 07777) != 0)
        giveUp(errno);
    // Held until the file is gone or in place (the kernel lets go of it when the process ends),
    // so that the clearing of leftovers knows a live write's file. Where the file system has no
    // locks, the write goes on without.
    ::flock(fd, LOCK_EX | LOCK_NB);
    FStream = ::fdopen(fd, "wb");
    if (!FStream)
        giveUp(errno);
}

TAtomicFile::~TAtomicFile()
{
    if (FStream)
        std::fclose(FStream);
    if (!FCommitted && !FTemp.empty())
        ::unlink(FTemp.c_str());
}

void WriteAtomically(const std::string &target, std::string_view data, mode_t newFileMode,
                     TAtomicFile::TPermissions permissions)
{
    TAtomicFile file(target, newFileMode, permissions);
    errno = 0;
    if (std::fwrite(data.data(), 1, data.size(), file.Stream()) != data.size())
        Raise(errno ? errno : EIO, "cannot write " + target);
    file.Commit();
}

std::vector<std::string> RemoveLeftoverTempFiles(const std::string &target)
{
    const TSplitPath path = SplitPath(target);
    const std::string prefix = TempPrefixOf(path.Name);
    std::vector<std::string> removed;
    DIR *folder = ::opendir(path.Folder.empty() ? "." : path.Folder.c_str());
    if (!folder)
        return removed;
    while (const dirent *entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (!IsTempNameOf(name, prefix))
            continue;
        // Only plain files, and none that a live write still holds locked.
        const int fd = ::openat(::dirfd(folder), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::unlinkat(::dirfd(folder), name.c_str(), 0) == 0)
            removed.push_back(path.Folder + name);
        ::close(fd);
    }
    ::closedir(folder);
    return removed;
}

void TAtomicFile::Commit()
{
    if (!FStream)
        Raise(EBADF, "cannot write " + FTarget);
    int failure = 0;
    if (std::fflush(FStream) != 0)
        failure = errno;
    else if (std::ferror(FStream))
        failure = EIO; // an earlier write failed and its reason is gone
    const int fd = ::fileno(FStream);
    struct stat existing {};
    // A replaced file keeps its permissions, but its owner can always read it back.
    if (!failure && FPermissions == TPermissions::KeepReplaced && ::stat(FTarget.c_str(), &existing) == 0 &&
        ::fchmod(fd, (existing.st_mode & 0777) | 0600) != 0)
        failure = errno;
    // The data must be on the disk before the name points to it, or a crash can leave an empty
    // file where a good one was.
    if (!failure && ::fsync(fd) != 0)
        failure = errno;
    const int closed = std::fclose(FStream);
    FStream = nullptr;
    if (!failure && closed != 0)
        failure = errno;
    if (!failure && FExisting == TExisting::Keep && !MoveFileA(FTemp, FTarget))
        failure = errno;
    else if (!failure && FExisting == TExisting::Replace && ::rename(FTemp.c_str(), FTarget.c_str()) != 0)
        failure = errno;
    if (failure) {
        ::unlink(FTemp.c_str());
        FTemp.clear();
        Raise(failure, "cannot write " + FTarget);
    }
    FCommitted = true;
    // The new name itself is on the disk only once its folder is: until then a power cut can
    // bring the old file back. The file is in place either way, so a failure here is not one of
    // the write.
    const std::string folder = SplitPath(FTarget).Folder;
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace vantorel
