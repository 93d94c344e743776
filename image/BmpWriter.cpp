#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "CodecSupport.h"
#include "ImageCodecs.h"

namespace vantorel {

using namespace codec;

namespace {

void PutLE(std::uint8_t *target, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        target[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

void WriteBMP(const TBitmap &bitmap, const std::string &fileName, TExisting existing)
{
    CheckWritable(bitmap, fileName);
    constexpr std::uint32_t kHeaderBytes = 14 + 40;
    const std::uint64_t imageBytes =
        static_cast<std::uint64_t>(bitmap.Stride()) * static_cast<std::uint64_t>(bitmap.Height());
    if (imageBytes + kHeaderBytes > std::numeric_limits<std::uint32_t>::max())
        Fail(fileName, "the picture is too large for a bitmap file");

    std::uint8_t header[kHeaderBytes] = {'B', 'M'};
    PutLE(header + 2, static_cast<std::uint32_t>(imageBytes + kHeaderBytes), 4);
    PutLE(header + 10, kHeaderBytes, 4); // offset of the pixels
    PutLE(header + 14, 40, 4);           // BITMAPINFOHEADER
    PutLE(header + 18, static_cast<std::uint32_t>(bitmap.Width()), 4);
    PutLE(header + 22, static_cast<std::uint32_t>(bitmap.Height()), 4); // positive: bottom-up rows
    PutLE(header + 26, 1, 2);                                           // planes
    PutLE(header + 28, 24, 2);                                          // bits per pixel
    PutLE(header + 34, static_cast<std::uint32_t>(imageBytes), 4);      // uncompressed, then sizes
    // The resolution and palette fields stay 0.

    const std::unique_ptr<TAtomicFile> file = OpenOutputFile(fileName, existing);
    bool written = std::fwrite(header, 1, sizeof header, file->Stream()) == sizeof header;
    // Rows are padded to 4 bytes just like the bitmap's, so only red and blue change places.
    std::vector<std::uint8_t> row(bitmap.Stride(), 0);
    for (std::int32_t y = bitmap.Height() - 1; written && y >= 0; --y) {
        const std::uint8_t *source = bitmap.Scanline(y);
        for (std::int32_t x = 0; x < bitmap.Width(); ++x) {
            row[x * 3] = source[x * 3 + 2];
            row[x * 3 + 1] = source[x * 3 + 1];
            row[x * 3 + 2] = source[x * 3];
        }
        written = std::fwrite(row.data(), 1, row.size(), file->Stream()) == row.size();
    }
    if (!written)
        Fail(fileName, std::string("cannot write the file: ") + std::strerror(errno));
    CommitOutputFile(*file);
}

} // namespace vantorel
