#include <algorithm>
#include <climits>
#include <cstring>

#include "AcquireTestSupport.h"
#include "Bitmap.h"

namespace vantorel::test {
namespace {

class TDibRoutinesTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (TW_HANDLE block : Blocks)
            TWAIN_FreeNative(block);
    }
    TW_HANDLE Block(const std::vector<std::uint8_t> &bytes)
    {
        Blocks.push_back(BlockOf(bytes));
        return Blocks.back();
    }
    std::vector<TW_HANDLE> Blocks;
};

// A 3 x 2 picture (odd width, so rows are padded) of six distinct colours.
const std::vector<std::vector<std::uint32_t>> Colours = {{0xFF0000, 0x00FF00, 0x0000FF},
                                                         {0xFFFFFF, 0x000000, 0x808080}};
const std::vector<std::uint32_t> Palette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};
const std::vector<std::vector<std::uint32_t>> Indexes = {{0, 1, 2}, {3, 4, 5}};

TEST_F(TDibRoutinesTest, DrawsEveryDepthUpright)
{
    auto rgb555 = [](std::uint32_t c) { return ((c >> 19) & 31) << 10 | ((c >> 11) & 31) << 5 | ((c >> 3) & 31); };
    auto rgb565 = [](std::uint32_t c) { return ((c >> 19) & 31) << 11 | ((c >> 10) & 63) << 5 | ((c >> 3) & 31); };
    auto map = [](std::uint32_t (*f)(std::uint32_t), const std::vector<std::vector<std::uint32_t>> &rows) {
        std::vector<std::vector<std::uint32_t>> out = rows;
        for (auto &row : out)
            for (auto &v : row)
                v = f(v);
        return out;
    };
    auto xrgb = [](std::uint32_t c) { return c << 8; }; // bit fields red 0xFF000000, green, blue
    std::vector<std::vector<std::uint32_t>> blackWhite = {{1, 0, 1}, {0, 1, 0}};
    struct TCase {
        const char *Description;
        TDibSpec Spec;
        std::vector<std::vector<std::uint32_t>> Pixels;
        std::vector<std::vector<std::uint32_t>> Expected;
    } cases[] = {
        {"1 bit", {3, 2, 1, BI_RGB, 0, {0x000000, 0xFFFFFF}}, blackWhite, {{0xFFFFFF, 0, 0xFFFFFF}, {0, 0xFFFFFF, 0}}},
        {"4 bits", {3, 2, 4, BI_RGB, 6, Palette}, Indexes, Colours},
        {"8 bits", {3, 2, 8, BI_RGB, 0, Palette}, Indexes, Colours},
        {"8 bits, top-down", {3, -2, 8, BI_RGB, 0, Palette}, Indexes, Colours},
        {"8 bits, 12-byte header", {3, 2, 8, BI_RGB, 0, Palette, {}, true}, Indexes, Colours},
        {"16 bits 5-5-5", {3, 2, 16}, map(+rgb555, Colours), Colours},
        {"16 bits 5-6-5 bit fields",
         {3, 2, 16, BI_BITFIELDS, 0, {}, {0xF800, 0x07E0, 0x001F}},
         map(+rgb565, Colours),
         Colours},
        {"24 bits", {3, 2, 24}, Colours, Colours},
        {"24 bits, top-down", {3, -2, 24}, Colours, Colours},
        {"32 bits", {3, 2, 32}, Colours, Colours},
        {"32 bits, top-down", {3, -2, 32}, Colours, Colours},
        {"32 bits bit fields",
         {3, 2, 32, BI_BITFIELDS, 0, {}, {0xFF000000, 0x00FF0000, 0x0000FF00}},
         map(+xrgb, Colours),
         Colours},
        {"32 bits with a colour table it does not use", {3, 2, 32, BI_RGB, 2, {1, 2}}, Colours, Colours},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Description);
        TW_HANDLE dib = Block(MakeDib(c.Spec, c.Pixels));
        ASSERT_TRUE(TWAIN_DibFitsBlock(dib));
        EXPECT_EQ(TWAIN_DibWidth(dib), 3);
        EXPECT_EQ(TWAIN_DibHeight(dib), 2);
        EXPECT_EQ(TWAIN_DibDepth(dib), c.Spec.BitCount);
        TBitmap picture(TWAIN_DibWidth(dib), TWAIN_DibHeight(dib), 0x123456);
        ASSERT_TRUE(DrawDibToImage(dib, picture));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                // 5-bit channels come back within rounding of the original.
                TColor got = picture.Pixel(x, y), want = Rgb(c.Expected[y][x]);
                for (int shift : {0, 8, 16})
                    EXPECT_NEAR((got >> shift) & 0xFF, (want >> shift) & 0xFF, 4) << x << "," << y;
            }
    }
}

TEST_F(TDibRoutinesTest, ColourTableAndBits)
{
    struct TCase {
        const char *Description;
        TDibSpec Spec;
        std::int32_t Colours;
        std::size_t BitsOffset;
    } cases[] = {
        {"8 bits, biClrUsed 0", {.BitCount = 8}, 256, 40 + 1024},
        {"8 bits, biClrUsed 16", {.BitCount = 8, .ClrUsed = 16}, 16, 40 + 64},
        {"1 bit", {.BitCount = 1}, 2, 48},
        {"24 bits", {.BitCount = 24}, 0, 40},
        {"32 bits: no table", {.BitCount = 32}, 0, 40},
        {"32 bits, biClrUsed 3", {.BitCount = 32, .ClrUsed = 3}, 3, 52},
        {"16 bits", {.BitCount = 16}, 0, 40},
        {"a table over 256 entries", {.BitCount = 24, .ClrUsed = 300}, 0, 40},
        {"bit fields add their masks", {.BitCount = 32, .Compression = BI_BITFIELDS}, 0, 52},
        {"bit fields after a table", {.BitCount = 16, .Compression = BI_BITFIELDS, .ClrUsed = 2}, 2, 60},
        {"12-byte header, 8 bits", {.BitCount = 8, .Core = true}, 256, 12 + 768},
        {"12-byte header, 24 bits", {.BitCount = 24, .Core = true}, 0, 12},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Description);
        std::vector<std::uint8_t> dib = MakeDib(c.Spec, {});
        EXPECT_EQ(DibNumColors(dib.data()), c.Colours);
        EXPECT_EQ(static_cast<std::size_t>(DibBits(dib.data()) - dib.data()), c.BitsOffset);
    }
    // Bit counts past 31 never reach a shift.
    std::vector<std::uint8_t> dib = MakeDib({.BitCount = 24}, {});
    for (std::uint16_t bits : {32, 33, 255, 65535}) {
        std::memcpy(dib.data() + 14, &bits, 2);
        EXPECT_EQ(DibNumColors(dib.data()), 0) << bits;
    }
}

TEST_F(TDibRoutinesTest, BlocksThatDoNotHoldTheirDibAreNotRead)
{
    auto patched = [](std::size_t at, std::int32_t value) {
        std::vector<std::uint8_t> dib = SmallDib(1);
        std::memcpy(dib.data() + at, &value, 4);
        return dib;
    };
    // Run-length pixels of a 2 x 2 block, with another size written into the header.
    auto undrawable = [](std::int32_t width, std::int32_t height) {
        std::vector<std::uint8_t> dib = MakeDib({.BitCount = 8, .Compression = BI_RLE8}, {});
        std::memcpy(dib.data() + 4, &width, 4);
        std::memcpy(dib.data() + 8, &height, 4);
        return dib;
    };
    struct TCase {
        const char *Description;
        std::vector<std::uint8_t> Dib;
    } cases[] = {
        {"biSize past the block", patched(0, 1 << 30)},
        {"biSize between the known ones", patched(0, 24)},
        {"width 0", patched(4, 0)},
        {"negative width", patched(4, -3)},
        {"the most negative height", patched(8, INT_MIN)},
        {"more rows than the block holds", patched(8, 3)},
        {"wider than the block holds", patched(4, 1000000)},
        {"one it cannot draw, of the most negative height", undrawable(2, INT_MIN)},
        {"one it cannot draw, of more pixels than its block describes", undrawable(1000000, 1000)},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Description);
        TW_HANDLE dib = Block(c.Dib);
        EXPECT_FALSE(TWAIN_DibFitsBlock(dib));
        EXPECT_EQ(TWAIN_DibWidth(dib), 0);
        EXPECT_EQ(TWAIN_DibHeight(dib), 0);
        TBitmap picture(2, 2, 0x123456);
        TWAIN_DrawDibToDC(picture, 0, 0, 2, 2, dib, 0, 0);
        EXPECT_EQ(picture, TBitmap(2, 2, 0x123456));
    }
    int notABlock[8] = {};
    EXPECT_EQ(TWAIN_DibWidth(notABlock), 0);
    EXPECT_EQ(TWAIN_DibWidth(nullptr), 0);
}

TEST_F(TDibRoutinesTest, DibsItCannotDrawKeepTheirSizeAndDrawNothing)
{
    struct TCase {
        const char *Description;
        TDibSpec Spec;
    } cases[] = {
        {"8-bit run-length", {3, 2, 8, BI_RLE8}},
        {"4-bit run-length, top-down", {3, -2, 4, BI_RLE4}},
        {"2 bits a pixel", {3, 2, 2}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Description);
        TW_HANDLE dib = Block(MakeDib(c.Spec, {}));
        ASSERT_TRUE(TWAIN_DibFitsBlock(dib));
        EXPECT_EQ(TWAIN_DibWidth(dib), 3);
        EXPECT_EQ(TWAIN_DibHeight(dib), 2);
        TBitmap picture(3, 2, 0x123456);
        EXPECT_FALSE(DrawDibToImage(dib, picture));
        EXPECT_EQ(picture, TBitmap(3, 2, 0x123456));
    }
}

TEST_F(TDibRoutinesTest, DrawsAPartClippedToBothPictures)
{
    TW_HANDLE dib = Block(MakeDib({3, 2, 24}, Colours));
    struct TCase {
        const char *Description;
        std::int32_t Dx, Dy, W, H, Sx, Sy;
        std::vector<std::pair<TPoint, std::uint32_t>> Expected; // untouched pixels stay grey
    } cases[] = {
        {"a part from (1, 1)", 0, 0, 2, 1, 1, 1, {{{0, 0}, 0x000000}, {{1, 0}, 0x808080}, {{2, 0}, 0x123456}}},
        {"past the right and bottom edges", 2, 1, 10, 10, 0, 0, {{{2, 1}, 0xFF0000}, {{1, 1}, 0x123456}}},
        {"from left of and above the picture", -1, -1, 3, 3, 0, 0, {{{0, 0}, 0x000000}, {{1, 0}, 0x808080}}},
        {"a source outside the DIB", 0, 0, 2, 2, 5, 5, {{{0, 0}, 0x123456}}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Description);
        TBitmap picture(3, 2, Rgb(0x123456));
        TWAIN_DrawDibToDC(picture, c.Dx, c.Dy, c.W, c.H, dib, c.Sx, c.Sy);
        for (const auto &[at, rgb] : c.Expected)
            EXPECT_EQ(picture.Pixel(at.X, at.Y), Rgb(rgb)) << at.X << "," << at.Y;
    }
}

TEST_F(TDibRoutinesTest, IndexesPastTheColourTableReadAsBlack)
{
    TW_HANDLE dib = Block(MakeDib({2, 1, 8, BI_RGB, 1, {0xFFFFFF}}, {{0, 200}}));
    TBitmap picture(2, 1, clBlue);
    DrawDibToImage(dib, picture);
    EXPECT_EQ(picture.Pixel(0, 0), clWhite);
    EXPECT_EQ(picture.Pixel(1, 0), clBlack);
}

TEST_F(TDibRoutinesTest, MemoryBlocksKnowTheirSize)
{
    TW_HANDLE block = GlobalAlloc(10);
    Blocks.push_back(block);
    EXPECT_EQ(GlobalSize(block), 10u);
    auto *data = static_cast<std::uint8_t *>(GlobalLock(block));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::count(data, data + 10, 0), 10);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data) % 16, 0u);
    std::uint64_t notABlock[4] = {};
    EXPECT_EQ(GlobalLock(notABlock), nullptr);
    EXPECT_EQ(GlobalSize(nullptr), 0u);
    GlobalFree(notABlock); // ignored
    EXPECT_EQ(GlobalAlloc(SIZE_MAX), nullptr);
}

} // namespace
} // namespace vantorel::test
