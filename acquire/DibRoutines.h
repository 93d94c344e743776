#pragma once

// The DIB routines of the TWAIN wrapper (MultiTWAIN.h): the layout of a DIB block, read without
// going past its end, and its pixels drawn into a bitmap.

#include <cstdint>

#include "TwainTypes.h"

namespace vantorel {

class TBitmap;

// Width and height in pixels of a DIB handle, both positive: a top-down DIB (negative biHeight)
// has the height of its rows too. 0 for a block that does not hold a whole DIB.
std::int32_t TWAIN_DibWidth(TW_HANDLE dib);
std::int32_t TWAIN_DibHeight(TW_HANDLE dib);
std::int32_t TWAIN_DibDepth(TW_HANDLE dib);
std::int32_t TWAIN_DibNumColors(TW_HANDLE dib);
// The colour table's entries of a DIB header (12- or 40-byte and longer), 0 when it has none.
std::int32_t DibNumColors(const void *header);
// The first pixel row of a DIB: after the header, the colour table and any BI_BITFIELDS masks.
const std::uint8_t *DibBits(const void *header);
// Whether a DIB block is whole: a known header, its colour table, masks and pixel rows all
// inside the block. The routines below draw nothing from a block that is not.
bool TWAIN_DibFitsBlock(TW_HANDLE dib);

// Copies w x h pixels of the DIB from (sx, sy), counted from its top-left corner, to (dx, dy) of
// the bitmap (which stands for the device context), clipped to both. 1-, 4-, 8-, 16-, 24- and
// 32-bit DIBs, BI_RGB or BI_BITFIELDS, bottom-up or top-down.
void TWAIN_DrawDibToDC(TBitmap &dc, std::int32_t dx, std::int32_t dy, std::int32_t w, std::int32_t h, TW_HANDLE dib,
                       std::int32_t sx, std::int32_t sy);
// Draws the whole DIB 1:1 at (0, 0) into the picture, which the caller sized to TWAIN_DibWidth x
// TWAIN_DibHeight beforehand. False, drawing nothing, for a DIB whose pixels are of a kind the
// routines cannot draw or that does not fit its block.
bool DrawDibToImage(TW_HANDLE dib, TBitmap &image);

} // namespace vantorel
