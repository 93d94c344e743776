// What the scanner helper sends about a scan, as its frames' parameters and data in any pieces:
// the DIB made from them is whole and agrees with its header, or the scan is refused. Memory per
// input is bounded by the fuzzer's limit, which is how parameters that cost gigabytes show up.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "DibRoutines.h"
#include "FuzzSupport.h"
#include "SaneDib.h"
#include "TwainMemory.h"

namespace {

// Reads n bytes little-endian from the input; zeros past its end.
struct TInput {
    const std::uint8_t *Data;
    std::size_t Size;

    std::uint32_t Take(int n)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < n && Size > 0; ++i, ++Data, --Size)
            value |= std::uint32_t{*Data} << (8 * i);
        return value;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vantorel;
    using namespace vantorel::fuzz;
    TInput in{data, size};
    TSaneDibBuilder builder;
    bool refused = false;
    // Records: 'F' and a frame's parameters, 'D' and a piece of data; the rest ends the scan.
    while (in.Size > 0 && !refused) {
        const std::uint32_t kind = in.Take(1);
        if (kind % 2 == 0) {
            SANE_Parameters p{};
            p.format = static_cast<SANE_Frame>(in.Take(1) % 6);
            p.last_frame = SANE_TRUE;
            p.pixels_per_line = static_cast<SANE_Int>(in.Take(2));
            p.bytes_per_line = static_cast<SANE_Int>(in.Take(3));
            p.lines = static_cast<std::int16_t>(in.Take(2));
            p.depth = static_cast<SANE_Int>(in.Take(1));
            refused = builder.BeginFrame(p) != SANE_STATUS_GOOD;
        } else {
            const std::size_t piece = std::min<std::size_t>(in.Take(2), in.Size);
            refused = builder.Add(in.Data, piece) != SANE_STATUS_GOOD;
            in.Data += piece;
            in.Size -= piece;
        }
    }
    if (refused)
        return 0;
    SANE_Status status = SANE_STATUS_GOOD;
    TW_HANDLE dib = builder.Finish(300, status);
    if (!dib) {
        Expect(status != SANE_STATUS_GOOD, "no picture, but no reason either");
        return 0;
    }
    Expect(status == SANE_STATUS_GOOD, "a picture and a failure");
    Expect(TWAIN_DibFitsBlock(dib), "the picture does not fit its block");
    Expect(TWAIN_DibWidth(dib) == builder.Width() && TWAIN_DibHeight(dib) == builder.Rows(),
           "the header's size is not the picture's");
    Expect(TWAIN_DibDepth(dib) == builder.BitCount(), "the header's depth is not the picture's");
    GlobalFree(dib);
    return 0;
}
