#include "PngCodec.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <png.h>

#include "CodecSupport.h"
#include "ImageCodecs.h"

namespace vantorel {

using namespace codec;

namespace {

// Deflate turns no more than 1032 bytes into one byte (a 258-byte match in two 1-bit codes).
constexpr std::uint64_t kMaxDeflateRatio = 1032;

struct TPngMessage {
    char Text[256] = "";
};

void PngError(png_structp png, png_const_charp message)
{
    auto *target = static_cast<TPngMessage *>(png_get_error_ptr(png));
    std::snprintf(target->Text, sizeof target->Text, "%s", message);
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

struct TPngReader {
    TPngMessage Message;
    png_structp Png = nullptr;
    png_infop Info = nullptr;

    explicit TPngReader(const std::string &fileName)
    {
        Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &Message, PngError, PngWarning);
        Info = Png ? png_create_info_struct(Png) : nullptr;
        if (!Info)
            Fail(fileName, "out of memory");
    }
    ~TPngReader() { png_destroy_read_struct(&Png, &Info, nullptr); }
    TPngReader(const TPngReader &) = delete;
    TPngReader &operator=(const TPngReader &) = delete;
};

// Text, palettes of suggestions, calibration and metadata: nothing of them reaches a picture, and
// libpng reads each into a block of the size its length claims, up to 2 GB for a few bytes of
// file. Skipped unread instead. libpng takes the names each with its terminating zero.
constexpr png_byte kUnusedChunks[] = "tEXt\0zTXt\0iTXt\0sPLT\0pCAL\0sCAL\0eXIf\0iCCP";

bool PngReadHeader(TPngReader &reader, std::FILE *file)
{
    if (setjmp(png_jmpbuf(reader.Png)))
        return false;
    png_set_keep_unknown_chunks(reader.Png, PNG_HANDLE_CHUNK_NEVER, kUnusedChunks, sizeof kUnusedChunks / 5);
    png_init_io(reader.Png, file);
    png_read_info(reader.Png, reader.Info);
    return true;
}

// Expands every kind of PNG to 8-bit RGB, with alpha where the file has transparency; returns
// the channels (3 or 4), 0 on failure.
int PngStart(TPngReader &reader)
{
    if (setjmp(png_jmpbuf(reader.Png)))
        return 0;
    png_structp png = reader.Png;
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, reader.Info);
    const int channels = png_get_channels(png, reader.Info);
    if ((channels != 3 && channels != 4) ||
        png_get_rowbytes(png, reader.Info) != std::size_t(png_get_image_width(png, reader.Info)) * channels)
        png_error(png, "unexpected decoder output");
    return channels;
}

bool PngReadRow(TPngReader &reader, std::uint8_t *row)
{
    if (setjmp(png_jmpbuf(reader.Png)))
        return false;
    png_read_row(reader.Png, row, nullptr);
    return true;
}

// Interlaced pictures need all rows in memory at once.
bool PngReadAll(TPngReader &reader, std::vector<png_bytep> &rows)
{
    if (setjmp(png_jmpbuf(reader.Png)))
        return false;
    png_read_image(reader.Png, rows.data());
    return true;
}

void RgbaRowOverWhite(const std::uint8_t *source, std::uint8_t *target, std::int32_t width)
{
    for (std::int32_t x = 0; x < width; ++x, source += 4, target += 3)
        for (int c = 0; c < 3; ++c)
            target[c] = OverWhite(source[c], source[3]);
}

TPoint PngOpenHeader(TPngReader &reader, std::FILE *file, const std::string &fileName)
{
    if (!PngReadHeader(reader, file))
        Fail(fileName, reader.Message.Text);
    const png_uint_32 width = png_get_image_width(reader.Png, reader.Info);
    const png_uint_32 height = png_get_image_height(reader.Png, reader.Info);
    CheckPictureSize(fileName, width, height);
    // The rows as stored, before any expansion, come out of the file's deflate data.
    const std::uint64_t stored = std::uint64_t(png_get_rowbytes(reader.Png, reader.Info)) * height;
    if (stored > (FileBytes(file) + 1) * kMaxDeflateRatio)
        FailLargerThanFile(fileName, width, height);
    return {static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
}

struct TPngWriter {
    TPngMessage Message;
    png_structp Png = nullptr;
    png_infop Info = nullptr;

    explicit TPngWriter(const std::string &fileName)
    {
        Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &Message, PngError, PngWarning);
        Info = Png ? png_create_info_struct(Png) : nullptr;
        if (!Info)
            Fail(fileName, "out of memory");
    }
    ~TPngWriter() { png_destroy_write_struct(&Png, &Info); }
    TPngWriter(const TPngWriter &) = delete;
    TPngWriter &operator=(const TPngWriter &) = delete;
};

bool PngEncode(TPngWriter &writer, std::FILE *file, const TBitmap &bitmap)
{
    if (setjmp(png_jmpbuf(writer.Png)))
        return false;
    png_init_io(writer.Png, file);
    png_set_IHDR(writer.Png, writer.Info, static_cast<png_uint_32>(bitmap.Width()),
                 static_cast<png_uint_32>(bitmap.Height()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writer.Png, writer.Info);
    for (std::int32_t y = 0; y < bitmap.Height(); ++y)
        png_write_row(writer.Png, bitmap.Scanline(y));
    png_write_end(writer.Png, writer.Info);
    return true;
}

} // namespace

TBitmap codec::ReadPng(const std::string &fileName)
{
    TFile file = OpenFile(fileName, "rb");
    TPngReader reader(fileName);
    const TPoint size = PngOpenHeader(reader, file.get(), fileName);
    const int channels = PngStart(reader);
    if (channels == 0)
        Fail(fileName, reader.Message.Text);
    const bool alpha = channels == 4;
    TBitmap bitmap;
    if (png_get_interlace_type(reader.Png, reader.Info) != PNG_INTERLACE_NONE) {
        std::vector<std::uint8_t> rgba;
        std::vector<png_bytep> rows(static_cast<std::size_t>(size.Y));
        const std::size_t rowBytes = static_cast<std::size_t>(size.X) * 4;
        if (alpha)
            rgba.resize(rowBytes * rows.size());
        else
            bitmap.SetSize(size.X, size.Y);
        for (std::int32_t y = 0; y < size.Y; ++y)
            rows[y] = alpha ? rgba.data() + y * rowBytes : bitmap.Scanline(y);
        if (!PngReadAll(reader, rows))
            Fail(fileName, reader.Message.Text);
        if (alpha) {
            bitmap.SetSize(size.X, size.Y);
            for (std::int32_t y = 0; y < size.Y; ++y)
                RgbaRowOverWhite(rows[y], bitmap.Scanline(y), size.X);
        }
        return bitmap;
    }
    // Row by row, and the bitmap only once the first row came out whole: a header that promises
    // more than the data holds costs no memory.
    std::vector<std::uint8_t> row(static_cast<std::size_t>(size.X) * channels);
    for (std::int32_t y = 0; y < size.Y; ++y) {
        std::uint8_t *target = y > 0 && !alpha ? bitmap.Scanline(y) : row.data();
        if (!PngReadRow(reader, target))
            Fail(fileName, reader.Message.Text);
        if (y == 0) {
            bitmap.SetSize(size.X, size.Y);
            if (!alpha)
                std::memcpy(bitmap.Scanline(0), row.data(), row.size());
        }
        if (alpha)
            RgbaRowOverWhite(row.data(), bitmap.Scanline(y), size.X);
    }
    return bitmap;
}

void WritePNG(const TBitmap &bitmap, const std::string &fileName, TExisting existing)
{
    CheckWritable(bitmap, fileName);
    const std::unique_ptr<TAtomicFile> file = OpenOutputFile(fileName, existing);
    {
        TPngWriter writer(fileName);
        if (!PngEncode(writer, file->Stream(), bitmap))
            Fail(fileName, writer.Message.Text);
    }
    CommitOutputFile(*file);
}

} // namespace vantorel
