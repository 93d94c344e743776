// The DIB routines on a memory block of the TWAIN layer: for any block the size queries agree
// with each other, and a block that holds a whole DIB draws, in full and clipped anywhere,
// without reading outside the block.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Bitmap.h"
#include "FuzzSupport.h"
#include "MultiTWAIN.h"
#include "TwainMemory.h"

namespace {

// The first 8 bytes of the input place a clipped copy; the rest is the block's data.
std::int32_t Coordinate(const std::uint8_t *p) { return static_cast<std::int16_t>(p[0] | p[1] << 8); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vantorel;
    using namespace vantorel::fuzz;
    if (size < 8)
        return 0;
    const std::int32_t dx = Coordinate(data), dy = Coordinate(data + 2);
    const std::int32_t sx = Coordinate(data + 4), sy = Coordinate(data + 6);
    data += 8;
    size -= 8;

    TW_HANDLE block = GlobalAlloc(size);
    Expect(block != nullptr, "no block");
    if (size > 0)
        std::memcpy(GlobalLock(block), data, size);
    GlobalUnlock(block);

    const bool fits = TWAIN_DibFitsBlock(block);
    const std::int32_t width = TWAIN_DibWidth(block);
    const std::int32_t height = TWAIN_DibHeight(block);
    const std::int32_t depth = TWAIN_DibDepth(block);
    const std::int32_t colors = TWAIN_DibNumColors(block);
    if (!fits) {
        Expect(width == 0 && height == 0 && depth == 0 && colors == 0, "a block that does not fit has a size");
    } else {
        Expect(width > 0 && height > 0, "a fitting DIB without a size");
        Expect(static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <= 128 * std::uint64_t{size},
               "a fitting DIB larger than its block");
        Expect(colors >= 0 && colors <= 256, "a colour table beyond 256 entries");
        // A DIB the routines draw holds at most 8 pixels a byte; others draw nothing, and may
        // claim up to 255 pixels in 2 bytes, as run-length data does.
        if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <= 8 * std::uint64_t{size}) {
            TBitmap image(width, height);
            DrawDibToImage(block, image);
        }
        TBitmap clipped(64, 64);
        TWAIN_DrawDibToDC(clipped, dx, dy, width, height, block, sx, sy);
    }
    GlobalFree(block);
    return 0;
}
