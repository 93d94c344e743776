#include "GifCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include <gif_lib.h>

#include "CodecSupport.h"
#include "GifPalette.h"
#include "ImageCodecs.h"

namespace vantorel {

using namespace codec;

namespace {

// A GIF's LZW code stands for at most 4096 pixels, and codes are 12 bits wide by the time their
// strings grow that long: a byte of the file gives no more than this many pixels.
constexpr std::uint64_t kMaxLzwPixelsPerByte = 4096 * 8 / 12 + 1;
// A GIF screen of up to this much bitmap is drawn whatever its file holds: a small frame on a
// larger screen is sound, and costs little while the screen is small.
constexpr std::uint64_t kMaxGifUnbackedScreenBytes = std::uint64_t(16) << 20;

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

TGIFDefaults &GIFDefaultsStore()
{
    static TGIFDefaults defaults;
    return defaults;
}

} // namespace

TBitmap codec::ReadGif(const std::string &fileName)
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

void WriteGIF(const TBitmap &bitmap, const std::string &fileName, int bits, TExisting existing)
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
    const std::unique_ptr<TAtomicFile> file = OpenOutputFile(fileName, existing);
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
