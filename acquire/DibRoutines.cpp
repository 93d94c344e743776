#include "DibRoutines.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "Bitmap.h"
#include "TwainMemory.h"

namespace vantorel {

namespace {

// The layout of a DIB block, worked out without reading past its end.
struct TDibLayout {
    std::uint32_t HeaderSize = 0;
    std::int64_t Width = 0;
    std::int64_t Height = 0; // rows, always positive
    bool TopDown = false;
    std::uint16_t BitCount = 0;
    std::uint32_t Compression = BI_RGB;
    std::uint32_t Colors = 0;
    std::uint32_t EntrySize = 4;
    std::uint64_t BitsOffset = 0;
    std::uint64_t Stride = 0;
    std::uint32_t Masks[3] = {0, 0, 0};
};

bool Drawable(const TDibLayout &layout)
{
    switch (layout.BitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
        return layout.Compression == BI_RGB;
    case 16:
    case 32:
        return layout.Compression == BI_RGB || layout.Compression == BI_BITFIELDS;
    default:
        return false;
    }
}

std::uint32_t ReadU32(const std::uint8_t *p)
{
    std::uint32_t value;
    std::memcpy(&value, p, 4);
    return value;
}

bool ReadDibLayout(const std::uint8_t *data, std::size_t size, TDibLayout &layout)
{
    if (!data || size < 4)
        return false;
    layout.HeaderSize = ReadU32(data);
    if (layout.HeaderSize == sizeof(BITMAPCOREHEADER)) {
        if (size < sizeof(BITMAPCOREHEADER))
            return false;
        BITMAPCOREHEADER core;
        std::memcpy(&core, data, sizeof core);
        layout.Width = core.bcWidth;
        layout.Height = core.bcHeight;
        layout.BitCount = core.bcBitCount;
        layout.EntrySize = 3;
    } else if (layout.HeaderSize >= sizeof(BITMAPINFOHEADER)) {
        if (size < layout.HeaderSize)
            return false;
        BITMAPINFOHEADER info;
        std::memcpy(&info, data, sizeof info);
        layout.Width = info.biWidth;
        layout.TopDown = info.biHeight < 0;
        layout.Height = info.biHeight < 0 ? -static_cast<std::int64_t>(info.biHeight) : info.biHeight;
        layout.BitCount = info.biBitCount;
        layout.Compression = info.biCompression;
    } else {
        return false;
    }
    layout.Colors = static_cast<std::uint32_t>(DibNumColors(data));
    std::uint64_t offset = std::uint64_t{layout.HeaderSize} + std::uint64_t{layout.Colors} * layout.EntrySize;
    if (layout.Compression == BI_BITFIELDS) {
        // After a 40-byte header the three masks follow it; longer headers hold them.
        std::uint64_t masksAt = layout.HeaderSize == sizeof(BITMAPINFOHEADER) ? offset : sizeof(BITMAPINFOHEADER);
        if (masksAt + 12 > size)
            return false;
        for (int i = 0; i < 3; ++i)
            layout.Masks[i] = ReadU32(data + masksAt + 4 * i);
        if (layout.HeaderSize == sizeof(BITMAPINFOHEADER))
            offset += 12;
    }
    layout.BitsOffset = offset;
    // A biHeight of -2^31 has no 32-bit row count: such a size is impossible.
    if (offset > size || layout.Width <= 0 || layout.Height <= 0 || layout.Height > INT32_MAX)
        return false;
    if (Drawable(layout)) {
        layout.Stride = ((static_cast<std::uint64_t>(layout.Width) * layout.BitCount + 31) / 32) * 4;
        return layout.Stride * static_cast<std::uint64_t>(layout.Height) <= size - offset;
    }
    // Pixels this wrapper cannot draw: their declared size must be in the block, and their
    // picture no larger than the block can describe. Run-length data, the densest a DIB has,
    // codes at most 255 pixels in 2 bytes.
    std::uint32_t sizeImage = layout.HeaderSize >= sizeof(BITMAPINFOHEADER) ? ReadU32(data + 20) : 0;
    const std::uint64_t pixels = static_cast<std::uint64_t>(layout.Width) * static_cast<std::uint64_t>(layout.Height);
    return sizeImage <= size - offset && pixels <= (size - offset) * 255 / 2;
}

bool LockDib(TW_HANDLE dib, const std::uint8_t *&data, TDibLayout &layout)
{
    data = static_cast<const std::uint8_t *>(GlobalLock(dib));
    return data && ReadDibLayout(data, GlobalSize(dib), layout);
}

// One channel of a BI_BITFIELDS pixel scaled to 8 bits; a zero mask gives 0.
std::uint8_t MaskedChannel(std::uint32_t value, std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = std::countr_zero(mask);
    std::uint64_t field = (value & mask) >> shift;
    std::uint64_t maximum = (std::uint64_t{mask} >> shift);
    return static_cast<std::uint8_t>((field * 255 + maximum / 2) / maximum);
}

// The colour of pixel x of a row as blue, green, red.
void ReadPixel(const TDibLayout &layout, const std::uint8_t *table, const std::uint8_t *row, std::int64_t x,
               std::uint8_t bgr[3])
{
    std::uint32_t index = 0;
    switch (layout.BitCount) {
    case 1:
        index = (row[x / 8] >> (7 - x % 8)) & 1;
        break;
    case 4:
        index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF;
        break;
    case 8:
        index = row[x];
        break;
    case 16: {
        std::uint32_t value = row[2 * x] | (row[2 * x + 1] << 8);
        if (layout.Compression == BI_BITFIELDS) {
            bgr[0] = MaskedChannel(value, layout.Masks[2]);
            bgr[1] = MaskedChannel(value, layout.Masks[1]);
            bgr[2] = MaskedChannel(value, layout.Masks[0]);
        } else {
            bgr[0] = MaskedChannel(value, 0x001F);
            bgr[1] = MaskedChannel(value, 0x03E0);
            bgr[2] = MaskedChannel(value, 0x7C00);
        }
        return;
    }
    case 24:
        std::memcpy(bgr, row + 3 * x, 3);
        return;
    case 32:
        if (layout.Compression == BI_BITFIELDS) {
            std::uint32_t value = ReadU32(row + 4 * x);
            bgr[0] = MaskedChannel(value, layout.Masks[2]);
            bgr[1] = MaskedChannel(value, layout.Masks[1]);
            bgr[2] = MaskedChannel(value, layout.Masks[0]);
        } else {
            std::memcpy(bgr, row + 4 * x, 3);
        }
        return;
    }
    // An index past the colour table reads as black.
    if (index < layout.Colors) {
        std::memcpy(bgr, table + index * layout.EntrySize, 3);
    } else {
        bgr[0] = bgr[1] = bgr[2] = 0;
    }
}

} // namespace

std::int32_t TWAIN_DibWidth(TW_HANDLE dib)
{
    const std::uint8_t *data;
    TDibLayout layout;
    return LockDib(dib, data, layout) ? static_cast<std::int32_t>(layout.Width) : 0;
}

std::int32_t TWAIN_DibHeight(TW_HANDLE dib)
{
    const std::uint8_t *data;
    TDibLayout layout;
    // A fitting DIB's rows are within its block, so the height is within 32 bits.
    return LockDib(dib, data, layout) ? static_cast<std::int32_t>(layout.Height) : 0;
}

std::int32_t TWAIN_DibDepth(TW_HANDLE dib)
{
    const std::uint8_t *data;
    TDibLayout layout;
    return LockDib(dib, data, layout) ? layout.BitCount : 0;
}

std::int32_t TWAIN_DibNumColors(TW_HANDLE dib)
{
    const std::uint8_t *data;
    TDibLayout layout;
    return LockDib(dib, data, layout) ? static_cast<std::int32_t>(layout.Colors) : 0;
}

std::int32_t DibNumColors(const void *header)
{
    const auto *data = static_cast<const std::uint8_t *>(header);
    std::uint32_t bitCount;
    std::uint32_t colors = 0;
    if (ReadU32(data) == sizeof(BITMAPCOREHEADER)) {
        BITMAPCOREHEADER core;
        std::memcpy(&core, data, sizeof core);
        bitCount = core.bcBitCount;
    } else {
        BITMAPINFOHEADER info;
        std::memcpy(&info, data, sizeof info);
        bitCount = info.biBitCount;
        colors = info.biClrUsed;
    }
    // Above 8 bits a table is there only when biClrUsed names one; the power is never formed.
    if (colors == 0 && bitCount <= 8)
        colors = std::uint32_t{1} << bitCount;
    return colors > 256 ? 0 : static_cast<std::int32_t>(colors);
}

const std::uint8_t *DibBits(const void *header)
{
    const auto *data = static_cast<const std::uint8_t *>(header);
    std::uint32_t size = ReadU32(data);
    std::uint32_t entry = size == sizeof(BITMAPCOREHEADER) ? 3 : 4;
    const std::uint8_t *bits = data + size + static_cast<std::uint32_t>(DibNumColors(header)) * entry;
    if (size == sizeof(BITMAPINFOHEADER) && ReadU32(data + 16) == BI_BITFIELDS)
        bits += 12;
    return bits;
}

bool TWAIN_DibFitsBlock(TW_HANDLE dib)
{
    const std::uint8_t *data;
    TDibLayout layout;
    return LockDib(dib, data, layout);
}

void TWAIN_DrawDibToDC(TBitmap &dc, std::int32_t dx, std::int32_t dy, std::int32_t w, std::int32_t h, TW_HANDLE dib,
                       std::int32_t sx, std::int32_t sy)
{
    const std::uint8_t *data;
    TDibLayout layout;
    if (!LockDib(dib, data, layout) || !Drawable(layout)) {
        GlobalUnlock(dib);
        return;
    }
    const std::uint8_t *bits = data + layout.BitsOffset;
    const std::uint8_t *table = data + layout.HeaderSize;
    // Clip the copied rectangle to the DIB and to the bitmap, in 64 bits.
    std::int64_t x0 = std::max<std::int64_t>({0, -std::int64_t{sx}, -std::int64_t{dx}});
    std::int64_t y0 = std::max<std::int64_t>({0, -std::int64_t{sy}, -std::int64_t{dy}});
    std::int64_t x1 = std::min<std::int64_t>({w, layout.Width - sx, std::int64_t{dc.Width()} - dx});
    std::int64_t y1 = std::min<std::int64_t>({h, layout.Height - sy, std::int64_t{dc.Height()} - dy});
    for (std::int64_t y = y0; y < y1; ++y) {
        std::int64_t sourceRow = sy + y;
        std::int64_t stored = layout.TopDown ? sourceRow : layout.Height - 1 - sourceRow;
        const std::uint8_t *row = bits + static_cast<std::uint64_t>(stored) * layout.Stride;
        std::uint8_t *target = dc.Scanline(static_cast<std::int32_t>(dy + y));
        for (std::int64_t x = x0; x < x1; ++x) {
            std::uint8_t bgr[3];
            ReadPixel(layout, table, row, sx + x, bgr);
            std::uint8_t *pixel = target + 3 * (dx + x);
            pixel[0] = bgr[2];
            pixel[1] = bgr[1];
            pixel[2] = bgr[0];
        }
    }
    GlobalUnlock(dib);
}

bool DrawDibToImage(TW_HANDLE dib, TBitmap &image)
{
    const std::uint8_t *data;
    TDibLayout layout;
    const bool drawable = LockDib(dib, data, layout) && Drawable(layout);
    GlobalUnlock(dib);
    if (drawable)
        TWAIN_DrawDibToDC(image, 0, 0, TWAIN_DibWidth(dib), TWAIN_DibHeight(dib), dib, 0, 0);
    return drawable;
}

} // namespace vantorel
