#include "GifPalette.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <libimagequant.h>

#include "CodecSupport.h"

namespace vantorel {

using namespace codec;

namespace {

struct TLiqDeleter {
    void operator()(liq_attr *attr) const { liq_attr_destroy(attr); }
    void operator()(liq_image *image) const { liq_image_destroy(image); }
    void operator()(liq_result *result) const { liq_result_destroy(result); }
    void operator()(liq_histogram *histogram) const { liq_histogram_destroy(histogram); }
};

std::uint32_t PackedColour(const std::uint8_t *rgb)
{
    return std::uint32_t(rgb[0]) << 16 | std::uint32_t(rgb[1]) << 8 | rgb[2];
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

} // namespace

// The picture's own colours when there are no more than maxColours of them: a logo of few
// colours then goes through a GIF unchanged.
bool codec::CollectFewColours(const TBitmap &bitmap, int maxColours, std::vector<GifColorType> &palette)
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
void codec::OptimisedPalette(const TBitmap &bitmap, int maxColours, const std::string &fileName,
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

// Maps every pixel to the palette, with Floyd-Steinberg error diffusion when dithering: each
// pixel's error goes 7/16 ahead, 3/16 behind below, 5/16 below and 1/16 ahead below. Rows run
// alternately left and right, which avoids the diagonal streaks of one direction.
void codec::RemapToPalette(const TBitmap &bitmap, const std::vector<GifColorType> &palette, bool dither,
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

} // namespace vantorel
