#pragma once

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace vantorel::test {

// A fresh temporary folder, removed with everything in it at the end of the test. Its path
// ends with "/" like the program folder.
class TTempDir {
public:
    TTempDir()
    {
        const char *base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/vantorel-test-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        FPath = pattern + "/";
    }
    ~TTempDir()
    {
        std::error_code ec;
        // Give back write permission that a test may have taken away, so everything goes.
        for (auto it = std::filesystem::recursive_directory_iterator(FPath, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::permissions(FPath, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(FPath, ec);
    }
    TTempDir(const TTempDir &) = delete;
    TTempDir &operator=(const TTempDir &) = delete;

    const std::string &Path() const { return FPath; }
    std::string operator/(const std::string &relative) const { return FPath + relative; }

private:
    std::string FPath;
};

inline void WriteFile(const std::string &path, const std::string &content)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

inline std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lowers the largest file this process may write, so that a write fails part-way as on a full
// disk; works for root as well.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &FOld);
        rlimit lowered = FOld;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~TFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }
    TFileSizeLimit(const TFileSizeLimit &) = delete;
    TFileSizeLimit &operator=(const TFileSizeLimit &) = delete;

private:
    rlimit FOld{};
    void (*FOldHandler)(int);
};

// Lets the process map at most `bytes` more than it has mapped now, so that a large allocation
// fails as with the memory taken. Not under the sanitizers, whose allocator ends the program then.
class TAddressSpaceLimit {
public:
    explicit TAddressSpaceLimit(rlim_t bytes)
    {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        ::getrlimit(RLIMIT_AS, &FOld);
        rlimit lowered = FOld;
        lowered.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + bytes;
        ::setrlimit(RLIMIT_AS, &lowered);
    }
    ~TAddressSpaceLimit() { ::setrlimit(RLIMIT_AS, &FOld); }
    TAddressSpaceLimit(const TAddressSpaceLimit &) = delete;
    TAddressSpaceLimit &operator=(const TAddressSpaceLimit &) = delete;

private:
    rlimit FOld{};
};

inline bool Exists(const std::string &path) { return std::filesystem::exists(path); }

// The CRC-32 of PNG chunks (and zlib's), for tests that build files byte by byte.
inline std::uint32_t Crc32(const std::string &bytes)
{
    std::uint32_t crc = 0xFFFFFFFF;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

} // namespace vantorel::test
