#include "AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#include "TempWorkFolder.h"
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
        TAtomicFile::TExisting existing = TAtomicFile::TExisting::Replace;
        int error = 0; // any
    } cases[] = {
        {"full disk", FTarget, 1000},
        {"a folder in the target's place", FDir / "busy.xml", RLIM_INFINITY},
        {"missing folder", FDir / "missing/target.xml", RLIM_INFINITY},
        {"a new file whose name another program took", FTarget, RLIM_INFINITY, TAtomicFile::TExisting::Keep, EEXIST},
    };
    const std::set<std::string> before = Entries();
    for (const FailCase &c : cases) {
        SCOPED_TRACE(c.what);
        test::TFileSizeLimit limit(c.sizeLimit);
        try {
            TAtomicFile file(c.target, 0644, TAtomicFile::TPermissions::KeepReplaced, c.existing);
            const std::string content(100000, 'n');
            std::fwrite(content.data(), 1, content.size(), file.Stream()); // may fail part-way
            file.Commit();
            ADD_FAILURE() << "no failure";
        } catch (const std::system_error &e) {
            EXPECT_NE(e.code().value(), 0);
            if (c.error != 0) {
                EXPECT_EQ(e.code().value(), c.error);
            }
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

struct LeftoverCase {
    const char *what;
    std::string name;
    bool removed;
};

TEST_F(AtomicFileTest, LeftoversOfInterruptedWritesAreRemovedAndNothingElse)
{
    const std::string longName(255, 'n');
    const LeftoverCase cases[] = {
        {"a leftover", "target.xml.tmpAb3xZ9", true},
        {"another leftover", "target.xml.tmp000000", true},
        {"a leftover of a name at the length limit", longName.substr(0, 245) + ".tmpQwErTy", true},
        {"one letter short", "target.xml.tmpAb3xZ", false},
        {"one letter more", "target.xml.tmpAb3xZ9a", false},
        {"a letter of another kind", "target.xml.tmpAb-xZ9", false},
        {"six letters without the mark", "target.xml.backup", false},
        {"another file's leftover", "other.xml.tmpAb3xZ9", false},
        {"the target itself", "target.xml", false},
    };
    for (const LeftoverCase &c : cases)
        WriteFile(FDir / c.name, "partial");
    // Whatever else carries such a name is not ours: a folder, a link (and what it points to).
    std::filesystem::create_directories(FDir / "target.xml.tmpFolder/inside");
    std::filesystem::create_symlink(FDir / "other.xml.tmpAb3xZ9", FDir / "target.xml.tmpLinked");
    // A write still going on holds its temporary file.
    TAtomicFile live(FTarget, 0644);
    Write(live, "new");
    const std::set<std::string> before = Entries();

    std::vector<std::string> removed = RemoveLeftoverTempFiles(FTarget);
    std::vector<std::string> longRemoved = RemoveLeftoverTempFiles(FDir / longName);
    removed.insert(removed.end(), longRemoved.begin(), longRemoved.end());
    std::set<std::string> expected = before;
    for (const LeftoverCase &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(std::filesystem::exists(FDir / c.name), !c.removed);
        EXPECT_EQ(std::count(removed.begin(), removed.end(), FDir / c.name), c.removed ? 1 : 0);
        if (c.removed)
            expected.erase(c.name);
    }
    EXPECT_EQ(Entries(), expected); // the live write's file, the folder and the link stay
    live.Commit();
    EXPECT_EQ(ReadFile(FTarget), "new");
}

TEST_F(AtomicFileTest, ATemporaryFileCarriesTheTargetsNameAndTheMark)
{
    TAtomicFile file(FTarget, 0644);
    std::set<std::string> names = Entries();
    ASSERT_EQ(names.size(), 1u);
    const std::string name = *names.begin();
    EXPECT_EQ(name.substr(0, 14), "target.xml.tmp");
    EXPECT_EQ(name.size(), 20u);
}

TEST_F(AtomicFileTest, LeftoverWorkFoldersAreRemovedAndLiveOnesStay)
{
    namespace fs = std::filesystem;
    const std::string temp = FDir / "Temp/";
    struct Entry {
        const char *name;
        bool removed;
    };
    const Entry entries[] = {
        {"work-Ab3xZ9", true}, // a killed upload's folder, with its file
        {"work-000000", true}, // an empty one
        {"work-Ab3xZ", false}, // not a name we make
        {"work-Ab3xZ9a", false}, {"other-Ab3xZ", false},
    };
    for (const Entry &e : entries)
        fs::create_directories(temp + e.name);
    WriteFile(temp + "work-Ab3xZ9/logo.jpg", "partial");
    WriteFile(temp + "work-file00", "a file is not our folder");
    // A link carrying our name is not followed.
    fs::create_directories(FDir / "outside");
    WriteFile(FDir / "outside/keep.txt", "keep");
    fs::create_directory_symlink(FDir / "outside", temp + "work-linked");
    const TTempWorkFolder live(FDir.Path());
    WriteFile(live.Path() + "logo.png", "being uploaded");

    const std::vector<std::string> removed = RemoveLeftoverWorkFolders(FDir.Path());
    for (const Entry &e : entries) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(fs::exists(temp + e.name), !e.removed);
        EXPECT_EQ(std::count(removed.begin(), removed.end(), temp + e.name), e.removed ? 1 : 0);
    }
    EXPECT_EQ(removed.size(), 2u);
    EXPECT_TRUE(fs::exists(temp + "work-file00"));
    EXPECT_EQ(ReadFile(FDir / "outside/keep.txt"), "keep");
    EXPECT_EQ(ReadFile(live.Path() + "logo.png"), "being uploaded");
    // No Temp folder at all is no failure.
    EXPECT_TRUE(RemoveLeftoverWorkFolders(FDir / "nowhere/").empty());
}
} // namespace
} // namespace vantorel
