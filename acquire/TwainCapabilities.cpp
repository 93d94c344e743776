#include "TwainCapabilities.h"

#include <bit>
#include <cstddef>
#include <cstring>
#include <iterator>

#include "TwainMemory.h"
#include "TwainStateLayer.h"

namespace vantorel {

namespace {

std::size_t ItemSize(TW_UINT16 itemType)
{
    static constexpr std::size_t sizes[] = {1, 2, 4, 1, 2, 4, 2, 4, 16, 34, 66, 130, 256};
    return itemType < std::size(sizes) ? sizes[itemType] : 0;
}

} // namespace

std::int32_t TWAIN_SetCapOneValue(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 value)
{
    if (TWAIN_State() != 4) {
        TWAIN_ErrorBox("Attempt to set capability outside State 4.");
        return 0;
    }
    TW_HANDLE container = GlobalAlloc(sizeof(TW_ONEVALUE));
    if (!container) {
        TWAIN_ErrorBox("Insufficient Memory");
        return 0;
    }
    auto *one = static_cast<TW_ONEVALUE *>(GlobalLock(container));
    one->ItemType = itemType;
    one->Item = value;
    GlobalUnlock(container);
    TW_CAPABILITY capability{cap, TWON_ONEVALUE, container};
    std::int32_t result = TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
    GlobalFree(container);
    return result;
}

std::int32_t TWAIN_SetXferCount(std::int32_t count)
{
    return TWAIN_SetCapOneValue(CAP_XFERCOUNT, TWTY_INT16, static_cast<TW_UINT32>(count));
}

std::int32_t TWAIN_SetCurrentUnits(std::int32_t units)
{
    return TWAIN_SetCapOneValue(ICAP_UNITS, TWTY_UINT16, static_cast<TW_UINT32>(units));
}

std::int32_t TWAIN_SetBitDepth(std::int32_t bits)
{
    return TWAIN_SetCapOneValue(ICAP_BITDEPTH, TWTY_UINT16, static_cast<TW_UINT32>(bits));
}

std::int32_t TWAIN_SetCurrentPixelType(std::int32_t pixelType)
{
    return TWAIN_SetCapOneValue(ICAP_PIXELTYPE, TWTY_UINT16, static_cast<TW_UINT32>(pixelType));
}

std::int32_t TWAIN_GetCapCurrent(TW_UINT16 cap, TW_UINT16 itemType, void *value)
{
    TWAIN_Assert(value != nullptr);
    if (TWAIN_State() < 4) {
        TWAIN_ErrorBox("Attempt to get capability value below State 4.");
        return 0;
    }
    TW_CAPABILITY capability{cap, TWON_DONTCARE16, nullptr};
    bool ok = TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &capability);
    const auto *data = static_cast<const std::uint8_t *>(GlobalLock(capability.hContainer));
    std::size_t size = GlobalSize(capability.hContainer);
    std::int32_t copied = 0;
    if (ok && data && size >= sizeof(TW_UINT16)) {
        TW_UINT16 sourceType;
        std::memcpy(&sourceType, data, sizeof sourceType);
        const std::uint8_t *item = nullptr;
        if (capability.ConType == TWON_ONEVALUE && size >= sizeof(TW_ONEVALUE)) {
            item = data + offsetof(TW_ONEVALUE, Item);
            // Strings and frames do not fit a one-value container.
            if (ItemSize(sourceType) > sizeof(TW_UINT32))
                item = nullptr;
        } else if (capability.ConType == TWON_ENUMERATION && size >= TW_ENUMERATION_HEADER_SIZE) {
            const auto *enumeration = reinterpret_cast<const TW_ENUMERATION *>(data);
            std::uint64_t at =
                TW_ENUMERATION_HEADER_SIZE + std::uint64_t{enumeration->CurrentIndex} * ItemSize(sourceType);
            if (enumeration->CurrentIndex < enumeration->NumItems && at + ItemSize(sourceType) <= size)
                item = data + at;
        }
        bool integers = sourceType <= TWTY_UINT32 && itemType <= TWTY_UINT32;
        bool compatible = sourceType == itemType || (integers && ItemSize(sourceType) == ItemSize(itemType));
        if (item && value && compatible && ItemSize(itemType) > 0) {
            std::memcpy(value, item, ItemSize(itemType));
            copied = 1;
        }
    }
    GlobalUnlock(capability.hContainer);
    GlobalFree(capability.hContainer);
    return copied;
}

std::int32_t TWAIN_GetCurrentUnits()
{
    TW_UINT16 value = 0;
    return TWAIN_GetCapCurrent(ICAP_UNITS, TWTY_UINT16, &value) ? value : 0;
}

std::int32_t TWAIN_GetBitDepth()
{
    TW_UINT16 value = 0;
    return TWAIN_GetCapCurrent(ICAP_BITDEPTH, TWTY_UINT16, &value) ? value : 0;
}

std::int32_t TWAIN_GetPixelType()
{
    TW_UINT16 value = 0;
    return TWAIN_GetCapCurrent(ICAP_PIXELTYPE, TWTY_UINT16, &value) ? value : 0;
}

std::int32_t TWAIN_NegotiatePixelTypes(std::uint32_t mask)
{
    if (TWAIN_State() != 4) {
        TWAIN_RecordError(7);
        return 0;
    }
    if (mask == 0)
        return 1;
    TW_CAPABILITY capability{ICAP_PIXELTYPE, TWON_ENUMERATION, nullptr};
    if (!TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &capability)) {
        TWAIN_RecordError(2);
        GlobalFree(capability.hContainer);
        return 0;
    }
    if (!capability.hContainer) {
        TWAIN_RecordError(8);
        return 0;
    }
    auto *data = static_cast<std::uint8_t *>(GlobalLock(capability.hContainer));
    if (!data) {
        TWAIN_RecordError(9);
        return 0;
    }
    std::size_t size = GlobalSize(capability.hContainer);
    bool result = false;
    switch (capability.ConType) {
    case TWON_ARRAY:
    case TWON_ENUMERATION: {
        bool enumeration = capability.ConType == TWON_ENUMERATION;
        std::size_t headerSize = enumeration ? TW_ENUMERATION_HEADER_SIZE : TW_ARRAY_HEADER_SIZE;
        if (size < headerSize) {
            // A container that does not hold its own header cannot be used at all.
            TWAIN_RecordError(9);
            break;
        }
        auto *array = reinterpret_cast<TW_ARRAY *>(data);
        TW_UINT32 count = array->NumItems;
        if (count < 1) {
            TWAIN_RecordError(12);
        } else if (array->ItemType != TWTY_UINT16 && array->ItemType != TWTY_INT16) {
            TWAIN_RecordError(11);
        } else if (std::uint64_t{count} * sizeof(TW_UINT16) > size - headerSize) {
            TWAIN_RecordError(9);
        } else {
            if (enumeration) {
                auto *list = reinterpret_cast<TW_ENUMERATION *>(data);
                list->CurrentIndex = 0xFFFFFFFF;
                list->DefaultIndex = 0xFFFFFFFF;
            }
            auto *items = reinterpret_cast<TW_UINT16 *>(data + headerSize);
            array->NumItems = FilterItemList(mask, count, items);
            result = array->NumItems != 0;
            if (!result)
                TWAIN_RecordError(13);
        }
        break;
    }
    case TWON_ONEVALUE: {
        if (size < sizeof(TW_ONEVALUE)) {
            TWAIN_RecordError(9);
            break;
        }
        TW_UINT32 item = reinterpret_cast<TW_ONEVALUE *>(data)->Item;
        result = item < 32 && ((mask >> item) & 1) != 0;
        if (!result)
            TWAIN_RecordError(13);
        break;
    }
    default:
        TWAIN_RecordError(10);
        break;
    }
    GlobalUnlock(capability.hContainer);
    if (result && capability.ConType != TWON_ONEVALUE && !TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability)) {
        TWAIN_RecordError(3);
        result = false;
    }
    GlobalFree(capability.hContainer);
    return result;
}

TW_UINT32 FilterItemList(std::uint32_t mask, TW_UINT32 count, TW_UINT16 *items)
{
    std::uint32_t present = 0;
    for (TW_UINT32 i = 0; i < count; ++i)
        if (items[i] < 32)
            present |= std::uint32_t{1} << items[i];
    present &= mask;
    TW_UINT32 kept = 0;
    for (TW_UINT16 value = 0; value < 32; ++value)
        if ((present >> value) & 1)
            items[kept++] = value;
    return kept;
}

std::int32_t BitCount(std::uint32_t value) { return std::popcount(value); }

} // namespace vantorel
