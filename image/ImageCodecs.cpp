#include "ImageCodecs.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <sys/stat.h>

#include "AtomicFile.h"
#include "CodecSupport.h"
#include "GifCodec.h"
#include "JpegCodec.h"
#include "LogCategories.h"
#include "PngCodec.h"
#include "QtPictureReader.h"
#include "TextRules.h"

namespace vantorel {

using namespace codec;

namespace {

enum class TPictureFormat { Jpeg, Png, Gif, Other };

TPictureFormat FormatOf(const std::string &fileName)
{
    const std::string ext = AsciiUpper(ExtractExtension(fileName));
    if (ext == ".JPG" || ext == ".JPEG")
        return TPictureFormat::Jpeg;
    if (ext == ".PNG")
        return TPictureFormat::Png;
    if (ext == ".GIF")
        return TPictureFormat::Gif;
    return TPictureFormat::Other;
}

// Why a picture of this size is refused; empty when it is not.
std::string PictureSizeFault(std::int64_t width, std::int64_t height)
{
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width <= 0 || height <= 0)
        return "the picture has no pixels (" + size + ")";
    if (width > kMaxPictureSide || height > kMaxPictureSide ||
        BitmapBytes(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)) > kMaxPictureBytes)
        return "the picture is too large (" + size + ")";
    return {};
}

// A new picture gets the permissions of any file the user makes.
constexpr mode_t kNewPictureMode = 0666;

} // namespace

[[noreturn]] void codec::Fail(const std::string &fileName, const std::string &reason)
{
    qCWarning(lcImage).noquote() << QString::fromStdString(fileName + ": " + reason);
    throw EImageError(fileName + ": " + reason);
}

void codec::CheckPictureSize(const std::string &fileName, std::int64_t width, std::int64_t height)
{
    const std::string fault = PictureSizeFault(width, height);
    if (!fault.empty())
        Fail(fileName, fault);
}

void codec::CheckWritable(const TBitmap &bitmap, const std::string &fileName)
{
    if (bitmap.Empty())
        Fail(fileName, "there is no picture to write");
}

codec::TFile codec::OpenFile(const std::string &fileName, const char *mode)
{
    TFile file(std::fopen(fileName.c_str(), mode));
    if (!file)
        Fail(fileName, std::string("cannot open the file: ") + std::strerror(errno));
    return file;
}

std::uint64_t codec::FileBytes(std::FILE *file)
{
    struct stat st {};
    return ::fstat(::fileno(file), &st) == 0 && st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

[[noreturn]] void codec::FailLargerThanFile(const std::string &fileName, std::uint64_t width, std::uint64_t height)
{
    Fail(fileName, "the picture is larger than its file can hold (" + std::to_string(width) + " x " +
                       std::to_string(height) + ")");
}

std::unique_ptr<TAtomicFile> codec::OpenOutputFile(const std::string &fileName, TExisting existing)
{
    try {
        return std::make_unique<TAtomicFile>(fileName, kNewPictureMode, TAtomicFile::TPermissions::KeepReplaced,
                                             existing);
    } catch (const std::system_error &e) {
        Fail(fileName, "cannot open the file: " + e.code().message());
    }
}

void codec::CommitOutputFile(TAtomicFile &file)
{
    try {
        file.Commit();
    } catch (const std::system_error &e) {
        Fail(file.Target(), "cannot write the file: " + e.code().message());
    }
}

void CheckPictureSize(std::int64_t width, std::int64_t height)
{
    const std::string fault = PictureSizeFault(width, height);
    if (!fault.empty())
        throw EImageError(fault);
}

TBitmap ReadPicture(const std::string &fileName)
{
    try {
        switch (FormatOf(fileName)) {
        case TPictureFormat::Jpeg:
            return ReadJpeg(fileName);
        case TPictureFormat::Png:
            return ReadPng(fileName);
        case TPictureFormat::Gif:
            return ReadGif(fileName);
        case TPictureFormat::Other:
            break;
        }
        return ReadQt(fileName);
    } catch (const std::bad_alloc &) {
        // A picture the size checks let through can still find the memory taken.
        Fail(fileName, kNotEnoughMemory);
    }
}

} // namespace vantorel
