#include "AtomicFile.h"

#include <cerrno>
#include <random>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantorel {

namespace {

constexpr std::size_t kNameMax = 255;
constexpr std::size_t kSuffixLength = 7; // "." and six letters
constexpr int kAttempts = 100;
constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// The target's name with a random suffix, in the target's folder so that the rename cannot cross
// file systems. A name already at the length limit is shortened to leave room for the suffix.
std::string TempNameFor(const std::string &target, std::mt19937 &random)
{
    const std::size_t slash = target.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string temp = target.substr(0, nameStart) + target.substr(nameStart, kNameMax - kSuffixLength) + '.';
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (std::size_t i = 1; i < kSuffixLength; ++i)
        temp += kLetters[pick(random)];
    return temp;
}

[[noreturn]] void Raise(int code, const std::string &what)
{
    throw std::system_error(code, std::generic_category(), what);
}

} // namespace

TAtomicFile::TAtomicFile(std::string target, mode_t newFileMode) : FTarget(std::move(target))
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
    FStream = ::fdopen(fd, "wb");
    if (!FStream) {
        const int failure = errno;
        ::close(fd);
        ::unlink(FTemp.c_str());
        Raise(failure, "cannot create a temporary file for " + FTarget);
    }
}

TAtomicFile::~TAtomicFile()
{
    if (FStream)
        std::fclose(FStream);
    if (!FCommitted && !FTemp.empty())
        ::unlink(FTemp.c_str());
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
    if (!failure && ::stat(FTarget.c_str(), &existing) == 0 && ::fchmod(fd, (existing.st_mode & 0777) | 0600) != 0)
        failure = errno;
    // The data must be on the disk before the name points to it, or a crash can leave an empty
    // file where a good one was.
    if (!failure && ::fsync(fd) != 0)
        failure = errno;
    const int closed = std::fclose(FStream);
    FStream = nullptr;
    if (!failure && closed != 0)
        failure = errno;
    if (!failure && ::rename(FTemp.c_str(), FTarget.c_str()) != 0)
        failure = errno;
    if (failure) {
        ::unlink(FTemp.c_str());
        FTemp.clear();
        Raise(failure, "cannot write " + FTarget);
    }
    FCommitted = true;
}

} // namespace vantorel
