#include "FuzzSupport.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <fcntl.h>
#include <unistd.h>

namespace vantorel::fuzz {

namespace {

// Removes the work folder on a normal exit of the fuzzer.
struct TWorkFolder {
    TWorkFolder()
    {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vantorel-fuzz.XXXXXX";
        if (!::mkdtemp(pattern.data()))
            Fail("cannot make the work folder " + pattern + ": " + std::strerror(errno));
        Path = pattern + "/";
    }
    ~TWorkFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    std::string Path;
};

} // namespace

const std::string &WorkFolder()
{
    static const TWorkFolder folder;
    return folder.Path;
}

void WriteWholeFile(const std::string &path, const std::uint8_t *data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        Fail("cannot write " + path + ": " + std::strerror(errno));
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            Fail("cannot write " + path + ": " + std::strerror(errno));
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

std::string ReadWholeFile(const std::string &path)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        Fail("cannot read " + path + ": " + std::strerror(errno));
    std::string bytes;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

void Fail(const std::string &what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

} // namespace vantorel::fuzz
