#include "FileOps.h"

#include <cerrno>
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace vantorel {
namespace {

using test::Exists;
using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

TEST(FileOpsTest, MoveRenamesFilesAndFoldersWithTheirContent)
{
    TTempDir dir;
    WriteFile(dir / "a.jpg", "picture");
    ASSERT_TRUE(MoveFileA(dir / "a.jpg", dir / "b.jpg"));
    EXPECT_FALSE(Exists(dir / "a.jpg"));
    EXPECT_EQ(ReadFile(dir / "b.jpg"), "picture");

    WriteFile(dir / "Cats/kitten.jpg", "kitten");
    ASSERT_TRUE(MoveFileA(dir / "Cats", dir / "Pets"));
    EXPECT_FALSE(Exists(dir / "Cats"));
    EXPECT_EQ(ReadFile(dir / "Pets/kitten.jpg"), "kitten");
}

TEST(FileOpsTest, MoveNeverOverwrites)
{
    TTempDir dir;
    WriteFile(dir / "a.jpg", "first");
    WriteFile(dir / "b.jpg", "second");
    ASSERT_TRUE(ForceDirectories(dir / "empty"));

    EXPECT_FALSE(MoveFileA(dir / "a.jpg", dir / "b.jpg"));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(MoveFileA(dir / "a.jpg", dir / "empty"));
    EXPECT_FALSE(MoveFileA(dir / "empty", dir / "b.jpg"));
    EXPECT_EQ(ReadFile(dir / "a.jpg"), "first");
    EXPECT_EQ(ReadFile(dir / "b.jpg"), "second");
    EXPECT_TRUE(DirectoryExists(dir / "empty"));

    EXPECT_FALSE(MoveFileA(dir / "missing.jpg", dir / "c.jpg"));
    EXPECT_FALSE(Exists(dir / "c.jpg"));
}

TEST(FileOpsTest, CopyOverwritesTheDestination)
{
    TTempDir dir;
    WriteFile(dir / "src.jpg", "new content");
    WriteFile(dir / "dst.jpg", "old and longer content");
    ASSERT_TRUE(CopyFileA(dir / "src.jpg", dir / "dst.jpg"));
    EXPECT_EQ(ReadFile(dir / "dst.jpg"), "new content");
    EXPECT_EQ(ReadFile(dir / "src.jpg"), "new content");

    const std::string big(300000, 'x'); // more than one buffer
    WriteFile(dir / "big.bmp", big);
    ASSERT_TRUE(CopyFileA(dir / "big.bmp", dir / "copy.bmp"));
    EXPECT_EQ(ReadFile(dir / "copy.bmp"), big);

    // Asked to fail if the target exists: it keeps the file there, and writes a new one.
    EXPECT_FALSE(CopyFileA(dir / "src.jpg", dir / "copy.bmp", true));
    EXPECT_EQ(ReadFile(dir / "copy.bmp"), big);
    ASSERT_TRUE(CopyFileA(dir / "src.jpg", dir / "fresh.jpg", true));
    EXPECT_EQ(ReadFile(dir / "fresh.jpg"), "new content");
}

TEST(FileOpsTest, CopyRefusesAFileOntoItself)
{
    TTempDir dir;
    WriteFile(dir / "self.jpg", "keep me");
    EXPECT_FALSE(CopyFileA(dir / "self.jpg", dir / "self.jpg"));
    EXPECT_FALSE(CopyFileA(dir / "self.jpg", dir.Path() + "./self.jpg"));
    EXPECT_EQ(ReadFile(dir / "self.jpg"), "keep me");
}

TEST(FileOpsTest, CopyFailsWithoutASourceFile)
{
    TTempDir dir;
    ASSERT_TRUE(ForceDirectories(dir / "folder"));
    EXPECT_FALSE(CopyFileA(dir / "missing.jpg", dir / "out.jpg"));
    EXPECT_FALSE(Exists(dir / "out.jpg"));
    EXPECT_FALSE(CopyFileA(dir / "folder", dir / "out.jpg"));
    EXPECT_FALSE(Exists(dir / "out.jpg"));
    WriteFile(dir / "src.jpg", "x");
    EXPECT_FALSE(CopyFileA(dir / "src.jpg", dir / "folder"));
    EXPECT_TRUE(DirectoryExists(dir / "folder"));
}

TEST(FileOpsTest, RemoveDirectoryOnlyRemovesAnEmptyFolder)
{
    TTempDir dir;
    WriteFile(dir / "full/file.txt", "x");
    ASSERT_TRUE(ForceDirectories(dir / "empty"));
    EXPECT_FALSE(RemoveDirectoryA(dir / "full"));
    EXPECT_EQ(ReadFile(dir / "full/file.txt"), "x");
    EXPECT_FALSE(RemoveDirectoryA(dir / "full/file.txt"));
    EXPECT_TRUE(RemoveDirectoryA(dir / "empty"));
    EXPECT_FALSE(Exists(dir / "empty"));
    EXPECT_FALSE(RemoveDirectoryA(dir / "empty"));
}

TEST(FileOpsTest, DeleteFileRefusesAFolder)
{
    TTempDir dir;
    ASSERT_TRUE(ForceDirectories(dir / "folder.jpg"));
    EXPECT_FALSE(DeleteFileA(dir / "folder.jpg"));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_TRUE(DirectoryExists(dir / "folder.jpg"));

    WriteFile(dir / "file.jpg", "x");
    EXPECT_TRUE(DeleteFileA(dir / "file.jpg"));
    EXPECT_FALSE(Exists(dir / "file.jpg"));
    EXPECT_FALSE(DeleteFileA(dir / "file.jpg"));
}

TEST(FileOpsTest, ForceDirectoriesCreatesEveryMissingFolder)
{
    TTempDir dir;
    EXPECT_TRUE(ForceDirectories(dir / "a/b/c"));
    EXPECT_TRUE(DirectoryExists(dir / "a/b/c"));
    EXPECT_TRUE(ForceDirectories(dir / "a/b/c")); // exists already
    EXPECT_TRUE(ForceDirectories(dir / "x/y/"));  // a trailing slash
    EXPECT_TRUE(DirectoryExists(dir / "x/y"));

    WriteFile(dir / "file", "x");
    EXPECT_FALSE(ForceDirectories(dir / "file"));
    EXPECT_FALSE(ForceDirectories(dir / "file/sub"));
    EXPECT_TRUE(FileExists(dir / "file"));
    EXPECT_FALSE(ForceDirectories(""));
}

TEST(FileOpsTest, ExistsTellsFilesFromFolders)
{
    TTempDir dir;
    WriteFile(dir / "f.txt", "x");
    EXPECT_TRUE(FileExists(dir / "f.txt"));
    EXPECT_FALSE(DirectoryExists(dir / "f.txt"));
    EXPECT_TRUE(DirectoryExists(dir.Path()));
    EXPECT_FALSE(FileExists(dir.Path()));
    EXPECT_FALSE(FileExists(dir / "none"));
    EXPECT_FALSE(DirectoryExists(dir / "none"));
}

} // namespace
} // namespace vantorel
