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
#include <system_error>
#include <vector>

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <gif_lib.h>
#include <jerror.h>
#include <jpeglib.h>
#include <libimagequant.h>
#include <png.h>

#include "AtomicFile.h"
#include "TextRules.h"

// The readers and writers hand control to C libraries that report errors by longjmp. Every
// setjmp sits in a small function whose own locals are plain values; the objects that need
// destroying live in the caller, so a jump never skips a destructor.

namespace vantorel {

namespace {

// A picture within the side limit can still be too big to hold; past this many bytes of bitmap a
// header is taken as hostile rather than allocating.
// A progressive JPEG can be made of endless tiny scans that take minutes to decode.
constexpr int kMaxJpegScans = 1000;

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
    throw EImageError(fileName + ": " + reason);
}

std::uint64_t BitmapBytes(std::uint64_t width, std::uint64_t height) { return (width * 3 + 3) / 4 * 4 * height; }

// Refuses a size before anything of that size is allocated.
void CheckPictureSize(const std::string &fileName, std::int64_t width, std::int64_t height)
{
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width <= 0 || height <= 0)
        Fail(fileName, "the picture has no pixels (" + size + ")");
    if (width > kMaxPictureSide || height > kMaxPictureSide ||
        BitmapBytes(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)) > kMaxPictureBytes)
        Fail(fileName, "the picture is too large (" + size + ")");
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

void JpegProgress(j_common_ptr info)
{
    auto *decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (info->is_decompressor && decompress->input_scan_number > kMaxJpegScans) {
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
    jpeg_progress_mgr Progress{};

    TJpegDecoder()
    {
        InitJpegError(Error);
        Info.err = &Error.Base;
        Progress.progress_monitor = JpegProgress;
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
    decoder.Info.progress = &decoder.Progress;
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

bool JpegDecode(TJpegDecoder &decoder, TBitmap &bitmap, std::vector<std::uint8_t> &cmykRow)
{
    if (setjmp(decoder.Error.Jump))
        return false;
    jpeg_decompress_struct &info = decoder.Info;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != (cmyk ? 4 : 3) || info.output_width != info.image_width ||
        info.output_height != info.image_height) {
        std::snprintf(decoder.Error.Message, sizeof decoder.Error.Message, "unexpected decoder output");
        return false;
    }
    while (info.output_scanline < info.output_height) {
        const auto y = static_cast<std::int32_t>(info.output_scanline);
        JSAMPROW row = cmyk ? cmykRow.data() : bitmap.Scanline(y);
        if (jpeg_read_scanlines(&info, &row, 1) != 1) {
            std::snprintf(decoder.Error.Message, sizeof decoder.Error.Message, "the picture data ends early");
            return false;
        }
        if (cmyk)
            CmykRowToRgb(cmykRow.data(), bitmap.Scanline(y), bitmap.Width(), info.saw_Adobe_marker);
    }
    // Everything is decoded; the rest of the file (normally just its end marker) is not read.
    return true;
}

TPoint JpegOpenHeader(TJpegDecoder &decoder, std::FILE *file, const std::string &fileName)
{
    if (!JpegReadHeader(decoder, file))
        Fail(fileName, decoder.Error.Message);
    CheckPictureSize(fileName, decoder.Info.image_width, decoder.Info.image_height);
    return {static_cast<std::int32_t>(decoder.Info.image_width), static_cast<std::int32_t>(decoder.Info.image_height)};
}

TBitmap ReadJpeg(const std::string &fileName)
{
    TFile file = OpenFile(fileName, "rb");
    TJpegDecoder decoder;
    const TPoint size = JpegOpenHeader(decoder, file.get(), fileName);
    TBitmap bitmap(size.X, size.Y);
    std::vector<std::uint8_t> cmykRow(static_cast<std::size_t>(size.X) * 4);
    if (!JpegDecode(decoder, bitmap, cmykRow))
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

// Expands every kind of PNG to 8-bit RGB, with alpha where the file has transparency, and reads
// all rows; interlaced pictures need all rows in memory at once anyway.
bool PngDecode(TPngReader &reader, TBitmap &bitmap, std::vector<std::uint8_t> &rgba, std::vector<png_bytep> &rows)
{
    if (setjmp(png_jmpbuf(reader.Png)))
        return false;
    png_structp png = reader.Png;
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, reader.Info);
    const int channels = png_get_channels(png, reader.Info);
    const std::size_t width = png_get_image_width(png, reader.Info);
    const std::size_t height = png_get_image_height(png, reader.Info);
    if ((channels != 3 && channels != 4) || png_get_rowbytes(png, reader.Info) != width * channels)
        png_error(png, "unexpected decoder output");
    bitmap.SetSize(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    rows.resize(height);
    if (channels == 4) {
        rgba.resize(width * 4 * height);
        for (std::size_t y = 0; y < height; ++y)
            rows[y] = rgba.data() + y * width * 4;
    } else {
        for (std::size_t y = 0; y < height; ++y)
            rows[y] = bitmap.Scanline(static_cast<std::int32_t>(y));
    }
    png_read_image(png, rows.data());
    return true;
}

TPoint PngOpenHeader(TPngReader &reader, std::FILE *file, const std::string &fileName)
{
    if (!PngReadHeader(reader, file))
        Fail(fileName, reader.Message.Text);
    const png_uint_32 width = png_get_image_width(reader.Png, reader.Info);
    const png_uint_32 height = png_get_image_height(reader.Png, reader.Info);
    CheckPictureSize(fileName, width, height);
    return {static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
}

TBitmap ReadPng(const std::string &fileName)
{
    TFile file = OpenFile(fileName, "rb");
    TPngReader reader(fileName);
    PngOpenHeader(reader, file.get(), fileName);
    TBitmap bitmap;
    std::vector<std::uint8_t> rgba;
    std::vector<png_bytep> rows;
    if (!PngDecode(reader, bitmap, rgba, rows))
        Fail(fileName, reader.Message.Text);
    if (!rgba.empty()) {
        const std::uint8_t *source = rgba.data();
        for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
            std::uint8_t *target = bitmap.Scanline(y);
            for (std::int32_t x = 0; x < bitmap.Width(); ++x, source += 4, target += 3) {
                for (int c = 0; c < 3; ++c)
                    target[c] = OverWhite(source[c], source[3]);
            }
        }
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

TGifReader OpenGif(const std::string &fileName)
{
    int error = 0;
    TGifReader gif(DGifOpenFileName(fileName.c_str(), &error));
    if (!gif)
        Fail(fileName, GifErrorText(error));
    CheckPictureSize(fileName, gif->SWidth, gif->SHeight);
    return gif;
}

// Draws the frame just described onto the screen bitmap, row by row: only the part inside the
// screen shows, and transparent pixels leave the screen's white.
void DrawGifFrame(GifFileType *gif, int transparent, TBitmap &screen, const std::string &fileName)
{
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
        const int screenY = desc.Top + y;
        if (screenY >= screen.Height())
            return;
        std::uint8_t *target = screen.Scanline(screenY);
        const int visible = std::min(desc.Width, screen.Width() - desc.Left);
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
        const int rows = std::min(desc.Height, screen.Height() - desc.Top);
        for (int y = 0; y < rows; ++y)
            drawRow(y);
    }
}

TBitmap ReadGif(const std::string &fileName)
{
    TGifReader gif = OpenGif(fileName);
    TBitmap screen(gif->SWidth, gif->SHeight);
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR)
            Fail(fileName, GifErrorText(gif->Error));
        if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
                Fail(fileName, GifErrorText(gif->Error));
            DrawGifFrame(gif.get(), transparent, screen, fileName);
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

// The reader registered for the extension reads the file; a file of another type under that
// extension, or an extension without a reader, is an error.
void PrepareQtReader(QImageReader &reader, const std::string &fileName)
{
    OpenFile(fileName, "rb"); // Qt says only "Unknown error" about a missing file
    std::string_view ext = ExtractExtension(fileName);
    if (!ext.empty())
        ext.remove_prefix(1);
    reader.setFileName(QFile::decodeName(QByteArray::fromStdString(fileName)));
    reader.setFormat(QByteArray::fromStdString(AsciiLower(ext)));
    reader.setAutoDetectImageFormat(false);
    // Picks the reader registered for the extension, which must recognise the file.
    if (!reader.canRead())
        Fail(fileName, reader.errorString().toStdString());
}

// Qt fills the missing rows of a cut-off bitmap file without a word; an uncompressed one must
// hold all the rows its header promises.
void CheckBitmapFileComplete(const std::string &fileName)
{
    TFile file = OpenFile(fileName, "rb");
    std::uint8_t h[54] = {};
    if (std::fread(h, 1, sizeof h, file.get()) != sizeof h || h[0] != 'B' || h[1] != 'M')
        return; // not a plain bitmap file: Qt's reader judges it
    auto le = [&h](int at, int bytes) {
        std::uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | h[at + i];
        return v;
    };
    const std::uint32_t infoSize = le(14, 4), compression = le(30, 4), bits = le(28, 2);
    if (infoSize < 40 || (compression != 0 && compression != 3))
        return; // an old header or run-length data: sizes cannot be checked this way
    const auto width = static_cast<std::int32_t>(le(18, 4));
    const auto height = static_cast<std::int32_t>(le(22, 4));
    const std::uint64_t rowBytes =
        (static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(width))) * bits + 31) / 32 * 4;
    const std::uint64_t needed =
        le(10, 4) + rowBytes * static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(height)));
    std::fseek(file.get(), 0, SEEK_END);
    const long size = std::ftell(file.get());
    if (size >= 0 && static_cast<std::uint64_t>(size) < needed)
        Fail(fileName, "the bitmap file is cut short");
}

TBitmap ReadQt(const std::string &fileName)
{
    QImageReader reader;
    PrepareQtReader(reader, fileName);
    const QSize size = reader.size();
    if (size.isValid())
        CheckPictureSize(fileName, size.width(), size.height());
    if (reader.format() == "bmp")
        CheckBitmapFileComplete(fileName);
    QImage image;
    if (!reader.read(&image))
        Fail(fileName, reader.errorString().toStdString());
    CheckPictureSize(fileName, image.width(), image.height());

    TBitmap bitmap(image.width(), image.height());
    if (image.hasAlphaChannel()) {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        if (argb.isNull())
            Fail(fileName, "out of memory");
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
            Fail(fileName, "out of memory");
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

TBitmap ReadPicture(const std::string &fileName)
{
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
