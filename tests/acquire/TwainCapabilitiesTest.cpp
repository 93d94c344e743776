#include <vector>

#include "AcquireTestSupport.h"

namespace vantorel::test {
namespace {

class TTwainCapabilitiesTest : public ::testing::Test {};

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
