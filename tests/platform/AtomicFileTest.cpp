#include "AtomicFile.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace vantorel {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

// The process's umask, read without changing it.
mode_t CurrentUmask()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    return 022;
}

class AtomicFileTest : public ::testing::Test {
protected:
    mode_t ModeOf(const std::string &path)
    {
        return static_cast<mode_t>(std::filesystem::status(path).permissions() & perms::all);
    }
    std::set<std::string> Entries()
    {
        std::set<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(FDir.Path()))
            names.insert(entry.path().filename());
        return names;
    }
    void Write(TAtomicFile &file, const std::string &content)
    {
        ASSERT_EQ(std::fwrite(content.data(), 1, content.size(), file.Stream()), content.size());
    }

    using perms = std::filesystem::perms;
    TTempDir FDir;
    std::string FTarget = FDir / "target.xml";
};

struct ModeCase {
    const char *what;
    std::optional<mode_t> existing; // none: a new file
    mode_t newFileMode;
    mode_t expected; // before the umask, for new files
};

TEST_F(AtomicFileTest, CommitReplacesTheWholeFileAndSetsItsMode)
{
    const ModeCase cases[] = {
        {"new picture", std::nullopt, 0666, 0666},
        {"new secret", std::nullopt, 0600, 0600},
        {"replaced keeps its mode", 0640, 0600, 0640},
        {"replaced stays readable by its owner", 0444, 0666, 0644},
        {"replaced keeps access for others", 0604, 0600, 0604},
    };
    for (const ModeCase &c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(FTarget);
        if (c.existing) {
            WriteFile(FTarget, std::string(5000, 'o'));
            std::filesystem::permissions(FTarget, perms(*c.existing));
        }
        {
            TAtomicFile file(FTarget, c.newFileMode);
            Write(file, "short");
            file.Commit();
        }
        EXPECT_EQ(ReadFile(FTarget), "short");
        EXPECT_EQ(ModeOf(FTarget), c.existing ? c.expected : c.expected & ~CurrentUmask());
        EXPECT_EQ(Entries(), std::set<std::string>{"target.xml"});
    }
}

TEST_F(AtomicFileTest, UncommittedDataNeverReachesTheTarget)
{
    WriteFile(FTarget, "old");
    {
        TAtomicFile first(FTarget, 0600);
        TAtomicFile second(FTarget, 0600); // each writer has its own temporary file
        Write(first, "new");
        std::fflush(first.Stream());
        EXPECT_EQ(Entries().size(), 3u);
        EXPECT_EQ(ReadFile(FTarget), "old");
    }
    EXPECT_EQ(ReadFile(FTarget), "old");
    EXPECT_EQ(Entries(), std::set<std::string>{"target.xml"});
}

TEST_F(AtomicFileTest, FailuresLeaveTheOldFileWholeAndNoTemporaryFile)
{
    WriteFile(FTarget, "old");
    std::filesystem::create_directories(FDir / "busy.xml/inside");
    struct FailCase {
        const char *what;
        std::string target;
        rlim_t sizeLimit;
    } cases[] = {
        {"full disk", FTarget, 1000},
        {"a folder in the target's place", FDir / "busy.xml", RLIM_INFINITY},
        {"missing folder", FDir / "missing/target.xml", RLIM_INFINITY},
    };
    const std::set<std::string> before = Entries();
    for (const FailCase &c : cases) {
        SCOPED_TRACE(c.what);
        test::TFileSizeLimit limit(c.sizeLimit);
        try {
            TAtomicFile file(c.target, 0644);
            const std::string content(100000, 'n');
            std::fwrite(content.data(), 1, content.size(), file.Stream()); // may fail part-way
            file.Commit();
            ADD_FAILURE() << "no failure";
        } catch (const std::system_error &e) {
            EXPECT_NE(e.code().value(), 0);
        }
        EXPECT_EQ(ReadFile(FTarget), "old");
        EXPECT_EQ(Entries(), before);
    }
}

TEST_F(AtomicFileTest, ATargetNameAtTheLengthLimitCanBeWritten)
{
    const std::string name(255, 'n');
    TAtomicFile file(FDir / name, 0644);
    Write(file, "x");
    file.Commit();
    EXPECT_EQ(ReadFile(FDir / name), "x");
    EXPECT_EQ(Entries(), std::set<std::string>{name});
}

} // namespace
} // namespace vantorel
