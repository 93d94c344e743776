// Running out of memory while a picture is read, shown, rendered or written: the user hears of
// it in the program's words, never as a raw "std::bad_alloc", and nothing half made is kept.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "ImageCodecs.h"
#include "LogoWriter.h"
#include "SourceImage.h"
#include "TestSupport.h"

namespace {

// Allocations through operator new larger than this fail, as they would with the memory taken.
std::atomic<std::size_t> gLargestAllocation{std::numeric_limits<std::size_t>::max()};

} // namespace

void *operator new(std::size_t size)
{
    if (size > gLargestAllocation.load(std::memory_order_relaxed))
        throw std::bad_alloc();
    if (void *memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void *memory) noexcept { std::free(memory); }
void operator delete(void *memory, std::size_t) noexcept { std::free(memory); }

namespace vantorel {
namespace {

constexpr TColor kFillColour = 0x00FF00;

class MemoryFailureTest : public ::testing::Test {
protected:
    void TearDown() override { Unlimit(); }

    static void LimitAllocationsTo(std::size_t bytes) { gLargestAllocation = bytes; }
    static void Unlimit() { gLargestAllocation = std::numeric_limits<std::size_t>::max(); }

    // A 600 x 600 picture (a bitmap of about a megabyte) in each of the reader's formats.
    std::string Picture(const char *name)
    {
        const std::string path = FDir / name;
        TBitmap picture(600, 600, clRed);
        picture.FillRect({300, 0, 600, 600}, clBlue);
        const std::string ext = path.substr(path.rfind('.'));
        if (ext == ".png")
            WritePNG(picture, path);
        else if (ext == ".jpg")
            WriteJPEG(picture, path, 90);
        else if (ext == ".gif")
            WriteGIF(picture, path, 8);
        else
            WriteBMP(picture, path);
        return path;
    }

    test::TTempDir FDir;
};

TEST_F(MemoryFailureTest, AReaderWithoutMemoryRaisesTheLoadFailure)
{
    for (const char *name : {"a.png", "a.jpg", "a.gif", "a.bmp"}) {
        SCOPED_TRACE(name);
        const std::string path = Picture(name);
        LimitAllocationsTo(256 << 10);
        try {
            ReadPicture(path);
            ADD_FAILURE() << "read";
        } catch (const EImageError &e) {
            EXPECT_EQ(std::string(e.what()), path + ": there is not enough memory to load the picture");
        }
        Unlimit();
    }
}

TEST_F(MemoryFailureTest, AViewWithoutMemoryRaisesAndLeavesNoView)
{
    TLogoDirObject node;
    TSourceImage image({4000, 4000}, Picture("a.png"), &node, false);
    LimitAllocationsTo(256 << 10);
    try {
        image.BuildView();
        ADD_FAILURE() << "built";
    } catch (const EImageError &e) {
        EXPECT_EQ(std::string(e.what()), image.FileName + ": there is not enough memory to show the picture");
    }
    EXPECT_TRUE(image.View.Empty());
}

TEST_F(MemoryFailureTest, ALogoThatCannotBeRenderedIsNoneAtAll)
{
    TLogoDirObject node;
    node.LogoWidth = node.LogoHeight = 400;
    TSourceImage image({4000, 4000}, Picture("a.png"), &node, false);
    image.BuildView();
    InitSelectionFrame(node, image.Metrics());
    TBitmap target(400, 400);
    ASSERT_TRUE(image.RenderLogo(target, 0, 0, {}));
    ASSERT_FALSE(image.Logo.Empty());

    // The resampler's working rows no longer fit.
    LimitAllocationsTo(1024);
    EXPECT_FALSE(image.RenderLogo(target, 0, 0, {true, kFillColour}));
    Unlimit();
    EXPECT_TRUE(image.Logo.Empty()); // so no command writes or sends half a logo
    EXPECT_EQ(target.Pixel(200, 200), kFillColour);
    EXPECT_EQ(target.Pixel(0, 0), clGray);

    // Writing what is not there names the cause.
    EXPECT_EQ(WriteLogoFileReason(image.Logo, "a.png", FDir / "out.png", 90, 8),
              "No logo has been rendered from the picture.");
}

} // namespace
} // namespace vantorel
