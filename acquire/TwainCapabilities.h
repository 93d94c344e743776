#pragma once

// The capabilities of the open source (state 4): one value set or read at a time, and the
// negotiation of the pixel types an acquisition allows. Part of the TWAIN wrapper (MultiTWAIN.h).

#include <cstdint>

#include "TwainTypes.h"

namespace vantorel {

// Operations the program does not call, kept for completeness of the wrapper.
std::int32_t TWAIN_SetCapOneValue(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 value); // state 4 only
std::int32_t TWAIN_SetXferCount(std::int32_t count);
std::int32_t TWAIN_SetCurrentUnits(std::int32_t units);
std::int32_t TWAIN_SetBitDepth(std::int32_t bits);
std::int32_t TWAIN_SetCurrentPixelType(std::int32_t pixelType);
// Copies the current value into value (which must hold the item type's size); true when copied.
std::int32_t TWAIN_GetCapCurrent(TW_UINT16 cap, TW_UINT16 itemType, void *value);
std::int32_t TWAIN_GetCurrentUnits();
std::int32_t TWAIN_GetBitDepth();
std::int32_t TWAIN_GetPixelType();

// Keeps in ICAP_PIXELTYPE only the types the mask allows (bit n for type n; 0 allows any, and
// nothing is sent). Only in state 4; failures record errors 2, 3 and 7 to 13.
std::int32_t TWAIN_NegotiatePixelTypes(std::uint32_t mask);
// Rewrites items with the values both in the list and in the mask, ascending; returns how many.
// Values of 32 or more are never in a mask.
TW_UINT32 FilterItemList(std::uint32_t mask, TW_UINT32 count, TW_UINT16 *items);
// The number of set bits of a mask.
std::int32_t BitCount(std::uint32_t value);

} // namespace vantorel
