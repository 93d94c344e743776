#include <vector>

#include "AcquireTestSupport.h"

namespace vantorel::test {
namespace {

class TTwainCapabilitiesTest : public TTwainTestBase {
protected:
    void OpenSource()
    {
        ASSERT_TRUE(TWAIN_OpenSourceManager(Handle));
        ASSERT_TRUE(TWAIN_OpenDefaultSource());
    }
    void TearDown() override
    {
        TWAIN_CloseSourceManager(Handle);
        TWAIN_UnloadSourceManager();
        TTwainTestBase::TearDown();
    }
};

TEST_F(TTwainCapabilitiesTest, OneValueNeedsAnOpenSource)
{
    EXPECT_EQ(TWAIN_GetPixelType(), 0);
    EXPECT_EQ(TWAIN_SetCurrentPixelType(TWPT_BW), 0);
    EXPECT_EQ(Boxes, (std::vector<TBox>{ErrorBox("Attempt to get capability value below State 4."),
                                        ErrorBox("Attempt to set capability outside State 4.")}));
    EXPECT_TRUE(Script().Calls.empty());
}

TEST_F(TTwainCapabilitiesTest, ReadsTheCurrentValueOfACompatibleContainer)
{
    OpenSource();
    struct TCase {
        const char *Description;
        TW_UINT16 ConType;
        TW_UINT16 ItemType;
        std::vector<TW_UINT32> Items;
        std::int32_t Expected;
    } cases[] = {
        {"an enumeration at its current index", TWON_ENUMERATION, TWTY_UINT16, {2, 1, 0}, 2},
        {"one value", TWON_ONEVALUE, TWTY_UINT16, {1}, 1},
        {"a signed item of the same size", TWON_ONEVALUE, TWTY_INT16, {3}, 3},
        {"an item of another size", TWON_ENUMERATION, TWTY_UINT32, {2}, 0},
        {"an empty enumeration", TWON_ENUMERATION, TWTY_UINT16, {}, 0},
        {"a range", TWON_RANGE, TWTY_UINT16, {2}, 0},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Description);
        Script().ConType = c.ConType;
        Script().ItemType = c.ItemType;
        Script().PixelTypes = c.Items;
        EXPECT_EQ(TWAIN_GetPixelType(), c.Expected);
        EXPECT_EQ(Script().CapGetPreset, TWON_DONTCARE16);
    }
    Script().CapGetResult = TWRC_FAILURE;
    EXPECT_EQ(TWAIN_GetPixelType(), 0);
    EXPECT_EQ(Script().Count(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT), 7u);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(TTwainCapabilitiesTest, SetsOneValue)
{
    OpenSource();
    EXPECT_EQ(TWAIN_SetCurrentPixelType(TWPT_RGB), 1);
    EXPECT_EQ(Script().SetConType, TWON_ONEVALUE);
    EXPECT_EQ(Script().SetItems, std::vector<TW_UINT16>{TWPT_RGB});
    Script().CapSetResult = TWRC_FAILURE;
    EXPECT_EQ(TWAIN_SetCurrentPixelType(TWPT_RGB), 0);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(TTwainCapabilitiesTest, FilterItemListKeepsTheCommonValuesAscending)
{
    struct TCase {
        std::uint32_t Mask;
        std::vector<TW_UINT16> Items;
        std::vector<TW_UINT16> Kept;
    } cases[] = {
        {0x5, {2, 1, 0}, {0, 2}}, {0x7, {2, 2, 1}, {1, 2}}, {0xFFFFFFFF, {40, 32, 31, 65535}, {31}},
        {0x0, {0, 1, 2}, {}},     {0x2, {0, 2}, {}},
    };
    for (const TCase &c : cases) {
        std::vector<TW_UINT16> items = c.Items;
        TW_UINT32 kept = FilterItemList(c.Mask, static_cast<TW_UINT32>(items.size()), items.data());
        items.resize(kept);
        EXPECT_EQ(items, c.Kept) << c.Mask;
    }
    EXPECT_EQ(BitCount(0x5), 2);
    EXPECT_EQ(BitCount(0xFFFFFFFF), 32);
}

} // namespace
} // namespace vantorel::test
