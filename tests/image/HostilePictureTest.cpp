// Pictures made to cost memory or time: a few bytes that claim a huge picture, or data that ends
// early. Each must be refused from what the file holds, quickly and without allocating for the
// claim; sound files of the same kinds must still be read.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <functional>
#include <malloc.h>
#include <string>
#include <sys/resource.h>
#include <vector>

#include <QColorSpace>
#include <QImage>

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

#include "ImageCodecs.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

// Refusing or reading any of these takes far less; the faults took from seconds to minutes. The
// sanitized code is several times slower. Processor time, not the clock: a loaded machine must not
// fail a reader that does little work.
#ifdef VANTOREL_SANITIZED
constexpr auto kPromptly = std::chrono::seconds(8);
#else
constexpr auto kPromptly = std::chrono::seconds(2);
#endif

std::chrono::nanoseconds ProcessorTime()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

using test::TTempDir;
using test::WriteFile;

std::string BE16(unsigned v) { return {char(v >> 8), char(v)}; }
std::string BE32(std::uint32_t v) { return BE16(v >> 16) + BE16(v & 0xFFFF); }
std::string LE16(unsigned v) { return {char(v), char(v >> 8)}; }
std::string LE32(std::uint32_t v) { return LE16(v & 0xFFFF) + LE16(v >> 16); }

std::string JpegSegment(int marker, const std::string &payload)
{
    return std::string{'\xFF', char(marker)} + BE16(static_cast<unsigned>(payload.size() + 2)) + payload;
}

// A progressive JPEG header for a w x h picture of three full-size components, a first scan that
// holds no data, then a scan naming a component that does not exist; padded with comments.
std::string ProgressiveJpeg(unsigned w, unsigned h, std::size_t padding)
{
    std::string d = "\xFF\xD8";
    for (std::size_t left = padding; left > 0;) {
        const std::size_t part = std::min<std::size_t>(left, 65000);
        d += JpegSegment(0xFE, std::string(part, 'x'));
        left -= part;
    }
    d += JpegSegment(0xDB, std::string(1, '\0') + std::string(64, '\1'));
    d += JpegSegment(0xC2, std::string("\x08", 1) + BE16(h) + BE16(w) +
                               std::string("\x03\x01\x11\x00\x02\x11\x00\x03\x11\x00", 10));
    d += JpegSegment(0xC4, std::string("\x00\x01", 2) + std::string(15, '\0') + std::string(1, '\0'));
    d += JpegSegment(0xDA, std::string("\x03\x01\x00\x02\x00\x03\x00\x00\x00\x00", 10)) + std::string(4, '\0');
    d += JpegSegment(0xDA, std::string("\x01\x00\x00\x01\x05\x00", 6)) + std::string(4, '\0');
    return d + "\xFF\xD9";
}

// An arithmetic-coded progressive JPEG of w x h: grey, or colour with half-size colour components,
// one DC scan and then `acScans` scans of the first component's AC band. No scan holds data: an
// arithmetic decoder reads zeros where a scan's data ends, so any size decodes.
std::string ArithmeticJpeg(unsigned w, unsigned h, bool colour, int acScans)
{
    std::string d = "\xFF\xD8";
    d += JpegSegment(0xDB, std::string(1, '\0') + std::string(64, '\1'));
    const std::string components =
        colour ? std::string("\x03\x01\x22\x00\x02\x11\x00\x03\x11\x00", 10) : std::string("\x01\x01\x11\x00", 4);
    d += JpegSegment(0xCA, std::string("\x08", 1) + BE16(h) + BE16(w) + components);
    d += JpegSegment(0xDA, colour ? std::string("\x03\x01\x00\x02\x00\x03\x00\x00\x00\x00", 10)
                                  : std::string("\x01\x01\x00\x00\x00\x00", 6));
    for (int i = 0; i < acScans; ++i)
        d += JpegSegment(0xDA, std::string("\x01\x01\x00\x01\x3F\x00", 6));
    return d + "\xFF\xD9";
}

std::string PngChunk(const std::string &type, const std::string &data)
{
    return BE32(static_cast<std::uint32_t>(data.size())) + type + data + BE32(test::Crc32(type + data));
}

// An RGBA PNG of w x h whose data is a few bytes, after an ancillary chunk of `padding` bytes.
std::string RgbaPngWithoutData(std::uint32_t w, std::uint32_t h, std::size_t padding)
{
    std::string png =
        "\x89PNG\r\n\x1A\n" + PngChunk("IHDR", BE32(w) + BE32(h) + std::string("\x08\x06\x00\x00\x00", 5));
    if (padding > 0)
        png += PngChunk("vaNt", std::string(padding, 'x'));
    // A deflate stream of eight zero bytes, cut before its end.
    return png + PngChunk("IDAT", std::string("\x78\x9C\x63\x60\x80\x00\x00\x00", 8)) + PngChunk("IEND", "");
}

// An uncompressed Targa of w x h with one byte of pixels and the version 2 footer.
std::string CutTarga(unsigned w, unsigned h)
{
    return std::string("\x00\x00\x02", 3) + std::string(9, '\0') + LE16(w) + LE16(h) + "\x18\x20" + "\x7F" +
           std::string(8, '\0') + std::string("TRUEVISION-XFILE.\0", 18);
}

// A 16-bit Targa of 3 x 1 with a 16-byte image ID, and a colour map field of 10017 entries of
// 0 bits, whose pixels run into its version 2 footer.
std::string TargaIntoItsFooter()
{
    return std::string("\x10\x01\x02\x00\x00\x21\x27\x00\x08\x00\x00\x00\x03\x00\x01\x00\x10\x00", 18) +
           std::string("\x00\x00", 2) + std::string(7, '\xFF') + std::string("\x00\x40\x03\x00\x00\x20", 6) +
           "TRUEVISION-XFILE." + '\0';
}

// A 16-bit Targa of 3 x 16 with a colour map field of 29184 entries of 0 bits, whose pixels run
// into a footer that Qt takes for one, its signature ending in "/".
std::string TargaOfEmptyMapEntries()
{
    return std::string("\x00\x01\x02\x00\x01\x00\x72\x00\x10\x06\x00\x00\x03\x00\x10\x00\x10\x10", 18) +
           std::string(78, '\0') + "TRUEVISION-XFILE/" + '\0';
}

// The whole of a picture as an uncompressed Targa, top row first, with the version 2 footer;
// optionally with an image ID and a colour map of 64 entries of 24 bits, the low byte of the X
// origin 127.
std::string SoundTarga(const TBitmap &picture, bool idAndMap = false)
{
    const std::string map = idAndMap ? std::string(64 * 3, '\x55') : std::string();
    std::string tga = std::string(1, char(idAndMap ? 5 : 0)) + std::string(1, char(idAndMap ? 1 : 0)) + "\x02" +
                      LE16(0) + LE16(idAndMap ? 64 : 0) + std::string(1, char(idAndMap ? 24 : 0)) +
                      LE16(idAndMap ? 127 : 0) + LE16(0) + LE16(static_cast<unsigned>(picture.Width())) +
                      LE16(static_cast<unsigned>(picture.Height())) + "\x18\x20" + (idAndMap ? "hello" : "") + map;
    for (std::int32_t y = 0; y < picture.Height(); ++y)
        for (std::int32_t x = 0; x < picture.Width(); ++x) {
            const TColor c = picture.Pixel(x, y);
            tga += std::string{char(BlueOf(c)), char(GreenOf(c)), char(RedOf(c))};
        }
    return tga + std::string(8, '\0') + std::string("TRUEVISION-XFILE.\0", 18);
}

std::string BitmapFileHeader(std::uint32_t size, std::uint32_t dataStart)
{
    return "BM" + LE32(size) + LE32(0) + LE32(dataStart);
}

std::string GreyPalette()
{
    std::string palette;
    for (int i = 0; i < 256; ++i)
        palette += std::string{char(i), char(i), char(i), '\0'};
    return palette;
}

// A run-length bitmap of w x h with the given runs: 8 bits a pixel, or 4 (16 colours).
std::string RleBitmap(int w, int h, const std::string &runs, const std::string &palette = GreyPalette(), int bits = 8)
{
    const auto colours = static_cast<std::uint32_t>(palette.size() / 4);
    const std::string info = LE32(40) + LE32(static_cast<std::uint32_t>(w)) + LE32(static_cast<std::uint32_t>(h)) +
                             LE16(1) + LE16(static_cast<unsigned>(bits)) + LE32(bits == 8 ? 1 : 2) +
                             LE32(static_cast<std::uint32_t>(runs.size())) + LE32(2835) + LE32(2835) + LE32(colours) +
                             LE32(0);
    const std::uint32_t start = 14 + 40 + colours * 4;
    return BitmapFileHeader(start + static_cast<std::uint32_t>(runs.size()), start) + info + palette + runs;
}

// A 24-bit bitmap with the first header and `bytes` bytes of pixels. Qt reads a header of any
// size but those of the later kinds (40, 64, 108, 124) as the first one, of 16-bit sides.
std::string OldBitmap(unsigned w, unsigned h, std::size_t bytes, std::uint32_t headerSize = 12)
{
    return BitmapFileHeader(26 + w * h * 3, 26) + LE32(headerSize) + LE16(w) + LE16(h) + LE16(1) + LE16(24) +
           std::string(bytes, '\x80');
}

// A GIF of a w x h screen whose one frame, 1 x 1 at (x, y), shows the second colour of its
// table, red.
std::string GifDot(unsigned w, unsigned h, unsigned x, unsigned y)
{
    return "GIF89a" + LE16(w) + LE16(h) + std::string("\x80\x00\x00", 3) + std::string("\x00\x00\x00\xFF\x00\x00", 6) +
           "\x2C" + LE16(x) + LE16(y) + LE16(1) + LE16(1) + std::string("\x00\x02\x02\x4C\x01\x00", 6) + ";";
}

// A GIF whose first frame claims the whole of a large screen but holds no data.
std::string GifFrameWithoutData(unsigned w, unsigned h)
{
    return "GIF89a" + LE16(w) + LE16(h) + std::string("\x80\x00\x00", 3) + std::string("\x00\x00\x00\xFF\xFF\xFF", 6) +
           "\x2C" + LE16(0) + LE16(0) + LE16(w) + LE16(h) + std::string("\x00\x02\x02\x4C\x01\x00", 6) + ";";
}

long PeakKilobytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class HostilePictureTest : public ::testing::Test {
protected:
    std::string Place(const std::string &name, const std::string &bytes)
    {
        WriteFile(FDir / name, bytes);
        return FDir / name;
    }

    // A progressive JPEG written by libjpeg itself, Huffman- or arithmetic-coded.
    std::string ProgressiveJpegFile(const TBitmap &picture, bool arithmetic = false)
    {
        const std::string path = FDir / (arithmetic ? "arithmetic.jpg" : "progressive.jpg");
        std::FILE *file = std::fopen(path.c_str(), "wb");
        jpeg_compress_struct info{};
        jpeg_error_mgr error{};
        info.err = jpeg_std_error(&error);
        jpeg_create_compress(&info);
        jpeg_stdio_dest(&info, file);
        info.image_width = static_cast<JDIMENSION>(picture.Width());
        info.image_height = static_cast<JDIMENSION>(picture.Height());
        info.input_components = 3;
        info.in_color_space = JCS_RGB;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, 100, TRUE);
        jpeg_simple_progression(&info);
        info.arith_code = arithmetic ? TRUE : FALSE;
        jpeg_start_compress(&info, TRUE);
        for (std::int32_t y = 0; y < picture.Height(); ++y) {
            JSAMPROW row = const_cast<std::uint8_t *>(picture.Scanline(y));
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
        std::fclose(file);
        return path;
    }

    // An interlaced RGBA PNG written by libpng itself: the left half opaque red, the right half
    // fully transparent.
    std::string InterlacedPngFile(int w, int h)
    {
        const std::string path = FDir / "interlaced.png";
        std::FILE *file = std::fopen(path.c_str(), "wb");
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGBA,
                     PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 4);
        for (int x = 0; x < w; ++x) {
            const bool left = x < w / 2;
            row[x * 4] = 255;
            row[x * 4 + 1] = row[x * 4 + 2] = 0;
            row[x * 4 + 3] = left ? 255 : 0;
        }
        for (int pass = 0; pass < png_set_interlace_handling(png); ++pass)
            for (int y = 0; y < h; ++y)
                png_write_row(png, row.data());
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return path;
    }

    TTempDir FDir;
};

struct THostileCase {
    const char *What;
    const char *Name;
    std::function<std::string()> Bytes;
    const char *Reason; // part of the message; empty: any refusal
};

TEST_F(HostilePictureTest, ClaimsTheDataCannotBackAreRefusedQuicklyWithoutTheirMemory)
{
    const THostileCase cases[] = {
        {"a 271-byte progressive JPEG of 18000 x 18000", "claim.jpg", [] { return ProgressiveJpeg(18000, 18000, 150); },
         "larger than its file can hold (18000 x 18000)"},
        // Big enough a file for the size check; libjpeg's coefficients would take 1.9 GB.
        {"a padded progressive JPEG of 18000 x 18000", "padded.jpg",
         [] { return ProgressiveJpeg(18000, 18000, 700000); }, "needs too much memory to decode"},
        {"a 65-byte RGBA PNG of 20000 x 17000", "claim.png", [] { return RgbaPngWithoutData(20000, 17000, 0); },
         "larger than its file can hold (20000 x 17000)"},
        // Big enough a file for the size check: the data ends in the first row.
        {"a padded RGBA PNG of 20000 x 10000", "padded.png", [] { return RgbaPngWithoutData(20000, 10000, 800000); },
         ""},
        {"a 45-byte Targa of 1024 x 31744", "cut.tga", [] { return CutTarga(1024, 31744); }, "Targa file is cut short"},
        {"a run-length bitmap whose runs stop in the first row", "cut-rle.bmp",
         [] { return RleBitmap(2000, 2000, std::string("\xFF\x07\xFF\x07\x00\x00", 6)); }, "bitmap file is cut short"},
        {"a run-length bitmap cut within a run", "cut-run.bmp",
         [] { return RleBitmap(4, 2, std::string("\x04\x07\x00\x00\x04", 5)); }, "bitmap file is cut short"},
        {"a bitmap of the first header cut after 100 bytes", "cut-old.bmp", [] { return OldBitmap(2000, 2000, 100); },
         "bitmap file is cut short"},
        {"a bitmap whose 9-byte header Qt reads as the first one, cut", "cut-9.bmp",
         [] { return OldBitmap(2050, 14976, 6, 9); }, "bitmap file is cut short"},
        {"a bitmap whose 52-byte header Qt reads as the first one, cut", "cut-52.bmp",
         [] { return OldBitmap(2000, 2000, 100, 52); }, "bitmap file is cut short"},
        {"a GIF frame of 18000 x 18000 without data", "claim.gif", [] { return GifFrameWithoutData(18000, 18000); },
         ""},
        {"a 35-byte GIF whose screen of 18000 x 18000 shows a 1 x 1 frame", "dot.gif",
         [] { return GifDot(18000, 18000, 0, 0); }, "larger than its file can hold (18000 x 18000)"},
        // Its sum over the ID and colour map fields sends Qt's reader 20 million bytes past the end.
        {"a 51-byte Targa whose pixels run into its footer", "footer.tga", [] { return TargaIntoItsFooter(); },
         "Targa file is cut short"},
        {"a 114-byte Targa whose colour map entries have no bits", "empty-map.tga",
         [] { return TargaOfEmptyMapEntries(); }, "Targa file is cut short"},
        // Arithmetic coding needs no bit a block: a file that has fewer bits than blocks may make
        // a picture of up to 64 MB.
        {"a 106-byte arithmetic-coded JPEG of 20551 x 11850", "arith.jpg",
         [] { return ArithmeticJpeg(20551, 11850, true, 0); }, "larger than its file can hold (20551 x 11850)"},
        {"a 48-byte arithmetic-coded JPEG of 4730 x 4730", "arith-grey.jpg",
         [] { return ArithmeticJpeg(4730, 4730, false, 0); }, "larger than its file can hold (4730 x 4730)"},
        {"an arithmetic-coded JPEG of 4000 x 4000 in 1000 empty scans", "scans.jpg",
         [] { return ArithmeticJpeg(4000, 4000, false, 999); }, "too many scans"},
        {"a run-length bitmap of 1156 x 18178 that ends at once", "ended.bmp",
         [] { return RleBitmap(1156, 18178, std::string("\x00\x01", 2)); },
         "larger than its file can hold (1156 x 18178)"},
    };
    for (const THostileCase &c : cases) {
        SCOPED_TRACE(c.What);
        const std::string path = Place(c.Name, c.Bytes());
        const long before = PeakKilobytes();
        const auto start = ProcessorTime();
        try {
            const TBitmap picture = ReadPicture(path);
            ADD_FAILURE() << "accepted as " << picture.Width() << " x " << picture.Height();
        } catch (const EImageError &e) {
            EXPECT_NE(std::string(e.what()).find(c.Reason), std::string::npos) << e.what();
        }
        EXPECT_LT(ProcessorTime() - start, kPromptly);
        EXPECT_LT(PeakKilobytes() - before, 64 * 1024) << "kilobytes more at the peak";
    }
}

struct TSoundCase {
    const char *What;
    std::function<std::string()> Make; // gives the path
    TColor TopLeft, BottomRight;
};

TEST_F(HostilePictureTest, SoundFilesOfTheSameKindsAreStillRead)
{
    // Each is read under two heap poisons: pixels the file does not code (a run-length bitmap's
    // rows above its end mark or past a move) are palette index 0, never what the heap held.
    // Red on the left, blue on the right, 24 x 20.
    TBitmap halves(24, 20, clRed);
    halves.FillRect({12, 0, 24, 20}, clBlue);
    TBitmap wideHalves(800, 600, clRed);
    wideHalves.FillRect({400, 0, 800, 600}, clBlue);
    const auto saved = [&](const char *name, const char *format) {
        return [&, name, format] {
            QImage image = QImage(halves.Bits(), halves.Width(), halves.Height(),
                                  static_cast<qsizetype>(halves.Stride()), QImage::Format_RGB888)
                               .copy();
            // Chunks the reader skips unread: text, compressed text, a colour profile.
            image.setText("Title", "halves");
            image.setText("Comment", QString(2000, 'c'));
            image.setColorSpace(QColorSpace::SRgb);
            EXPECT_TRUE(image.save(QString::fromStdString(FDir / name), format)) << name;
            return FDir / name;
        };
    };
    // Two rows of four: 7 7 7 9 and 9 9 3 3, the first row last in the file.
    const std::string rows = std::string("\x02\x09\x02\x03\x00\x00", 6) + std::string("\x03\x07\x01\x09\x00\x00", 6);
    const TColor grey3 = 0x030303, grey7 = 0x070707;
    const TSoundCase cases[] = {
        {"a bitmap", saved("a.bmp", "BMP"), clRed, clBlue},
        {"a Targa", [&] { return Place("a.tga", SoundTarga(halves)); }, clRed, clBlue},
        {"a TIFF", saved("a.tif", "TIFF"), clRed, clBlue},
        {"a PNG with text and a colour profile", saved("a.png", "PNG"), clRed, clBlue},
        {"a portable pixmap", saved("a.ppm", "PPM"), clRed, clBlue},
        {"an X pixmap", saved("a.xpm", "XPM"), clRed, clBlue},
        {"a run-length bitmap ending with its end mark",
         [&] { return Place("end.bmp", RleBitmap(4, 2, rows + std::string("\x00\x01", 2))); }, grey7, grey3},
        {"a run-length bitmap whose rows all end without an end mark",
         [&] { return Place("rows.bmp", RleBitmap(4, 2, rows)); }, grey7, grey3},
        {"a run-length bitmap that moves past its last row",
         [&] { return Place("moved.bmp", RleBitmap(4, 2, std::string("\x04\x07\x00\x02\x00\x02", 6))); }, clBlack,
         grey7},
        {"a run-length bitmap whose end mark leaves its top row blank",
         [&] { return Place("early.bmp", RleBitmap(4, 2, std::string("\x04\x07\x00\x01", 4))); }, clBlack, grey7},
        {"a 4-bit run-length bitmap whose end mark leaves its top row blank",
         [&] {
             return Place("early4.bmp",
                          RleBitmap(4, 2, std::string("\x04\x77\x00\x01", 4), GreyPalette().substr(0, 64), 4));
         },
         clBlack, grey7},
        {"a progressive JPEG", [&] { return ProgressiveJpegFile(halves); }, clRed, clBlue},
        {"an arithmetic-coded progressive JPEG", [&] { return ProgressiveJpegFile(halves, true); }, clRed, clBlue},
        {"an interlaced PNG with transparency", [&] { return InterlacedPngFile(24, 20); }, clRed, clWhite},
        {"a Targa with an image ID and a colour map", [&] { return Place("map.tga", SoundTarga(halves, true)); }, clRed,
         clBlue},
        {"a Targa of 800 x 600", [&] { return Place("large.tga", SoundTarga(wideHalves)); }, clRed, clBlue},
        {"a GIF whose frame covers a corner of its screen", [&] { return Place("dot.gif", GifDot(40, 30, 39, 29)); },
         clWhite, clRed},
    };
    for (const TSoundCase &c : cases) {
        SCOPED_TRACE(c.What);
        TBitmap picture;
        const std::string path = c.Make();
        const auto start = ProcessorTime();
        ::mallopt(M_PERTURB, 0x5A);
        ASSERT_NO_THROW(picture = ReadPicture(path));
        EXPECT_LT(ProcessorTime() - start, kPromptly);
        ::mallopt(M_PERTURB, 0xA5);
        EXPECT_TRUE(ReadPicture(path) == picture) << "a pixel from the heap";
        ::mallopt(M_PERTURB, 0);
        ASSERT_FALSE(picture.Empty());
        const auto near = [](TColor a, TColor b) {
            return std::abs(RedOf(a) - RedOf(b)) <= 8 && std::abs(GreenOf(a) - GreenOf(b)) <= 8 &&
                   std::abs(BlueOf(a) - BlueOf(b)) <= 8;
        };
        EXPECT_TRUE(near(picture.Pixel(0, 0), c.TopLeft)) << std::hex << picture.Pixel(0, 0);
        EXPECT_TRUE(near(picture.Pixel(picture.Width() - 1, picture.Height() - 1), c.BottomRight))
            << std::hex << picture.Pixel(picture.Width() - 1, picture.Height() - 1);
    }
}

} // namespace
} // namespace vantorel
