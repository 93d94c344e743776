#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "AtomicFile.h"
#include "Bitmap.h"
#include "Geometry.h"

namespace vantorel {

// A picture that cannot be read or written.
class EImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Sides larger than this overflow the program's 32-bit geometry; such pictures are refused.
inline constexpr std::int32_t kMaxPictureSide = 46340;
// Nor is a picture allowed more than this many bytes of bitmap, so a small hostile file cannot
// make the program ask for absurd memory.
inline constexpr std::uint64_t kMaxPictureBytes = std::uint64_t(1) << 30;
// The longest picture file a reader may accept: the most pixels such a bitmap holds, each stored
// uncompressed at its widest (four 16-bit channels). A longer file cannot be a picture of ours.
inline constexpr std::uint64_t kMaxPictureFileBytes = kMaxPictureBytes / 3 * 8;

// The size check every reader makes before it allocates, for pictures made from other data:
// raises EImageError for a size without pixels or past the bounds above.
void CheckPictureSize(std::int64_t width, std::int64_t height);

// Reads a picture, the reader chosen by the upper-cased extension: ".JPG"/".JPEG" libjpeg,
// ".PNG" libpng (transparency over white), ".GIF" giflib (the first frame drawn at its place on
// a white bitmap of the logical screen size), anything else the Qt image reader, converted to
// 24 bits. Raises EImageError for a missing, damaged or too large picture.
TBitmap ReadPicture(const std::string &fileName);
// Writers; each raises EImageError when the file cannot be written. A new file's writer keeps a
// file that appeared under its name meanwhile and fails.
using TExisting = TAtomicFile::TExisting;
void WriteBMP(const TBitmap &bitmap, const std::string &fileName, TExisting existing = TExisting::Replace);
void WriteJPEG(const TBitmap &bitmap, const std::string &fileName, int quality,
               TExisting existing = TExisting::Replace);
void WritePNG(const TBitmap &bitmap, const std::string &fileName, TExisting existing = TExisting::Replace);
// Reduces the colours to an optimised palette of 2^bits (3..8) colours and writes with LZW.
void WriteGIF(const TBitmap &bitmap, const std::string &fileName, int bits, TExisting existing = TExisting::Replace);

// The GIF writer's defaults, which every GIF write starts from: colour reduction 7 (optimised
// palette), reduction bits 8 (3..8), dither mode 1 (Floyd-Steinberg), compression 0 (LZW).
struct TGIFDefaults {
    int ColorReduction = 7;
    int ReductionBits = 8;
    int DitherMode = 1;
    int Compression = 0;
};
const TGIFDefaults &GIFDefaults();
void SetGIFDefaults();

} // namespace vantorel
