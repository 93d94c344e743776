#include "QtPictureReader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include <QFile>
#include <QImage>
#include <QImageReader>

#include "CodecSupport.h"
#include "ImageCodecs.h"
#include "TextRules.h"

namespace vantorel {

using namespace codec;

namespace {

// A reader that keeps asking for data at the end of the file is filling in what is missing; a
// sound one may look past the end once or twice.
constexpr int kMaxReadsAtEnd = 16;

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

// The image for Qt's reader to read into, where it tells its size and pixel format, with every
// pixel at 0 (palette index 0 for a picture of a palette). A reader that takes the image it is
// given (the bitmap's, TIFF's, the portable and X bitmaps') leaves in it the pixels the file does
// not code: those of a run-length bitmap that ends early or moves past them. Qt allocates without
// filling, so they would show whatever the heap held before. A picture past Qt's allocation limit
// is left to Qt, which refuses it.
QImage BlankImageFor(QImageReader &reader, const std::string &fileName)
{
    const QSize size = reader.size();
    const QImage::Format format = reader.imageFormat();
    if (!size.isValid() || size.isEmpty() || format == QImage::Format_Invalid)
        return {};
    const qint64 rowBytes = (qint64(size.width()) * QImage::toPixelFormat(format).bitsPerPixel() + 31) / 32 * 4;
    const qint64 limit = qint64(QImageReader::allocationLimit()) << 20;
    if (limit > 0 && rowBytes * size.height() > limit)
        return {};
    QImage image(size, format);
    if (image.isNull())
        Fail(fileName, kNotEnoughMemory);
    image.fill(0);
    return image;
}

} // namespace

TBitmap codec::ReadQt(const std::string &fileName)
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
    QImage image = BlankImageFor(reader, fileName);
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

} // namespace vantorel
