#pragma once

// Turns the frames of a SANE scan into the packed DIB of a native transfer, in a memory block of
// the wrapper's format (TwainMemory.h).
//
// Gray 1-bit frames become a 1-bit DIB whose table is white, black (SANE's 1 is black); gray 8-
// and 16-bit frames an 8-bit DIB with 256 greys; RGB frames, and the red, green and blue frames
// of a three-pass scan merged, a 24-bit DIB. 16-bit samples (host byte order) keep their high
// byte. Rows arrive top-down and are stored bottom-up at a 4-byte stride; a frame of unknown
// height (lines -1) grows until its data ends, and rows past a frame's known height are dropped.
// The DIB is made in its own block as the rows come, so a picture is held once.

#include <cstddef>
#include <cstdint>
#include <vector>

#include <sane/sane.h>

#include "TwainTypes.h"

namespace vantorel {

class TSaneDibBuilder {
public:
    TSaneDibBuilder() = default;
    ~TSaneDibBuilder();
    TSaneDibBuilder(const TSaneDibBuilder &) = delete;
    TSaneDibBuilder &operator=(const TSaneDibBuilder &) = delete;

    // Starts a frame from the parameters read after sane_start. SANE_STATUS_UNSUPPORTED for a
    // format or depth without a conversion, SANE_STATUS_INVAL for parameters that do not fit
    // the first frame or themselves.
    SANE_Status BeginFrame(const SANE_Parameters &parameters);
    // Takes the next bytes of the current frame, in any pieces. SANE_STATUS_NO_MEM when the
    // picture cannot be held.
    SANE_Status Add(const SANE_Byte *data, std::size_t length);
    // The finished DIB with its resolution in dots per inch (0 when unknown); the caller owns the
    // block. nullptr with the reason in status: SANE_STATUS_NO_MEM, or SANE_STATUS_INVAL when no
    // whole row arrived.
    TW_HANDLE Finish(double dotsPerInch, SANE_Status &status);

    std::int32_t Width() const { return FWidth; }
    std::int32_t Rows() const { return FRows; }
    std::uint16_t BitCount() const { return FBitCount; }

private:
    void StoreLine();
    std::uint8_t *Row(std::int32_t y);
    // Room for one more row in the block; false when the picture cannot be held.
    bool Grow();

    SANE_Parameters FFrame{};
    bool FStarted = false;
    std::int32_t FWidth = 0;
    std::uint16_t FBitCount = 0;
    std::size_t FStride = 0;
    std::int32_t FRows = 0;          // rows that hold data of some frame
    std::int32_t FFrameRow = 0;      // the next row of the current frame
    TW_HANDLE FBlock = nullptr;      // the DIB: header, colour table, and the rows top-down until Finish
    std::size_t FBitsAt = 0;         // where the rows begin in the block
    std::int32_t FRowsHeld = 0;      // the rows the block has room for
    std::vector<std::uint8_t> FLine; // the current line as SANE sends it
};

} // namespace vantorel
