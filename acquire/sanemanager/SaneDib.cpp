#include "SaneDib.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "TwainMemory.h"

namespace vantorel {

namespace {

// A DIB's size is a 32-bit field: no picture may need more.
constexpr std::uint64_t MaxPixelBytes = 0x7FFFFFFF - sizeof(BITMAPINFOHEADER) - 256 * 4;
// What a line may hold past its pixels: a driver's alignment, not room it makes us keep.
constexpr std::uint64_t MaxLinePadding = 64;
// The block grows by an eighth, at least this much: few moves, little room unused.
constexpr std::uint64_t GrowBytes = 1024 * 1024;

bool SingleChannel(SANE_Frame format)
{
    return format == SANE_FRAME_RED || format == SANE_FRAME_GREEN || format == SANE_FRAME_BLUE;
}

std::uint8_t HighByte(const SANE_Byte *sample)
{
    std::uint16_t value;
    std::memcpy(&value, sample, sizeof value);
    return static_cast<std::uint8_t>(value >> 8);
}

// The byte of sample i of a line of 8- or 16-bit samples.
std::uint8_t Sample(const SANE_Byte *line, std::size_t i, int depth)
{
    return depth == 16 ? HighByte(line + 2 * i) : line[i];
}

} // namespace

TSaneDibBuilder::~TSaneDibBuilder() { GlobalFree(FBlock); }

SANE_Status TSaneDibBuilder::BeginFrame(const SANE_Parameters &p)
{
    if (p.pixels_per_line <= 0 || p.bytes_per_line <= 0 || p.lines < -1)
        return SANE_STATUS_INVAL;
    std::uint16_t bitCount;
    std::uint64_t samples = static_cast<std::uint64_t>(p.pixels_per_line);
    switch (p.format) {
    case SANE_FRAME_GRAY:
        bitCount = p.depth == 1 ? 1 : 8;
        break;
    case SANE_FRAME_RGB:
        bitCount = 24;
        samples *= 3;
        break;
    case SANE_FRAME_RED:
    case SANE_FRAME_GREEN:
    case SANE_FRAME_BLUE:
        bitCount = 24;
        break;
    default:
        return SANE_STATUS_UNSUPPORTED;
    }
    if (p.depth != 8 && p.depth != 16 && !(p.depth == 1 && p.format == SANE_FRAME_GRAY))
        return SANE_STATUS_UNSUPPORTED;
    std::uint64_t needed = p.depth == 1 ? (samples + 7) / 8 : samples * (p.depth / 8);
    const auto lineBytes = static_cast<std::uint64_t>(p.bytes_per_line);
    if (lineBytes < needed || lineBytes - needed > MaxLinePadding)
        return SANE_STATUS_INVAL;

    if (!FStarted) {
        std::uint64_t stride = ((static_cast<std::uint64_t>(p.pixels_per_line) * bitCount + 31) / 32) * 4;
        if (stride > MaxPixelBytes)
            return SANE_STATUS_NO_MEM;
        FWidth = p.pixels_per_line;
        FBitCount = bitCount;
        FStride = static_cast<std::size_t>(stride);
        FStarted = true;
        const std::uint32_t colors = bitCount == 1 ? 2 : bitCount == 8 ? 256 : 0;
        FBitsAt = sizeof(BITMAPINFOHEADER) + colors * 4;
        FBlock = GlobalAlloc(FBitsAt);
        if (!FBlock)
            return SANE_STATUS_NO_MEM;
    } else if (!SingleChannel(FFrame.format) || !SingleChannel(p.format) || p.pixels_per_line != FWidth) {
        // Only the bands of a three-pass scan come as more than one frame.
        return SANE_STATUS_INVAL;
    }
    FFrame = p;
    FFrameRow = 0;
    FLine.clear();
    try {
        FLine.reserve(static_cast<std::size_t>(p.bytes_per_line));
    } catch (const std::bad_alloc &) {
        return SANE_STATUS_NO_MEM;
    }
    return SANE_STATUS_GOOD;
}

SANE_Status TSaneDibBuilder::Add(const SANE_Byte *data, std::size_t length)
{
    if (!FStarted)
        return SANE_STATUS_INVAL;
    const auto lineBytes = static_cast<std::size_t>(FFrame.bytes_per_line);
    while (length > 0) {
        std::size_t take = std::min(length, lineBytes - FLine.size());
        FLine.insert(FLine.end(), data, data + take);
        data += take;
        length -= take;
        if (FLine.size() < lineBytes)
            continue;
        if (FFrame.lines > 0 && FFrameRow >= FFrame.lines) {
            FLine.clear(); // past the height the frame told
            continue;
        }
        if (FFrameRow >= FRows) {
            // A new row, black until every band has been written into it.
            if (FFrameRow >= FRowsHeld && !Grow())
                return SANE_STATUS_NO_MEM;
            FRows = FFrameRow + 1;
        }
        StoreLine();
        ++FFrameRow;
        FLine.clear();
    }
    return SANE_STATUS_GOOD;
}

bool TSaneDibBuilder::Grow()
{
    const std::uint64_t held = static_cast<std::uint64_t>(FRowsHeld);
    std::uint64_t rows = held + std::max({held / 8, GrowBytes / FStride, std::uint64_t{1}});
    if (FFrame.lines > 0)
        rows = std::min(rows, static_cast<std::uint64_t>(FFrame.lines));
    rows = std::min(rows, MaxPixelBytes / FStride);
    if (rows <= static_cast<std::uint64_t>(FFrameRow))
        return false;
    TW_HANDLE grown = GlobalReAlloc(FBlock, FBitsAt + static_cast<std::size_t>(rows) * FStride);
    if (!grown)
        return false;
    FBlock = grown;
    FRowsHeld = static_cast<std::int32_t>(rows);
    return true;
}

std::uint8_t *TSaneDibBuilder::Row(std::int32_t y)
{
    return static_cast<std::uint8_t *>(GlobalLock(FBlock)) + FBitsAt + static_cast<std::size_t>(y) * FStride;
}

void TSaneDibBuilder::StoreLine()
{
    const SANE_Byte *in = FLine.data();
    std::uint8_t *out = Row(FFrameRow);
    const auto width = static_cast<std::size_t>(FWidth);
    const int depth = FFrame.depth;
    switch (FFrame.format) {
    case SANE_FRAME_GRAY:
        if (depth == 1) {
            std::size_t bytes = (width + 7) / 8;
            std::memcpy(out, in, bytes);
            // The bits past the last pixel are padding: keep them clear.
            if (width % 8)
                out[bytes - 1] &= static_cast<std::uint8_t>(0xFF << (8 - width % 8));
        } else {
            for (std::size_t x = 0; x < width; ++x)
                out[x] = Sample(in, x, depth);
        }
        break;
    case SANE_FRAME_RGB:
        for (std::size_t x = 0; x < width; ++x) {
            out[3 * x] = Sample(in, 3 * x + 2, depth);
            out[3 * x + 1] = Sample(in, 3 * x + 1, depth);
            out[3 * x + 2] = Sample(in, 3 * x, depth);
        }
        break;
    default: {
        // One band of a three-pass scan: its place in the blue, green, red pixel.
        std::size_t offset = FFrame.format == SANE_FRAME_RED ? 2 : FFrame.format == SANE_FRAME_GREEN ? 1 : 0;
        for (std::size_t x = 0; x < width; ++x)
            out[3 * x + offset] = Sample(in, x, depth);
        break;
    }
    }
}

TW_HANDLE TSaneDibBuilder::Finish(double dotsPerInch, SANE_Status &status)
{
    if (FRows == 0) {
        status = SANE_STATUS_INVAL;
        return nullptr;
    }
    // The rows go bottom-up, turned over where they are; the block loses the room not used.
    for (std::int32_t y = 0; y < FRows / 2; ++y)
        std::swap_ranges(Row(y), Row(y) + FStride, Row(FRows - 1 - y));
    const std::uint32_t colors = FBitCount == 1 ? 2 : FBitCount == 8 ? 256 : 0;
    const std::size_t pixelBytes = FStride * static_cast<std::size_t>(FRows);
    if (TW_HANDLE fitted = GlobalReAlloc(FBlock, FBitsAt + pixelBytes))
        FBlock = fitted;
    auto *data = static_cast<std::uint8_t *>(GlobalLock(FBlock));
    std::int32_t perMeter = 0;
    if (dotsPerInch > 0 && dotsPerInch < 1e6)
        perMeter = static_cast<std::int32_t>(std::lround(dotsPerInch * 10000.0 / 254.0));
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = FWidth;
    header.biHeight = FRows; // bottom-up
    header.biPlanes = 1;
    header.biBitCount = FBitCount;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<std::uint32_t>(pixelBytes);
    header.biXPelsPerMeter = perMeter;
    header.biYPelsPerMeter = perMeter;
    header.biClrUsed = colors;
    std::memcpy(data, &header, sizeof header);
    std::uint8_t *table = data + sizeof(BITMAPINFOHEADER);
    for (std::uint32_t i = 0; i < colors; ++i) {
        // 1 bit: index 0 white, index 1 black. 8 bits: the greys in order.
        std::uint8_t grey = FBitCount == 1 ? static_cast<std::uint8_t>(i == 0 ? 255 : 0) : static_cast<std::uint8_t>(i);
        table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = grey;
        table[4 * i + 3] = 0;
    }
    status = SANE_STATUS_GOOD;
    TW_HANDLE block = FBlock;
    FBlock = nullptr;
    return block;
}

} // namespace vantorel
