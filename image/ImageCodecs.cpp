#include "ImageCodecs.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <system_error>
#include <vector>
#include <sys/stat.h>

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <gif_lib.h>
#include <jerror.h>
#include <jpeglib.h>
#include <libimagequant.h>
#include <png.h>

#include "AtomicFile.h"
#include "LogCategories.h"
#include "TextRules.h"

// The readers and writers hand control to C libraries that report errors by longjmp. Every
// setjmp sits in a small function whose own locals are plain values; the objects that need
// destroying live in the caller, so a jump never skips a destructor.

namespace vantorel {

namespace {

// A progressive JPEG can be made of endless tiny scans that take minutes to decode.
constexpr int kMaxJpegScans = 1000;
// Every scan passes over the blocks of its components, however little data it has: an
// arithmetic-coded scan, or a Huffman-coded one of long end-of-band runs, covers a large picture
// in a few bytes. The blocks of all scans together are bounded instead: a sound progressive
// picture at the largest size the memory bound lets through needs well under half of this.
constexpr std::uint64_t kMaxJpegBlockVisits = std::uint64_t(64) << 20;
// Deflate turns no more than 1032 bytes into one byte (a 258-byte match in two 1-bit codes).
constexpr std::uint64_t kMaxDeflateRatio = 1032;
// A GIF's LZW code stands for at most 4096 pixels, and codes are 12 bits wide by the time their
// strings grow that long: a byte of the file gives no more than this many pixels.
constexpr std::uint64_t kMaxLzwPixelsPerByte = 4096 * 8 / 12 + 1;
// A GIF screen of up to this much bitmap is drawn whatever its file holds: a small frame on a
// larger screen is sound, and costs little while the screen is small.
constexpr std::uint64_t kMaxGifUnbackedScreenBytes = std::uint64_t(16) << 20;
// A reader that keeps asking for data at the end of the file is filling in what is missing; a
// sound one may look past the end once or twice.
constexpr int kMaxReadsAtEnd = 16;
constexpr const char *kNotEnoughMemory = "there is not enough memory to load the picture";

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

[[noreturn]] void Fail(const std::string &fileName, const std::string &reason)
{
    qCWarning(lcImage).noquote() << QString::fromStdString(fileName + ": " + reason);
    throw EImageError(fileName + ": " + reason);
}

std::uint64_t BitmapBytes(std::uint64_t width, std::uint64_t height) { return (width * 3 + 3) / 4 * 4 * height; }

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

// Refuses a size before anything of that size is allocated.
void CheckPictureSize(const std::string &fileName, std::int64_t width, std::int64_t height)
{
    const std::string fault = PictureSizeFault(width, height);
    if (!fault.empty())
        Fail(fileName, fault);
}

void CheckWritable(const TBitmap &bitmap, const std::string &fileName)
{
    if (bitmap.Empty())
        Fail(fileName, "there is no picture to write");
}

// Transparent pixels show the white of a new bitmap.
std::uint8_t OverWhite(unsigned colour, unsigned alpha)
{
    return static_cast<std::uint8_t>((alpha * colour + (255 - alpha) * 255 + 127) / 255);
}

struct TFileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

TFile OpenFile(const std::string &fileName, const char *mode)
{
    TFile file(std::fopen(fileName.c_str(), mode));
    if (!file)
        Fail(fileName, std::string("cannot open the file: ") + std::strerror(errno));
    return file;
}

std::uint64_t FileBytes(std::FILE *file)
{
    struct stat st {};
    return ::fstat(::fileno(file), &st) == 0 && st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

[[noreturn]] void FailLargerThanFile(const std::string &fileName, std::uint64_t width, std::uint64_t height)
{
    Fail(fileName, "the picture is larger than its file can hold (" + std::to_string(width) + " x " +
                       std::to_string(height) + ")");
}

// Pictures are written whole or not at all (a failed write never damages the file that was there,
// which may be the very picture being rewritten) and a new one gets the permissions of any file
// the user makes.
constexpr mode_t kNewPictureMode = 0666;

std::unique_ptr<TAtomicFile> OpenOutputFile(const std::string &fileName)
{
    try {
        return std::make_unique<TAtomicFile>(fileName, kNewPictureMode);
    } catch (const std::system_error &e) {
        Fail(fileName, "cannot open the file: " + e.code().message());
    }
}

void CommitOutputFile(TAtomicFile &file)
{
    try {
        file.Commit();
    } catch (const std::system_error &e) {
        Fail(file.Target(), "cannot write the file: " + e.code().message());
    }
}

// ---- JPEG ----------------------------------------------------------------------------------

struct TJpegError {
    jpeg_error_mgr Base; // first, so libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr info)
{
    auto *error = reinterpret_cast<TJpegError *>(info->err);
    // libjpeg's words for its memory limit name its internals, not the cause.
    if (info->err->msg_code == JERR_NO_BACKING_STORE)
        std::snprintf(error->Message, sizeof error->Message, "the picture needs too much memory to decode");
    else if (info->err->msg_code == JERR_OUT_OF_MEMORY)
        std::snprintf(error->Message, sizeof error->Message, "%s", kNotEnoughMemory);
    else
        (*info->err->format_message)(info, error->Message);
    std::longjmp(error->Jump, 1);
}

// Warnings stay quiet, except that the data ended early: libjpeg would fill the rest of the
// picture with grey and call it a success.
void JpegEmitMessage(j_common_ptr info, int level)
{
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        JpegErrorExit(info);
    if (level < 0)
        ++info->err->num_warnings;
}

struct TJpegProgress {
    jpeg_progress_mgr Base; // first, so libjpeg's pointer to it is a pointer to the whole
    int Scan = 0;
    std::uint64_t BlockVisits = 0;
};

// Called before each piece of input is decoded, so a scan is counted before its blocks are.
void JpegProgress(j_common_ptr info)
{
    if (!info->is_decompressor)
        return;
    auto *decompress = reinterpret_cast<j_decompress_ptr>(info);
    auto *progress = reinterpret_cast<TJpegProgress *>(info->progress);
    if (decompress->input_scan_number != progress->Scan) {
        progress->Scan = decompress->input_scan_number;
        for (int c = 0; c < decompress->comps_in_scan; ++c)
            progress->BlockVisits += std::uint64_t(decompress->cur_comp_info[c]->width_in_blocks) *
                                     decompress->cur_comp_info[c]->height_in_blocks;
    }
    if (decompress->input_scan_number > kMaxJpegScans || progress->BlockVisits > kMaxJpegBlockVisits) {
        auto *error = reinterpret_cast<TJpegError *>(info->err);
        std::snprintf(error->Message, sizeof error->Message, "too many scans");
        std::longjmp(error->Jump, 1);
    }
}

void InitJpegError(TJpegError &error)
{
    jpeg_std_error(&error.Base);
    error.Base.error_exit = JpegErrorExit;
    error.Base.emit_message = JpegEmitMessage;
    error.Message[0] = '\0';
}

struct TJpegDecoder {
    jpeg_decompress_struct Info{};
    TJpegError Error{};
    TJpegProgress Progress{};

    TJpegDecoder()
    {
        InitJpegError(Error);
        Info.err = &Error.Base;
        Progress.Base.progress_monitor = JpegProgress;
    }
    ~TJpegDecoder() { jpeg_destroy_decompress(&Info); } // safe on a zeroed, never created struct
    TJpegDecoder(const TJpegDecoder &) = delete;
    TJpegDecoder &operator=(const TJpegDecoder &) = delete;
};

bool JpegReadHeader(TJpegDecoder &decoder, std::FILE *file)
{
    if (setjmp(decoder.Error.Jump))
        return false;
    jpeg_create_decompress(&decoder.Info);
    decoder.Info.progress = &decoder.Progress.Base;
    jpeg_stdio_src(&decoder.Info, file);
    jpeg_read_header(&decoder.Info, TRUE);
    return true;
}

// Adobe's CMYK JPEGs store the inks inverted; others store them plainly.
void CmykRowToRgb(const std::uint8_t *cmyk, std::uint8_t *rgb, std::int32_t width, bool inverted)
{
    for (std::int32_t x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
        for (int c = 0; c < 3; ++c) {
            const unsigned ink = inverted ? cmyk[c] : 255u - cmyk[c];
            rgb[c] = static_cast<std::uint8_t>((ink * k + 127) / 255);
        }
    }
}

bool JpegIsCmyk(const jpeg_decompress_struct &info)
{
    return info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
}

bool JpegReadRow(TJpegDecoder &decoder, std::uint8_t *row)
{
    JSAMPROW target = row;
    if (jpeg_read_scanlines(&decoder.Info, &target, 1) == 1)
        return true;
    std::snprintf(decoder.Error.Message, sizeof decoder.Error.Message, "the picture data ends early");
    return false;
}

// Starts the decoder and decodes the first row into firstRow. A progressive picture is read
// whole here, so its damage shows before the caller allocates the bitmap.
bool JpegStart(TJpegDecoder &decoder, std::vector<std::uint8_t> &firstRow)
{
    if (setjmp(decoder.Error.Jump))
        return false;
    jpeg_decompress_struct &info = decoder.Info;
    const bool cmyk = JpegIsCmyk(info);
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != (cmyk ? 4 : 3) || info.output_width != info.image_width ||
        info.output_height != info.image_height) {
        std::snprintf(decoder.Error.Message, sizeof decoder.Error.Message, "unexpected decoder output");
        return false;
    }
    return JpegReadRow(decoder, firstRow.data());
}

bool JpegDecodeRest(TJpegDecoder &decoder, TBitmap &bitmap, std::vector<std::uint8_t> &cmykRow)
{
    if (setjmp(decoder.Error.Jump))
        return false;
    jpeg_decompress_struct &info = decoder.Info;
    const bool cmyk = JpegIsCmyk(info);
    while (info.output_scanline < info.output_height) {
        const auto y = static_cast<std::int32_t>(info.output_scanline);
        if (!JpegReadRow(decoder, cmyk ? cmykRow.data() : bitmap.Scanline(y)))
            return false;
        if (cmyk)
            CmykRowToRgb(cmykRow.data(), bitmap.Scanline(y), bitmap.Width(), info.saw_Adobe_marker);
    }
    // Everything is decoded; the rest of the file (normally just its end marker) is not read.
    return true;
}

// Every block of every component that a Huffman-coded file covers takes at least one bit, so a
// header whose smallest component needs more blocks than the file has bits is refused before
// anything is allocated. Arithmetic coding has no such floor: an encoder may leave out the zeros
// that end a scan, so a flat picture of any size fits in a few bytes. Such a file may still make
// a picture of up to this much bitmap; past it, a few bytes would cost the memory of a photo.
constexpr std::uint64_t kMaxJpegUnbackedBytes = std::uint64_t(64) << 20;

void CheckJpegFitsItsFile(const std::string &fileName, const jpeg_decompress_struct &info, std::FILE *file)
{
    if (info.num_components <= 0)
        return;
    std::uint64_t fewest = std::numeric_limits<std::uint64_t>::max();
    for (int c = 0; c < info.num_components; ++c)
        fewest =
            std::min(fewest, std::uint64_t(info.comp_info[c].width_in_blocks) * info.comp_info[c].height_in_blocks);
    if (fewest > FileBytes(file) * 8 &&
        (!info.arith_code || BitmapBytes(info.image_width, info.image_height) > kMaxJpegUnbackedBytes))
        FailLargerThanFile(fileName, info.image_width, info.image_height);
}

TPoint JpegOpenHeader(TJpegDecoder &decoder, std::FILE *file, const std::string &fileName)
{
    if (!JpegReadHeader(decoder, file))
        Fail(fileName, decoder.Error.Message);
    CheckPictureSize(fileName, decoder.Info.image_width, decoder.Info.image_height);
    CheckJpegFitsItsFile(fileName, decoder.Info, file);
    // A file of several scans keeps every coefficient (up to 6 bytes a pixel) until its last scan,
    // and the bitmap is allocated before the decoder lets go of them: the two share the picture
    // bound. Past it libjpeg refuses rather than allocating (it has no backing store to fall back
    // on); 0 would mean no bound at all.
    decoder.Info.mem->max_memory_to_use = static_cast<long>(std::max<std::uint64_t>(
        kMaxPictureBytes - BitmapBytes(decoder.Info.image_width, decoder.Info.image_height), 1));
    return {static_cast<std::int32_t>(decoder.Info.image_width), static_cast<std::int32_t>(decoder.Info.image_height)};
}

TBitmap ReadJpeg(const std::string &fileName)
{
    TFile file = OpenFile(fileName, "rb");
    TJpegDecoder decoder;
    const TPoint size = JpegOpenHeader(decoder, file.get(), fileName);
    const bool cmyk = JpegIsCmyk(decoder.Info);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(size.X) * (cmyk ? 4 : 3));
    if (!JpegStart(decoder, row))
        Fail(fileName, decoder.Error.Message);
    TBitmap bitmap = TBitmap::ForOverwrite(size.X, size.Y); // every row is decoded into
    if (cmyk)
        CmykRowToRgb(row.data(), bitmap.Scanline(0), size.X, decoder.Info.saw_Adobe_marker);
    else
        std::memcpy(bitmap.Scanline(0), row.data(), row.size());
    if (!JpegDecodeRest(decoder, bitmap, row))
        Fail(fileName, decoder.Error.Message);
    return bitmap;
}

// ---- PNG -----------------------------------------------------------------------------------

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

bool PngReadHeader(TPngReader &reader, std::FILE *file)
{
    if (setjmp(png_jmpbuf(reader.Png)))
        return false;
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

TBitmap ReadPng(const std::string &fileName)
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

// ---- GIF -----------------------------------------------------------------------------------

std::string GifErrorText(int code)
{
    const char *text = GifErrorString(code);
    return text ? text : "GIF error " + std::to_string(code);
}

struct TGifReaderCloser {
    void operator()(GifFileType *gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using TGifReader = std::unique_ptr<GifFileType, TGifReaderCloser>;

// The screen is the picture: a large one must be one that the file's data could fill, or a few
// bytes would cost the memory of a whole screen. It is refused before anything is decoded.
TGifReader OpenGif(const std::string &fileName)
{
    const std::uint64_t fileBytes = FileBytes(OpenFile(fileName, "rb").get());
    int error = 0;
    TGifReader gif(DGifOpenFileName(fileName.c_str(), &error));
    if (!gif)
        Fail(fileName, GifErrorText(error));
    CheckPictureSize(fileName, gif->SWidth, gif->SHeight);
    const std::uint64_t width = static_cast<std::uint64_t>(gif->SWidth),
                        height = static_cast<std::uint64_t>(gif->SHeight);
    if (BitmapBytes(width, height) > kMaxGifUnbackedScreenBytes && width * height > fileBytes * kMaxLzwPixelsPerByte)
        FailLargerThanFile(fileName, width, height);
    return gif;
}

// Draws the frame just described onto the screen bitmap, row by row: only the part inside the
// screen shows, and transparent pixels leave the screen's white. The screen is allocated once the
// first row came out whole, so a header that promises more than the data holds costs no memory.
void DrawGifFrame(GifFileType *gif, int transparent, TBitmap &screen, const std::string &fileName)
{
    const int screenWidth = gif->SWidth, screenHeight = gif->SHeight;
    const GifImageDesc &desc = gif->Image;
    const ColorMapObject *map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map)
        Fail(fileName, "the GIF has no colour table");
    if (desc.Width <= 0 || desc.Height <= 0)
        return;
    // Rows are read even where they fall outside the screen, so bound the work a header can ask for.
    if (static_cast<std::uint64_t>(desc.Width) * static_cast<std::uint64_t>(desc.Height) > kMaxPictureBytes / 3)
        Fail(fileName, "the GIF frame is too large");

    std::vector<GifPixelType> line(static_cast<std::size_t>(desc.Width));
    const auto drawRow = [&](int y) {
        if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR)
            Fail(fileName, GifErrorText(gif->Error));
        if (screen.Empty())
            screen.SetSize(screenWidth, screenHeight);
        const int screenY = desc.Top + y;
        if (screenY >= screenHeight)
            return;
        std::uint8_t *target = screen.Scanline(screenY);
        const int visible = std::min(desc.Width, screenWidth - desc.Left);
        for (int x = 0; x < visible; ++x) {
            const int index = line[static_cast<std::size_t>(x)];
            if (index == transparent)
                continue;
            std::uint8_t *pixel = target + (desc.Left + x) * 3;
            if (index < map->ColorCount) {
                pixel[0] = map->Colors[index].Red;
                pixel[1] = map->Colors[index].Green;
                pixel[2] = map->Colors[index].Blue;
            } else {
                pixel[0] = pixel[1] = pixel[2] = 0; // an index past the table: black
            }
        }
    };

    if (desc.Interlace) {
        static constexpr int kOffset[] = {0, 4, 2, 1};
        static constexpr int kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = kOffset[pass]; y < desc.Height; y += kStep[pass])
                drawRow(y);
        }
    } else {
        // Rows below the screen cannot show, so reading stops there.
        const int rows = std::min(desc.Height, screenHeight - desc.Top);
        for (int y = 0; y < rows; ++y)
            drawRow(y);
    }
}

TBitmap ReadGif(const std::string &fileName)
{
    TGifReader gif = OpenGif(fileName);
    TBitmap screen;
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR)
            Fail(fileName, GifErrorText(gif->Error));
        if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
                Fail(fileName, GifErrorText(gif->Error));
            DrawGifFrame(gif.get(), transparent, screen, fileName);
            if (screen.Empty()) // a frame without pixels
                screen.SetSize(gif->SWidth, gif->SHeight);
            return screen;
        }
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType *block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
                Fail(fileName, GifErrorText(gif->Error));
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4) {
                GraphicsControlBlock control;
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                    transparent = control.TransparentColor;
            }
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR)
                    Fail(fileName, GifErrorText(gif->Error));
            }
        } else if (record == TERMINATE_RECORD_TYPE) {
            Fail(fileName, "the GIF holds no image");
        }
    }
}

// ---- Other formats through Qt --------------------------------------------------------------

// The file as Qt's readers see it. Every request of a reader for more data reaches readData,
// even at the end of the file, so one that keeps asking there shows: it is filling in rows that
// are missing. A range of the file can be left out, with other bytes shown in place of its first
// ones (see CheckTargaFileComplete).
class TPictureDevice : public QIODevice {
public:
    bool Open(const std::string &fileName)
    {
        FFile.setFileName(QFile::decodeName(QByteArray::fromStdString(fileName)));
        if (!FFile.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return false;
        FFileSize = FFile.size();
        return open(QIODevice::ReadOnly);
    }
    QString FileError() const { return FFile.errorString(); }
    // Leaves out the bytes [from, to) of the file and shows head in place of its first bytes.
    void LeaveOut(qint64 from, qint64 to, const QByteArray &head)
    {
        FLeftOutFrom = from;
        FLeftOut = to - from;
        FHead = head;
    }
    int ReadsAtEnd() const { return FReadsAtEnd; }
    bool isSequential() const override { return false; }
    qint64 size() const override { return FFileSize - FLeftOut; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        qint64 at = pos(), done = 0;
        if (maxSize > 0 && at >= size())
            ++FReadsAtEnd;
        while (done < maxSize && at < size()) {
            const bool before = at < FLeftOutFrom;
            const qint64 part = std::min(maxSize - done, (before ? FLeftOutFrom : size()) - at);
            if (!FFile.seek(before ? at : at + FLeftOut))
                return -1;
            const qint64 got = FFile.read(data + done, part);
            if (got <= 0)
                return done > 0 ? done : got;
            for (qint64 i = at; i < std::min<qint64>(at + got, FHead.size()); ++i)
                data[done + (i - at)] = FHead[i];
            done += got;
            at += got;
        }
        return done;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile FFile;
    qint64 FFileSize = 0;
    qint64 FLeftOutFrom = 0;
    qint64 FLeftOut = 0;
    QByteArray FHead;
    int FReadsAtEnd = 0;
};

// The reader registered for the extension reads the file; a file of another type under that
// extension, or an extension without a reader, is an error.
void PrepareQtReader(QImageReader &reader, TPictureDevice &device, const QByteArray &format,
                     const std::string &fileName)
{
    reader.setDevice(&device);
    reader.setFormat(format);
    reader.setAutoDetectImageFormat(false);
    // Picks the reader registered for the extension, which must recognise the file.
    if (!reader.canRead())
        Fail(fileName, reader.errorString().toStdString());
}

// The start of a file and its size, for the checks of the formats whose reader in Qt fills in
// what a cut-short file is missing.
struct TFileHead {
    std::vector<std::uint8_t> Bytes;
    std::uint64_t Size = 0;

    std::uint32_t LE(std::size_t at, int bytes) const
    {
        std::uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | (at + i < Bytes.size() ? Bytes[at + i] : 0);
        return v;
    }
};

TFileHead ReadHead(std::FILE *file, std::size_t bytes)
{
    TFileHead head;
    head.Size = FileBytes(file);
    head.Bytes.resize(bytes);
    head.Bytes.resize(std::fread(head.Bytes.data(), 1, bytes, file));
    return head;
}

// One run of run-length data: the bytes of its header, all its bytes, and the pixels (or rows)
// it covers. An end mark ends the data, whatever it has covered.
struct TRun {
    std::uint64_t Header;
    std::uint64_t Bytes;
    std::uint64_t Covers;
    bool End = false;
};

// Walks the runs from offset `at` until they cover `needed`; false when the file ends first.
template <typename RunOf>
bool RunsCover(std::FILE *file, std::uint64_t fileSize, std::uint64_t at, std::uint64_t needed, RunOf runOf)
{
    constexpr std::size_t kLongestHeader = 4;
    constexpr std::size_t kChunk = std::size_t(1) << 16;
    // A header is read whole even where the file ends within it; the check below refuses it then.
    std::vector<std::uint8_t> buffer(kChunk + kLongestHeader);
    std::uint64_t bufferStart = at, bufferEnd = at, covered = 0;
    for (std::uint64_t pos = at; covered < needed;) {
        if (bufferEnd - pos < kLongestHeader && bufferEnd < fileSize) {
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, fileSize - pos));
            if (std::fseek(file, static_cast<long>(pos), SEEK_SET) != 0)
                return false;
            bufferStart = pos;
            bufferEnd = pos + std::fread(buffer.data(), 1, want, file);
        }
        const std::uint64_t available = bufferEnd - pos;
        if (available == 0)
            return false;
        const TRun run = runOf(buffer.data() + (pos - bufferStart));
        if (run.Header > available || pos + run.Bytes > fileSize)
            return false;
        if (run.End)
            return true;
        covered += run.Covers;
        pos += run.Bytes;
    }
    return true;
}

// Qt fills the missing rows of a cut-off bitmap file without a word: an uncompressed one must
// hold all the rows its header promises, and run-length data must reach its last row.
void CheckBitmapFileComplete(const std::string &fileName)
{
    TFile file = OpenFile(fileName, "rb");
    const TFileHead h = ReadHead(file.get(), 54);
    if (h.Bytes.size() < 26 || h.Bytes[0] != 'B' || h.Bytes[1] != 'M')
        return; // not a plain bitmap file: Qt's reader judges it
    const std::uint32_t infoSize = h.LE(14, 4);
    // Qt reads the later headers (40, 64, 108 and 124 bytes) with 32-bit sides and a header of
    // any other size as the first one: 16-bit sides, never compressed.
    const bool old = !(infoSize == 40 || infoSize == 64 || infoSize == 108 || infoSize == 124);
    if (!old && h.Bytes.size() < 54)
        return; // Qt's reader finds the header cut short
    const std::uint32_t compression = old ? 0 : h.LE(30, 4), bits = h.LE(old ? 24 : 28, 2);
    const auto side = [&h, old](std::size_t at) {
        return old ? std::uint64_t(h.LE(at, 2))
                   : std::uint64_t(std::abs(static_cast<std::int64_t>(static_cast<std::int32_t>(h.LE(at, 4)))));
    };
    const std::uint64_t width = side(18), height = side(old ? 20 : 22);
    const std::uint64_t dataStart = h.LE(10, 4);
    bool complete = true;
    if (compression == 0 || compression == 3) {
        const std::uint64_t rowBytes = (width * bits + 31) / 32 * 4;
        complete = h.Size >= dataStart + rowBytes * height;
    } else if ((compression == 1 && bits == 8) || (compression == 2 && bits == 4)) {
        // Runs of 2 bytes; escapes of 0 and a code: end of row, end of picture, a move of 4
        // bytes, or literal pixels padded to whole words. Rows are what counts: the data must
        // reach its end mark or past the last row.
        const bool nibbles = compression == 2;
        complete = RunsCover(file.get(), h.Size, dataStart, height, [nibbles](const std::uint8_t *p) -> TRun {
            if (p[0] != 0)
                return {2, 2, 0};
            switch (p[1]) {
            case 0:
                return {2, 2, 1};
            case 1:
                return {2, 2, 0, true};
            case 2:
                return {4, 4, p[3]};
            default: {
                const std::uint64_t bytes = nibbles ? (p[1] + 1u) / 2 : p[1];
                return {2, 2 + (bytes + 1) / 2 * 2, 0};
            }
            }
        });
        // A run codes at most 255 pixels in 2 bytes. Moves and an early end mark leave pixels
        // blank without coding them, but a picture beyond what its data could code would let a
        // few bytes cost the memory of a large one: it is refused before Qt allocates it.
        if (complete && width * height > (h.Size - dataStart) * 255 / 2)
            FailLargerThanFile(fileName, width, height);
    }
    if (!complete)
        Fail(fileName, "the bitmap file is cut short");
}

// The same for Targa files: raw pixels must all be there, before the version 2 footer where
// there is one, and run-length packets must cover every pixel. Returns where the pixels start.
std::uint64_t CheckTargaFileComplete(const std::string &fileName, TFileHead &h)
{
    TFile file = OpenFile(fileName, "rb");
    h = ReadHead(file.get(), 18);
    if (h.Bytes.size() < 18)
        return 0;
    const std::uint32_t type = h.Bytes[2], idLength = h.Bytes[0], mapType = h.Bytes[1];
    const std::uint64_t mapBytes = mapType == 1 ? std::uint64_t(h.LE(5, 2)) * ((h.Bytes[7] + 7) / 8) : 0;
    const std::uint64_t pixelBytes = (h.Bytes[16] + 7) / 8;
    const std::uint64_t pixels = std::uint64_t(h.LE(12, 2)) * h.LE(14, 2);
    const std::uint64_t dataStart = 18 + idLength + mapBytes;
    // Qt takes the last 26 bytes for the footer when they hold its signature (without the ".").
    static constexpr char kSignature[] = "TRUEVISION-XFILE";
    std::uint64_t dataEnd = h.Size;
    char signature[sizeof kSignature - 1] = {};
    if (h.Size >= 26 && std::fseek(file.get(), static_cast<long>(h.Size - 18), SEEK_SET) == 0 &&
        std::fread(signature, 1, sizeof signature, file.get()) == sizeof signature &&
        std::memcmp(signature, kSignature, sizeof signature) == 0)
        dataEnd = h.Size - 26;
    bool complete = true;
    if (type == 1 || type == 2 || type == 3) {
        complete = dataEnd >= dataStart + pixels * pixelBytes;
    } else if (type == 9 || type == 10 || type == 11) {
        complete =
            pixelBytes > 0 && RunsCover(file.get(), dataEnd, dataStart, pixels, [pixelBytes](const std::uint8_t *p) {
                const std::uint64_t count = (p[0] & 0x7Fu) + 1;
                return TRun{1, 1 + ((p[0] & 0x80) ? 1 : count) * pixelBytes, count};
            });
    }
    if (!complete)
        Fail(fileName, "the Targa file is cut short");
    return dataStart;
}

// Qt's Targa reader finds the pixels by a sum of its own over the image ID and colour map fields,
// which lands elsewhere for most files that have them, even past the end of the file, where it
// then reads byte after byte for as long as that sum says. A true-colour or grey picture needs
// neither field, so Qt is shown the file without them and its pixels right after the header.
void ShowTargaPixelsAfterHeader(TPictureDevice &device, const std::string &fileName)
{
    TFileHead h;
    const std::uint64_t dataStart = CheckTargaFileComplete(fileName, h);
    const std::uint32_t type = h.Bytes.size() >= 18 ? h.Bytes[2] : 0;
    if (!(type == 2 || type == 3 || type == 10 || type == 11))
        return;
    QByteArray head(reinterpret_cast<const char *>(h.Bytes.data()), 18);
    head[0] = 0; // no image ID
    head[1] = 0; // no colour map, and none described
    std::fill(head.begin() + 3, head.begin() + 8, '\0');
    device.LeaveOut(18, static_cast<qint64>(std::min(dataStart, h.Size)), head);
}

TBitmap ReadQt(const std::string &fileName)
{
    OpenFile(fileName, "rb"); // Qt says only "Unknown error" about a missing file
    TPictureDevice device;
    if (!device.Open(fileName))
        Fail(fileName, "cannot open the file: " + device.FileError().toStdString());
    std::string_view ext = ExtractExtension(fileName);
    if (!ext.empty())
        ext.remove_prefix(1);
    const QByteArray format = QByteArray::fromStdString(AsciiLower(ext));
    // Qt's Targa reader takes in the header when it is asked whether it can read the file.
    if (format == "tga")
        ShowTargaPixelsAfterHeader(device, fileName);
    QImageReader reader;
    PrepareQtReader(reader, device, format, fileName);
    const QSize size = reader.size();
    if (size.isValid())
        CheckPictureSize(fileName, size.width(), size.height());
    if (format == "bmp" || format == "dib")
        CheckBitmapFileComplete(fileName);
    QImage image;
    if (!reader.read(&image))
        Fail(fileName, reader.errorString().toStdString());
    if (device.ReadsAtEnd() > kMaxReadsAtEnd)
        Fail(fileName, "the picture data ends early");
    CheckPictureSize(fileName, image.width(), image.height());

    TBitmap bitmap(image.width(), image.height());
    if (image.hasAlphaChannel()) {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        if (argb.isNull())
            Fail(fileName, kNotEnoughMemory);
        for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
            const auto *source = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
            std::uint8_t *target = bitmap.Scanline(y);
            for (std::int32_t x = 0; x < bitmap.Width(); ++x, target += 3) {
                const unsigned alpha = static_cast<unsigned>(qAlpha(source[x]));
                target[0] = OverWhite(static_cast<unsigned>(qRed(source[x])), alpha);
                target[1] = OverWhite(static_cast<unsigned>(qGreen(source[x])), alpha);
                target[2] = OverWhite(static_cast<unsigned>(qBlue(source[x])), alpha);
            }
        }
    } else {
        const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
        if (rgb.isNull())
            Fail(fileName, kNotEnoughMemory);
        for (std::int32_t y = 0; y < bitmap.Height(); ++y)
            std::memcpy(bitmap.Scanline(y), rgb.constScanLine(y), static_cast<std::size_t>(bitmap.Width()) * 3);
    }
    return bitmap;
}

// ---- Writers -------------------------------------------------------------------------------

void PutLE(std::uint8_t *target, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        target[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct TJpegEncoder {
    jpeg_compress_struct Info{};
    TJpegError Error{};

    TJpegEncoder()
    {
        InitJpegError(Error);
        Info.err = &Error.Base;
    }
    ~TJpegEncoder() { jpeg_destroy_compress(&Info); }
    TJpegEncoder(const TJpegEncoder &) = delete;
    TJpegEncoder &operator=(const TJpegEncoder &) = delete;
};

bool JpegEncode(TJpegEncoder &encoder, std::FILE *file, const TBitmap &bitmap, int quality)
{
    if (setjmp(encoder.Error.Jump))
        return false;
    jpeg_compress_struct &info = encoder.Info;
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(bitmap.Width());
    info.image_height = static_cast<JDIMENSION>(bitmap.Height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // libjpeg's row type is not const, but the encoder only reads the rows.
        JSAMPROW row = const_cast<std::uint8_t *>(bitmap.Scanline(static_cast<std::int32_t>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
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

struct TLiqDeleter {
    void operator()(liq_attr *attr) const { liq_attr_destroy(attr); }
    void operator()(liq_image *image) const { liq_image_destroy(image); }
    void operator()(liq_result *result) const { liq_result_destroy(result); }
    void operator()(liq_histogram *histogram) const { liq_histogram_destroy(histogram); }
};

struct TGifWriterCloser {
    void operator()(GifFileType *gif) const
    {
        int error = 0;
        EGifCloseFile(gif, &error);
    }
};

int GifWrite(GifFileType *gif, const GifByteType *data, int length)
{
    return static_cast<int>(
        std::fwrite(data, 1, static_cast<std::size_t>(length), static_cast<std::FILE *>(gif->UserData)));
}

struct TColorMapFree {
    void operator()(ColorMapObject *map) const { GifFreeMapObject(map); }
};

std::uint32_t PackedColour(const std::uint8_t *rgb)
{
    return std::uint32_t(rgb[0]) << 16 | std::uint32_t(rgb[1]) << 8 | rgb[2];
}

// The picture's own colours when there are no more than maxColours of them: a logo of few
// colours then goes through a GIF unchanged.
bool CollectFewColours(const TBitmap &bitmap, int maxColours, std::vector<GifColorType> &palette)
{
    // Open addressing over packed 24-bit colours; the empty mark is no colour.
    constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
    constexpr int kSlotBits = 10; // room for 256 colours at a quarter full
    std::vector<std::uint32_t> table(std::size_t(1) << kSlotBits, kEmpty);
    palette.clear();
    std::uint32_t last = kEmpty;
    for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
        const std::uint8_t *pixel = bitmap.Scanline(y);
        for (std::int32_t x = 0; x < bitmap.Width(); ++x, pixel += 3) {
            const std::uint32_t colour = PackedColour(pixel);
            if (colour == last)
                continue;
            last = colour;
            std::uint32_t slot = (colour * 2654435761u) >> (32 - kSlotBits);
            while (table[slot] != kEmpty && table[slot] != colour)
                slot = (slot + 1) & ((1u << kSlotBits) - 1);
            if (table[slot] == colour)
                continue;
            if (static_cast<int>(palette.size()) == maxColours)
                return false;
            table[slot] = colour;
            palette.push_back(GifColorType{pixel[0], pixel[1], pixel[2]});
        }
    }
    return true;
}

// An optimised palette from libimagequant. The palette is built from an even sample of about
// 16,000 pixels: building it from every pixel costs several times as much for no visible gain.
void OptimisedPalette(const TBitmap &bitmap, int maxColours, const std::string &fileName,
                      std::vector<GifColorType> &palette)
{
    const double pixels = double(bitmap.Width()) * double(bitmap.Height());
    const std::int32_t step = std::max(1, static_cast<std::int32_t>(std::ceil(std::sqrt(pixels / 16384.0))));
    const std::int32_t width = (bitmap.Width() + step - 1) / step;
    const std::int32_t height = (bitmap.Height() + step - 1) / step;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    std::uint8_t *target = rgba.data();
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t *row = bitmap.Scanline(y * step);
        for (std::int32_t x = 0; x < width; ++x, target += 4) {
            std::memcpy(target, row + x * step * 3, 3);
            target[3] = 255;
        }
    }

    const std::unique_ptr<liq_attr, TLiqDeleter> attr(liq_attr_create());
    // The fastest speed would round the sampled colours to 7 bits; 7 is the fastest that keeps them.
    if (!attr || liq_set_max_colors(attr.get(), maxColours) != LIQ_OK || liq_set_speed(attr.get(), 7) != LIQ_OK)
        Fail(fileName, "cannot set up the colour reduction");
    const std::unique_ptr<liq_image, TLiqDeleter> image(
        liq_image_create_rgba(attr.get(), rgba.data(), width, height, 0));
    const std::unique_ptr<liq_histogram, TLiqDeleter> histogram(liq_histogram_create(attr.get()));
    if (!image || !histogram || liq_histogram_add_image(histogram.get(), attr.get(), image.get()) != LIQ_OK)
        Fail(fileName, "cannot set up the colour reduction");
    liq_result *rawResult = nullptr;
    if (liq_histogram_quantize(histogram.get(), attr.get(), &rawResult) != LIQ_OK || !rawResult)
        Fail(fileName, "the colour reduction failed");
    const std::unique_ptr<liq_result, TLiqDeleter> result(rawResult);
    const liq_palette *colours = liq_get_palette(result.get());
    palette.clear();
    for (unsigned i = 0; i < colours->count; ++i)
        palette.push_back(GifColorType{colours->entries[i].r, colours->entries[i].g, colours->entries[i].b});
}

// The nearest palette colour of any RGB value. The colour cube is cut into 16 x 16 x 16 cells;
// a cell learns, the first time it is asked, the few palette entries that can be nearest to any
// point in it, so a lookup compares against those only.
class TNearestColour {
public:
    explicit TNearestColour(const std::vector<GifColorType> &palette)
        : FCount(static_cast<int>(palette.size())), FCellStart(kCells, kUnknown), FCellCount(kCells, 0)
    {
        for (int i = 0; i < FCount; ++i) {
            FRed[i] = palette[static_cast<std::size_t>(i)].Red;
            FGreen[i] = palette[static_cast<std::size_t>(i)].Green;
            FBlue[i] = palette[static_cast<std::size_t>(i)].Blue;
        }
    }

    int Find(int r, int g, int b)
    {
        const int cell = (r >> kShift) << (2 * kCellBits) | (g >> kShift) << kCellBits | (b >> kShift);
        if (FCellStart[cell] == kUnknown)
            FillCell(cell);
        const TCandidate *candidate = FCandidates.data() + FCellStart[cell];
        const TCandidate *end = candidate + FCellCount[cell];
        int best = candidate->Index;
        int bestDistance = std::numeric_limits<int>::max();
        for (; candidate != end; ++candidate) {
            const int distance = (candidate->Red - r) * (candidate->Red - r) +
                                 (candidate->Green - g) * (candidate->Green - g) +
                                 (candidate->Blue - b) * (candidate->Blue - b);
            // Candidates are in palette order, so a tie keeps the lower index.
            best = distance < bestDistance ? candidate->Index : best;
            bestDistance = std::min(distance, bestDistance);
        }
        return best;
    }

private:
    // A palette entry with its colour at hand, so a lookup reads one small record per candidate.
    struct TCandidate {
        std::uint8_t Index, Red, Green, Blue;
    };
    static constexpr int kCellBits = 4;
    static constexpr int kShift = 8 - kCellBits;
    static constexpr int kCellMask = (1 << kCellBits) - 1;
    static constexpr int kCells = 1 << (3 * kCellBits);
    static constexpr std::uint32_t kUnknown = 0xFFFFFFFF;

    // The squared distances from a channel value to the nearest and the farthest point of the
    // cell's range on that channel.
    static int NearPart(int value, int low)
    {
        const int d = std::max(std::max(low - value, value - (low + (1 << kShift) - 1)), 0);
        return d * d;
    }
    static int FarPart(int value, int low)
    {
        const int d = std::max(std::abs(value - low), std::abs(value - (low + (1 << kShift) - 1)));
        return d * d;
    }

    // An entry can be nearest somewhere in the cell only when its nearest distance to the cell is
    // within the smallest farthest distance of any entry.
    void FillCell(int cell)
    {
        const int lowRed = (cell >> (2 * kCellBits)) << kShift;
        const int lowGreen = ((cell >> kCellBits) & kCellMask) << kShift;
        const int lowBlue = (cell & kCellMask) << kShift;
        int bound = std::numeric_limits<int>::max();
        for (int i = 0; i < FCount; ++i) {
            FNearest[i] = NearPart(FRed[i], lowRed) + NearPart(FGreen[i], lowGreen) + NearPart(FBlue[i], lowBlue);
            bound =
                std::min(bound, FarPart(FRed[i], lowRed) + FarPart(FGreen[i], lowGreen) + FarPart(FBlue[i], lowBlue));
        }
        FCellStart[cell] = static_cast<std::uint32_t>(FCandidates.size());
        for (int i = 0; i < FCount; ++i) {
            if (FNearest[i] <= bound)
                FCandidates.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(FRed[i]),
                                       static_cast<std::uint8_t>(FGreen[i]), static_cast<std::uint8_t>(FBlue[i])});
        }
        FCellCount[cell] = static_cast<std::uint16_t>(FCandidates.size() - FCellStart[cell]);
    }

    int FCount;
    int FRed[256], FGreen[256], FBlue[256], FNearest[256];
    std::vector<std::uint32_t> FCellStart;
    std::vector<std::uint16_t> FCellCount;
    std::vector<TCandidate> FCandidates;
};

// Maps every pixel to the palette, with Floyd-Steinberg error diffusion when dithering: each
// pixel's error goes 7/16 ahead, 3/16 behind below, 5/16 below and 1/16 ahead below. Rows run
// alternately left and right, which avoids the diagonal streaks of one direction.
void RemapToPalette(const TBitmap &bitmap, const std::vector<GifColorType> &palette, bool dither,
                    std::vector<GifPixelType> &indices)
{
    const std::int32_t width = bitmap.Width();
    TNearestColour nearest(palette);
    indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(bitmap.Height()));
    // Errors in sixteenths, one pixel of margin on either side.
    std::vector<int> thisRow((static_cast<std::size_t>(width) + 2) * 3, 0), nextRow(thisRow.size(), 0);
    for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
        const std::uint8_t *source = bitmap.Scanline(y);
        GifPixelType *target = indices.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        const bool forward = (y & 1) == 0;
        const int step = forward ? 1 : -1;
        std::fill(nextRow.begin(), nextRow.end(), 0);
        for (std::int32_t i = 0; i < width; ++i) {
            const std::int32_t x = forward ? i : width - 1 - i;
            int value[3];
            for (int c = 0; c < 3; ++c) {
                value[c] = source[x * 3 + c];
                if (dither)
                    value[c] = std::clamp(value[c] + ((thisRow[(x + 1) * 3 + c] + 8) >> 4), 0, 255);
            }
            const int index = nearest.Find(value[0], value[1], value[2]);
            target[x] = static_cast<GifPixelType>(index);
            if (!dither)
                continue;
            const int chosen[3] = {palette[index].Red, palette[index].Green, palette[index].Blue};
            for (int c = 0; c < 3; ++c) {
                const int error = value[c] - chosen[c];
                thisRow[(x + 1 + step) * 3 + c] += error * 7;
                nextRow[(x + 1 - step) * 3 + c] += error * 3;
                nextRow[(x + 1) * 3 + c] += error * 5;
                nextRow[(x + 1 + step) * 3 + c] += error;
            }
        }
        std::swap(thisRow, nextRow);
    }
}

TGIFDefaults &GIFDefaultsStore()
{
    static TGIFDefaults defaults;
    return defaults;
}

} // namespace

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

void WriteBMP(const TBitmap &bitmap, const std::string &fileName)
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

    const std::unique_ptr<TAtomicFile> file = OpenOutputFile(fileName);
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

void WriteJPEG(const TBitmap &bitmap, const std::string &fileName, int quality)
{
    CheckWritable(bitmap, fileName);
    const std::unique_ptr<TAtomicFile> file = OpenOutputFile(fileName);
    {
        TJpegEncoder encoder;
        if (!JpegEncode(encoder, file->Stream(), bitmap, quality))
            Fail(fileName, encoder.Error.Message);
    }
    CommitOutputFile(*file);
}

void WritePNG(const TBitmap &bitmap, const std::string &fileName)
{
    CheckWritable(bitmap, fileName);
    const std::unique_ptr<TAtomicFile> file = OpenOutputFile(fileName);
    {
        TPngWriter writer(fileName);
        if (!PngEncode(writer, file->Stream(), bitmap))
            Fail(fileName, writer.Message.Text);
    }
    CommitOutputFile(*file);
}

void WriteGIF(const TBitmap &bitmap, const std::string &fileName, int bits)
{
    if (bits < 3 || bits > 8)
        Fail(fileName, "a GIF takes 3 to 8 bits per pixel, not " + std::to_string(bits));
    CheckWritable(bitmap, fileName);
    if (bitmap.Width() > 0xFFFF || bitmap.Height() > 0xFFFF)
        Fail(fileName, "the picture is too large for a GIF file");

    const int maxColours = 1 << bits;
    std::vector<GifColorType> palette;
    if (!CollectFewColours(bitmap, maxColours, palette))
        OptimisedPalette(bitmap, maxColours, fileName, palette);
    std::vector<GifPixelType> indices;
    RemapToPalette(bitmap, palette, GIFDefaults().DitherMode == 1, indices);
    palette.resize(static_cast<std::size_t>(maxColours), GifColorType{0, 0, 0}); // unused entries stay black
    const std::unique_ptr<ColorMapObject, TColorMapFree> map(GifMakeMapObject(maxColours, palette.data()));
    if (!map)
        Fail(fileName, "out of memory");

    // The file is opened here rather than by giflib, which would create it readable by its owner
    // only, and in place.
    const std::unique_ptr<TAtomicFile> file = OpenOutputFile(fileName);
    int error = 0;
    std::unique_ptr<GifFileType, TGifWriterCloser> gif(EGifOpen(file->Stream(), GifWrite, &error));
    if (!gif)
        Fail(fileName, GifErrorText(error));
    EGifSetGifVersion(gif.get(), true);
    if (EGifPutScreenDesc(gif.get(), bitmap.Width(), bitmap.Height(), bits, 0, map.get()) == GIF_ERROR ||
        EGifPutImageDesc(gif.get(), 0, 0, bitmap.Width(), bitmap.Height(), false, nullptr) == GIF_ERROR)
        Fail(fileName, GifErrorText(gif->Error));
    for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
        if (EGifPutLine(gif.get(), indices.data() + static_cast<std::size_t>(y) * bitmap.Width(), bitmap.Width()) ==
            GIF_ERROR)
            Fail(fileName, GifErrorText(gif->Error));
    }
    if (EGifCloseFile(gif.release(), &error) == GIF_ERROR) // writes the trailer
        Fail(fileName, GifErrorText(error));
    CommitOutputFile(*file);
}

const TGIFDefaults &GIFDefaults() { return GIFDefaultsStore(); }

void SetGIFDefaults()
{
    TGIFDefaults &defaults = GIFDefaultsStore();
    defaults.ColorReduction = 7; // optimised palette
    defaults.ReductionBits = 8;
    defaults.DitherMode = 1;  // Floyd-Steinberg
    defaults.Compression = 0; // LZW
}

} // namespace vantorel
