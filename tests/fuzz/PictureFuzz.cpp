// One picture reader, chosen by the extension the build gives (VANTOREL_FUZZ_EXTENSION): any
// file either reads as a picture within the program's limits or is refused with EImageError.
// Memory and time per input are bounded by the fuzzer's limits, which is how a small file that
// costs gigabytes or seconds shows up.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "ImageCodecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vantorel;
    using namespace vantorel::fuzz;
    static const std::string path = WorkFolder() + "picture" VANTOREL_FUZZ_EXTENSION;
    WriteWholeFile(path, data, size);
    try {
        const TBitmap bitmap = ReadPicture(path);
        Expect(!bitmap.Empty(), "an empty picture was accepted");
        Expect(bitmap.Width() <= kMaxPictureSide && bitmap.Height() <= kMaxPictureSide,
               "a picture beyond the side limit was accepted");
        Expect(bitmap.Stride() * static_cast<std::uint64_t>(bitmap.Height()) <= kMaxPictureBytes,
               "a picture beyond the memory limit was accepted");
    } catch (const EImageError &) {
        // Refused: the program shows the reason.
    }
    return 0;
}
