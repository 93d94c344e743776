#pragma once

// What the picture readers and writers of every format share; not for use outside them.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "AtomicFile.h"
#include "ImageCodecs.h"

// The readers and writers hand control to C libraries that report errors by longjmp. Every
// setjmp sits in a small function whose own locals are plain values; the objects that need
// destroying live in the caller, so a jump never skips a destructor.

namespace vantorel::codec {

inline constexpr const char *kNotEnoughMemory = "there is not enough memory to load the picture";

// Logs the fault and raises EImageError with the file's name.
[[noreturn]] void Fail(const std::string &fileName, const std::string &reason);

inline std::uint64_t BitmapBytes(std::uint64_t width, std::uint64_t height) { return (width * 3 + 3) / 4 * 4 * height; }

// Refuses a size before anything of that size is allocated.
void CheckPictureSize(const std::string &fileName, std::int64_t width, std::int64_t height);

void CheckWritable(const TBitmap &bitmap, const std::string &fileName);

// Transparent pixels show the white of a new bitmap.
inline std::uint8_t OverWhite(unsigned colour, unsigned alpha)
{
    return static_cast<std::uint8_t>((alpha * colour + (255 - alpha) * 255 + 127) / 255);
}

struct TFileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

TFile OpenFile(const std::string &fileName, const char *mode);
std::uint64_t FileBytes(std::FILE *file);
[[noreturn]] void FailLargerThanFile(const std::string &fileName, std::uint64_t width, std::uint64_t height);

// Pictures are written whole or not at all (a failed write never damages the file that was there,
// which may be the very picture being rewritten) and a new one gets the permissions of any file
// the user makes.
std::unique_ptr<TAtomicFile> OpenOutputFile(const std::string &fileName, TExisting existing);
void CommitOutputFile(TAtomicFile &file);

} // namespace vantorel::codec
