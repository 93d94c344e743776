#include "PictureCache.h"

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "ImageCodecs.h"
#include "SourceImage.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

namespace fs = std::filesystem;

constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;

std::int64_t Nanoseconds(const timespec &t) { return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

class PictureCacheTest : public ::testing::Test {
public:
    // A file written here has a recent change time, whatever date it is given: it counts as
    // settled once its times are past, and the settle rule's own test puts the real wait back.
    void SetUp() override { TPictureCache::SetSettleTime(0); }
    void TearDown() override
    {
        PictureCache().Clear();
        TPictureCache::SetSettleTime(TPictureCache::kSettleNanoseconds);
    }

    // A one-colour BMP (its length depends on its size alone), dated long enough ago to be kept.
    std::string Write(const std::string &name, std::int32_t width, TColor color, std::time_t when = Past())
    {
        const std::string path = FDir / name;
        WriteBMP(TBitmap(width, 30, color), path);
        Date(path, when);
        return path;
    }
    static std::time_t Past() { return std::time(nullptr) - 3600; }
    static void Date(const std::string &path, std::time_t when)
    {
        const timespec times[2] = {{0, UTIME_OMIT}, {when, 123456789}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }

    test::TTempDir FDir;
    TPictureCache FCache;
};

TEST_F(PictureCacheTest, ARebuildReusesThePictureAndOneIsKeptAtATime)
{
    const std::string a = Write("a.bmp", 40, kRed), b = Write("b.bmp", 40, kBlue);
    const std::weak_ptr<const TBitmap> keptA = FCache.Read(a);
    EXPECT_EQ(FCache.Read(a), keptA.lock());
    EXPECT_EQ(keptA.lock()->Pixel(39, 29), kRed);
    EXPECT_EQ(FCache.Read(b)->Pixel(0, 0), kBlue);
    EXPECT_TRUE(keptA.expired()) << "reading another file lets go of the kept picture";
}

TEST_F(PictureCacheTest, AChangedFileIsDecodedAgain)
{
    // Each case changes a 40-pixel red picture that was read and kept.
    struct TCase {
        const char *Description;
        std::int32_t Width;
        TColor Color;
        std::time_t Earlier; // the new modification time, this many seconds before the old one
        bool Replaced;       // a new file renamed over it, else the new bytes written in place
    };
    const TCase cases[] = {
        {"a larger picture in place with the same time", 41, kRed, 0, false},
        {"the same bytes with another time", 40, kRed, 60, false},
        {"replaced by one of the same length and time", 40, kBlue, 0, true},
        {"other bytes of the same length in place, dated back", 40, kBlue, 0, false},
    };
    const auto inode = [](const std::string &path) {
        struct stat info {};
        ::stat(path.c_str(), &info);
        return info.st_ino;
    };
    for (const TCase &c : cases) {
        const std::time_t when = Past();
        const std::string file = Write("p.bmp", 40, kRed, when);
        const auto before = FCache.Read(file);
        ASSERT_EQ(FCache.Read(file), before) << c.Description;
        // File times may come from a clock of a few milliseconds a tick: the change must be stamped
        // after the one read.
        struct stat read {};
        ::stat(file.c_str(), &read);
        for (timespec now{};
             ::clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0 && Nanoseconds(now) <= Nanoseconds(read.st_ctim);)
            continue;
        const std::string written = Write("new.bmp", c.Width, c.Color, when - c.Earlier);
        const auto oldInode = inode(file);
        if (c.Replaced) {
            fs::rename(written, file);
        } else {
            fs::copy_file(written, file, fs::copy_options::overwrite_existing);
            Date(file, when - c.Earlier);
            ASSERT_EQ(inode(file), oldInode) << c.Description << ": written in place";
        }
        const auto after = FCache.Read(file);
        EXPECT_NE(after, before) << c.Description;
        EXPECT_EQ(after->Width(), c.Width) << c.Description;
        EXPECT_EQ(after->Pixel(0, 0), c.Color) << c.Description;
    }
}

TEST_F(PictureCacheTest, AFileThatMayStillChangeUnseenIsNotKept)
{
    TPictureCache::SetSettleTime(TPictureCache::kSettleNanoseconds);
    // Written just now: dated now, ahead, or back (its change time is still now).
    for (const std::time_t when : {std::time(nullptr), std::time(nullptr) + 3600, Past()}) {
        const std::string file = Write("fresh.bmp", 40, kRed, when);
        const auto first = FCache.Read(file);
        EXPECT_NE(FCache.Read(file), first) << "dated " << when;
    }
}

TEST_F(PictureCacheTest, ACopyTakesOverThePictureDecodedBeforeItOnlyWhenTheOriginalStayedPut)
{
    // Each case decodes a settled original, then copies it as the library does.
    struct TCase {
        const char *Description;
        std::time_t OriginalDate;
        bool ChangedBeforeCopy; // the original rewritten (blue) between decode and copy
        bool Enabled;
        bool Kept;
    };
    const TCase cases[] = {
        {"a settled original", Past(), false, true, true},
        {"an original dated ahead", std::time(nullptr) + 3600, false, true, false},
        {"an original changed after its decode", Past(), true, true, false},
        {"the cache turned off", Past(), false, false, false},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Description);
        FCache.SetEnabled(c.Enabled);
        const std::string original = Write("photo.bmp", 40, kRed, c.OriginalDate);
        const TPictureCache::TDecoded decoded = TPictureCache::Decode(original);
        if (c.ChangedBeforeCopy)
            Write("photo.bmp", 40, kBlue, Past() - 60);
        const std::string copy = FDir / "copy.bmp";
        fs::copy_file(original, copy, fs::copy_options::overwrite_existing);
        FCache.KeepCopy(decoded, copy);
        const auto read = FCache.Read(copy);
        EXPECT_EQ(read == decoded.Picture, c.Kept);
        EXPECT_EQ(read->Pixel(0, 0), c.ChangedBeforeCopy ? kBlue : kRed) << "the copy's own bytes";
        FCache.Clear();
    }
}

TEST_F(PictureCacheTest, TheDocumentReadsThroughTheProgramsCache)
{
    const std::string file = Write("p.bmp", 40, kRed);
    TLogoDirObject node;
    TSourceImage first({100, 100}, file, &node, true);
    TSourceImage rebuilt({50, 50}, file, &node, false);
    EXPECT_EQ(rebuilt.SourcePicture, first.SourcePicture);
    Write("p.bmp", 40, kBlue, Past() - 60);
    EXPECT_EQ(TSourceImage({50, 50}, file, &node, false).Source.Pixel(0, 0), kBlue);
    EXPECT_EQ(first.Source.Pixel(0, 0), kRed) << "a document keeps the picture it was made with";
}

} // namespace
} // namespace vantorel
