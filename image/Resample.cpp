#include "Resample.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "LogCategories.h"

namespace vantorel {

namespace {

// Fixed point: weights carry 14 fractional bits (1.0 still fits an int16), the intermediate
// between the passes carries 6, which leaves int16 headroom for the overshoot of the negative
// lobes (up to about 255 * 1.1) so nothing is clamped between the passes.
constexpr int kWeightBits = 14;
constexpr int kInterBits = 6;
constexpr int kVerticalShift = kWeightBits - kInterBits;
constexpr int kHorizontalShift = kWeightBits + kInterBits;
// Zero int16 values after each intermediate row, so vector loads past the last tap stay inside.
constexpr int kInterPadding = 32;
// Below this many multiply-adds per thread a thread costs more than it saves.
constexpr double kWorkPerThread = 4e6;

std::atomic<int> GThreadLimit{0};

enum class TSimd { Scalar = 0, Sse2 = 1, Avx2 = 2 };
std::atomic<int> GSimdLimit{static_cast<int>(TSimd::Avx2)};

TSimd ActiveSimd()
{
#if defined(__x86_64__)
    static const TSimd detected = __builtin_cpu_supports("avx2") ? TSimd::Avx2 : TSimd::Sse2;
#else
    static const TSimd detected = TSimd::Scalar;
#endif
    return static_cast<TSimd>(std::min(static_cast<int>(detected), GSimdLimit.load()));
}

// Mitchell-Netravali with B = C = 1/3.
double Mitchell(double x)
{
    x = std::fabs(x);
    if (x < 1.0)
        return (7.0 * x * x * x - 12.0 * x * x + 16.0 / 3.0) / 6.0;
    if (x < 2.0)
        return (-7.0 / 3.0 * x * x * x + 12.0 * x * x - 20.0 * x + 32.0 / 3.0) / 6.0;
    return 0.0;
}

std::int32_t RoundUp(std::int32_t value, std::int32_t step) { return (value + step - 1) / step * step; }

// The filter along one axis: for each destination pixel that is written, the run of usable
// source pixels it reads and their fixed-point weights (summing to exactly 1.0).
struct TAxisFilter {
    std::int32_t DstFirst = 0; // first written destination pixel, bitmap coordinates
    std::int32_t SrcFirst = 0; // first usable source pixel, bitmap coordinates
    std::int32_t SrcCount = 0;
    std::int32_t WeightStride = 0;   // a multiple of 4, zero padded
    std::vector<std::int32_t> Start; // first tap, relative to SrcFirst
    std::vector<std::int32_t> Taps;
    std::vector<std::int16_t> Weights;
    // For the vector horizontal pass: each pair of taps as (w0 w1 w0 w1 w0 w1 0 0), one int16
    // lane pair per colour channel.
    std::vector<std::int16_t> PairWeights;

    std::int32_t Size() const { return static_cast<std::int32_t>(Start.size()); }
    const std::int16_t *WeightsOf(std::int32_t i) const
    {
        return Weights.data() + static_cast<std::size_t>(i) * WeightStride;
    }
    const std::int16_t *PairWeightsOf(std::int32_t i) const
    {
        return PairWeights.data() + static_cast<std::size_t>(i) * WeightStride * 4;
    }
};

// Destination pixel d (0 = the rectangle's first) has its centre at (d + 0.5) * scale in source
// rectangle coordinates. Only source pixels inside the bitmap are usable, and a destination
// pixel is written only when its centre falls on a usable source pixel and it lies inside its
// bitmap, so a rectangle reaching past either bitmap is clipped as an unscaled copy would be.
// At the edges of the usable source the taps that fall outside are dropped and the remaining
// weights renormalised (no edge replication).
TAxisFilter BuildAxis(std::int64_t srcLo, std::int64_t srcLen, std::int32_t srcLimit, std::int64_t dstLo,
                      std::int64_t dstLen, std::int32_t dstLimit)
{
    TAxisFilter axis;
    const std::int64_t usableLo = std::max<std::int64_t>(srcLo, 0);
    const std::int64_t usableHi = std::min<std::int64_t>(srcLo + srcLen, srcLimit);
    if (usableLo >= usableHi)
        return axis;
    const double scale = static_cast<double>(srcLen) / static_cast<double>(dstLen);
    const double factor = std::max(scale, 1.0);
    const double radius = 2.0 * factor;
    const double a = static_cast<double>(usableLo - srcLo);
    const double b = static_cast<double>(usableHi - srcLo);
    axis.SrcFirst = static_cast<std::int32_t>(usableLo);
    axis.SrcCount = static_cast<std::int32_t>(usableHi - usableLo);

    const std::int64_t first = std::max<std::int64_t>(dstLo, 0);
    const std::int64_t last = std::min<std::int64_t>(dstLo + dstLen, dstLimit);
    std::vector<double> w;
    std::vector<std::vector<std::int16_t>> runs;
    for (std::int64_t d = first; d < last; ++d) {
        const double centre = (static_cast<double>(d - dstLo) + 0.5) * scale;
        if (centre < a || centre >= b)
            continue;
        if (axis.Start.empty())
            axis.DstFirst = static_cast<std::int32_t>(d);
        const double c = centre - 0.5;
        const double lo = std::max(std::ceil(c - radius), a);
        const double hi = std::min(std::floor(c + radius), b - 1.0);
        const std::int32_t start = static_cast<std::int32_t>(lo - a);
        const std::int32_t count = static_cast<std::int32_t>(hi - lo) + 1;
        w.resize(count);
        double sum = 0.0;
        for (std::int32_t k = 0; k < count; ++k) {
            w[k] = Mitchell((lo + k - c) / factor);
            sum += w[k];
        }
        // Rounding the running sum rather than each weight keeps the total exactly 1.0 and the
        // rounding errors from piling up over long windows.
        std::vector<std::int16_t> q(count);
        double running = 0.0;
        std::int64_t previous = 0;
        for (std::int32_t k = 0; k < count; ++k) {
            running += w[k] / sum;
            const std::int64_t now = std::llround(running * (1 << kWeightBits));
            q[k] = static_cast<std::int16_t>(now - previous);
            previous = now;
        }
        q[count - 1] = static_cast<std::int16_t>(q[count - 1] + ((1 << kWeightBits) - previous));
        std::int32_t begin = 0, end = count;
        while (begin < end - 1 && q[begin] == 0)
            ++begin;
        while (end - 1 > begin && q[end - 1] == 0)
            --end;
        axis.Start.push_back(start + begin);
        runs.emplace_back(q.begin() + begin, q.begin() + end);
    }
    // Dropping the zero weights at the ends may leave a window starting or ending before the
    // previous one; zero taps put back keep both edges in order, which the row streaming needs.
    for (std::int32_t i = axis.Size() - 2; i >= 0; --i)
        if (axis.Start[i] > axis.Start[i + 1]) {
            runs[i].insert(runs[i].begin(), axis.Start[i] - axis.Start[i + 1], 0);
            axis.Start[i] = axis.Start[i + 1];
        }
    for (std::int32_t i = 1; i < axis.Size(); ++i) {
        const auto previousEnd = axis.Start[i - 1] + runs[i - 1].size();
        if (axis.Start[i] + runs[i].size() < previousEnd)
            runs[i].resize(previousEnd - axis.Start[i], 0);
    }
    std::size_t maxTaps = 1;
    for (const auto &run : runs)
        maxTaps = std::max(maxTaps, run.size());
    axis.WeightStride = RoundUp(static_cast<std::int32_t>(maxTaps), 4);
    axis.Weights.assign(static_cast<std::size_t>(axis.Size()) * axis.WeightStride, 0);
    for (std::int32_t i = 0; i < axis.Size(); ++i) {
        axis.Taps.push_back(static_cast<std::int32_t>(runs[i].size()));
        std::copy(runs[i].begin(), runs[i].end(),
                  axis.Weights.begin() + static_cast<std::size_t>(i) * axis.WeightStride);
    }
    return axis;
}

void BuildPairWeights(TAxisFilter &axis)
{
    axis.PairWeights.assign(axis.Weights.size() * 4, 0);
    for (std::int32_t i = 0; i < axis.Size(); ++i) {
        const std::int16_t *w = axis.WeightsOf(i);
        std::int16_t *p = axis.PairWeights.data() + static_cast<std::size_t>(i) * axis.WeightStride * 4;
        for (std::int32_t k = 0; k < axis.WeightStride; k += 2, p += 8)
            for (int c = 0; c < 3; ++c) {
                p[2 * c] = w[k];
                p[2 * c + 1] = w[k + 1];
            }
    }
}

// --- Vertical pass: output rows [First, Last) of V, intermediate bytes [x0, x1). ---

// Working memory of the row streaming (see VerticalStreamAvx2), one per thread.
struct TStreamScratch {
    struct TFeed {
        std::int32_t Sum; // the output, then the offset of its sums
        std::int32_t W01;
        std::int32_t W23;
    };
    std::vector<TFeed> Feeds;
    std::vector<std::int32_t> GroupEnd;
    std::vector<std::int32_t> DoneEnd;
    std::vector<std::int32_t> Sums;
};

struct TVerticalBlock {
    TStreamScratch *Scratch = nullptr;
    const std::uint8_t *Base = nullptr; // the first usable source pixel
    std::size_t Stride = 0;
    const TAxisFilter *V = nullptr;
    std::int32_t First = 0;
    std::int32_t Last = 0;
    std::int16_t *Inter = nullptr; // the row of First
    std::size_t InterStride = 0;

    const std::uint8_t *TapRow(std::int32_t o) const { return Base + static_cast<std::size_t>(V->Start[o]) * Stride; }
    std::int16_t *Out(std::int32_t o) const { return Inter + static_cast<std::size_t>(o - First) * InterStride; }
};

void VerticalScalar(const TVerticalBlock &block, std::int32_t x0, std::int32_t x1)
{
    constexpr std::int32_t kChunk = 256;
    std::int32_t acc[kChunk];
    for (std::int32_t o = block.First; o < block.Last; ++o) {
        const std::int16_t *w = block.V->WeightsOf(o);
        const std::int32_t taps = block.V->Taps[o];
        std::int16_t *out = block.Out(o);
        for (std::int32_t x = x0; x < x1; x += kChunk) {
            const std::int32_t n = std::min(kChunk, x1 - x);
            std::fill_n(acc, n, 0);
            const std::uint8_t *row = block.TapRow(o) + x;
            for (std::int32_t k = 0; k < taps; ++k, row += block.Stride)
                for (std::int32_t i = 0; i < n; ++i)
                    acc[i] += w[k] * row[i];
            for (std::int32_t i = 0; i < n; ++i)
                out[x + i] = static_cast<std::int16_t>((acc[i] + (1 << (kVerticalShift - 1))) >> kVerticalShift);
        }
    }
}

// --- Horizontal pass: one intermediate row (interleaved R, G, B int16) into the written pixels of a row. ---

std::uint8_t ToByte(std::int32_t acc)
{
    return static_cast<std::uint8_t>(std::clamp((acc + (1 << (kHorizontalShift - 1))) >> kHorizontalShift, 0, 255));
}

void HorizontalScalar(const std::int16_t *in, const TAxisFilter &axis, std::uint8_t *out)
{
    for (std::int32_t i = 0; i < axis.Size(); ++i, out += 3) {
        const std::int16_t *p = in + 3 * axis.Start[i];
        const std::int16_t *w = axis.WeightsOf(i);
        std::int32_t r = 0, g = 0, b = 0;
        for (std::int32_t k = 0; k < axis.Taps[i]; ++k, p += 3) {
            r += w[k] * p[0];
            g += w[k] * p[1];
            b += w[k] * p[2];
        }
        out[0] = ToByte(r);
        out[1] = ToByte(g);
        out[2] = ToByte(b);
    }
}

#if defined(__x86_64__)

std::int32_t PairOf(const std::int16_t *w)
{
    std::int32_t pair;
    std::memcpy(&pair, w, sizeof pair);
    return pair;
}

// The window of a block is read a chunk at a time down many rows at once, an access pattern the
// hardware prefetchers do not follow. Fetching a few lines of each row well ahead into L2, row by
// row, keeps the pass from waiting on memory. Called when chunk x starts a new group of lines.
constexpr std::int32_t kPrefetchAhead = 2048;
constexpr std::int32_t kPrefetchGroup = 256;

void PrefetchWindow(const TVerticalBlock &block, std::int32_t x, std::int32_t x1)
{
    const std::int32_t from = x + kPrefetchAhead;
    const std::int32_t bytes = std::min(kPrefetchGroup, x1 - from);
    const std::uint8_t *last = block.TapRow(block.Last - 1) + block.V->Taps[block.Last - 1] * block.Stride;
    for (const std::uint8_t *row = block.TapRow(block.First) + from; row < last; row += block.Stride)
        for (std::int32_t i = 0; i < bytes; i += 64)
            _mm_prefetch(reinterpret_cast<const char *>(row + i), _MM_HINT_T1);
}

// SSE2 is part of every x86-64 processor.
void VerticalSse2(const TVerticalBlock &block, std::int32_t x0, std::int32_t x1)
{
    if (x1 - x0 < 16) {
        VerticalScalar(block, x0, x1);
        return;
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i round = _mm_set1_epi32(1 << (kVerticalShift - 1));
    const std::size_t stride = block.Stride;
    // Chunk by chunk across all rows of the block, so the window's cache lines are reused from L1.
    for (std::int32_t x = x0;; x += 16) {
        // The last chunk overlaps the one before rather than reading past x1.
        x = std::min(x, x1 - 16);
        if ((x - x0) % kPrefetchGroup < 16)
            PrefetchWindow(block, x, x1);
        for (std::int32_t o = block.First; o < block.Last; ++o) {
            const std::int16_t *w = block.V->WeightsOf(o);
            const std::int32_t taps = block.V->Taps[o];
            const std::uint8_t *r0 = block.TapRow(o) + x;
            __m128i acc0 = zero, acc1 = zero, acc2 = zero, acc3 = zero;
            for (std::int32_t k = 0; k < taps; k += 2, r0 += 2 * stride) {
                // An odd last tap pairs with itself under a zero weight.
                const std::uint8_t *r1 = k + 1 < taps ? r0 + stride : r0;
                const __m128i wp = _mm_set1_epi32(PairOf(w + k));
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(r0));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(r1));
                const __m128i lo = _mm_unpacklo_epi8(a, b);
                const __m128i hi = _mm_unpackhi_epi8(a, b);
                acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), wp));
                acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), wp));
                acc2 = _mm_add_epi32(acc2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), wp));
                acc3 = _mm_add_epi32(acc3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), wp));
            }
            acc0 = _mm_srai_epi32(_mm_add_epi32(acc0, round), kVerticalShift);
            acc1 = _mm_srai_epi32(_mm_add_epi32(acc1, round), kVerticalShift);
            acc2 = _mm_srai_epi32(_mm_add_epi32(acc2, round), kVerticalShift);
            acc3 = _mm_srai_epi32(_mm_add_epi32(acc3, round), kVerticalShift);
            std::int16_t *out = block.Out(o) + x;
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_packs_epi32(acc0, acc1));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_packs_epi32(acc2, acc3));
        }
        if (x + 16 >= x1)
            break;
    }
}

std::uint32_t PackPixel(__m128i acc)
{
    acc = _mm_srai_epi32(_mm_add_epi32(acc, _mm_set1_epi32(1 << (kHorizontalShift - 1))), kHorizontalShift);
    const __m128i words = _mm_packs_epi32(acc, acc);
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
}

void StorePixel(std::uint8_t *out, std::uint32_t rgb)
{
    out[0] = static_cast<std::uint8_t>(rgb);
    out[1] = static_cast<std::uint8_t>(rgb >> 8);
    out[2] = static_cast<std::uint8_t>(rgb >> 16);
}

void HorizontalSse2(const std::int16_t *in, const TAxisFilter &axis, std::uint8_t *out)
{
    for (std::int32_t i = 0; i < axis.Size(); ++i, out += 3) {
        const std::int16_t *p = in + 3 * axis.Start[i];
        const std::int16_t *w = axis.PairWeightsOf(i);
        __m128i acc = _mm_setzero_si128();
        // (r0 g0 b0 r1) and (r1 g1 b1 r2) interleave to (r0 r1 g0 g1 b0 b1 . .).
        for (std::int32_t k = 0; k < axis.Taps[i]; k += 2, p += 6, w += 8) {
            const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p));
            const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p + 3));
            const __m128i wp = _mm_loadu_si128(reinterpret_cast<const __m128i *>(w));
            acc = _mm_add_epi32(acc, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), wp));
        }
        StorePixel(out, PackPixel(acc));
    }
}

__attribute__((target("avx2"))) void VerticalAvx2(const TVerticalBlock &block, std::int32_t x0, std::int32_t x1)
{
    if (x1 - x0 < 32) {
        VerticalSse2(block, x0, x1);
        return;
    }
    const __m256i zero = _mm256_setzero_si256();
    const __m256i round = _mm256_set1_epi32(1 << (kVerticalShift - 1));
    const std::size_t stride = block.Stride;
    for (std::int32_t x = x0;; x += 32) {
        x = std::min(x, x1 - 32);
        if ((x - x0) % kPrefetchGroup < 32)
            PrefetchWindow(block, x, x1);
        for (std::int32_t o = block.First; o < block.Last; ++o) {
            const std::int16_t *w = block.V->WeightsOf(o);
            const std::int32_t taps = block.V->Taps[o];
            const std::uint8_t *r0 = block.TapRow(o) + x;
            __m256i acc0 = zero, acc1 = zero, acc2 = zero, acc3 = zero;
            if (taps % 2 != 0) {
                // The odd last tap first, so the pair loop below runs to the end.
                const __m256i wp = _mm256_set1_epi32(static_cast<std::uint16_t>(w[taps - 1]));
                const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(r0 + (taps - 1) * stride));
                const __m256i lo = _mm256_unpacklo_epi8(a, zero);
                const __m256i hi = _mm256_unpackhi_epi8(a, zero);
                acc0 = _mm256_madd_epi16(_mm256_unpacklo_epi16(lo, zero), wp);
                acc1 = _mm256_madd_epi16(_mm256_unpackhi_epi16(lo, zero), wp);
                acc2 = _mm256_madd_epi16(_mm256_unpacklo_epi16(hi, zero), wp);
                acc3 = _mm256_madd_epi16(_mm256_unpackhi_epi16(hi, zero), wp);
            }
            const std::int16_t *wEnd = w + (taps & ~1);
            for (; w < wEnd; w += 2, r0 += 2 * stride) {
                const __m256i wp = _mm256_set1_epi32(PairOf(w));
                const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(r0));
                const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(r0 + stride));
                // In-lane interleave: lane 0 holds bytes 0..15, lane 1 bytes 16..31.
                const __m256i lo = _mm256_unpacklo_epi8(a, b);
                const __m256i hi = _mm256_unpackhi_epi8(a, b);
                acc0 = _mm256_add_epi32(acc0, _mm256_madd_epi16(_mm256_unpacklo_epi8(lo, zero), wp));
                acc1 = _mm256_add_epi32(acc1, _mm256_madd_epi16(_mm256_unpackhi_epi8(lo, zero), wp));
                acc2 = _mm256_add_epi32(acc2, _mm256_madd_epi16(_mm256_unpacklo_epi8(hi, zero), wp));
                acc3 = _mm256_add_epi32(acc3, _mm256_madd_epi16(_mm256_unpackhi_epi8(hi, zero), wp));
            }
            acc0 = _mm256_srai_epi32(_mm256_add_epi32(acc0, round), kVerticalShift);
            acc1 = _mm256_srai_epi32(_mm256_add_epi32(acc1, round), kVerticalShift);
            acc2 = _mm256_srai_epi32(_mm256_add_epi32(acc2, round), kVerticalShift);
            acc3 = _mm256_srai_epi32(_mm256_add_epi32(acc3, round), kVerticalShift);
            // Packing gives values (0..7 | 16..23) and (8..15 | 24..31); the permutes restore order.
            const __m256i first = _mm256_packs_epi32(acc0, acc1);
            const __m256i second = _mm256_packs_epi32(acc2, acc3);
            std::int16_t *out = block.Out(o) + x;
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out), _mm256_permute2x128_si256(first, second, 0x20));
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 16), _mm256_permute2x128_si256(first, second, 0x31));
        }
        if (x + 32 >= x1)
            break;
    }
}

__attribute__((target("avx2"))) void HorizontalAvx2(const std::int16_t *in, const TAxisFilter &axis, std::uint8_t *out)
{
    // Per 128-bit lane: (r0 g0 b0 r1 g1 b1 . .) -> (r0 r1 g0 g1 b0 b1 . .).
    const __m256i order = _mm256_setr_epi8(0, 1, 6, 7, 2, 3, 8, 9, 4, 5, 10, 11, 12, 13, 14, 15, //
                                           0, 1, 6, 7, 2, 3, 8, 9, 4, 5, 10, 11, 12, 13, 14, 15);
    for (std::int32_t i = 0; i < axis.Size(); ++i, out += 3) {
        const std::int16_t *p = in + 3 * axis.Start[i];
        const std::int16_t *w = axis.PairWeightsOf(i);
        __m256i acc = _mm256_setzero_si256();
        for (std::int32_t k = 0; k < axis.Taps[i]; k += 4, p += 12, w += 16) {
            const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 6));
            const __m256i v = _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), order);
            const __m256i wp = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(w));
            acc = _mm256_add_epi32(acc, _mm256_madd_epi16(v, wp));
        }
        const __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
        StorePixel(out, PackPixel(sum));
    }
}

// For a shrinking picture each source row feeds only a few output rows. Streaming the window's
// rows in order, four at a time, into int32 sums of the output rows that read them reads every
// source row once, in long runs the hardware prefetcher follows, and unpacks each row once.
// Covers whole 32-byte chunks of [0, x1); returns false, doing nothing, where the rows feed too
// many outputs at once (enlarging), for which computing each output from its taps is cheaper.
constexpr std::int32_t kMaxStreamOutputs = 8;
constexpr std::int32_t kStreamSumBytes = 256 << 10; // the sums stay in L2

__attribute__((target("avx2"))) bool VerticalStreamAvx2(const TVerticalBlock &block, std::int32_t x1)
{
    const TAxisFilter &v = *block.V;
    const std::int32_t rowLo = v.Start[block.First];
    const std::int32_t rowHi = v.Start[block.Last - 1] + v.Taps[block.Last - 1];
    // For each group of four rows, each output that reads any of them with its two weight pairs,
    // and the outputs complete after the group.
    using TFeed = TStreamScratch::TFeed;
    std::vector<TFeed> &feeds = block.Scratch->Feeds;
    std::vector<std::int32_t> &groupEnd = block.Scratch->GroupEnd;
    std::vector<std::int32_t> &doneEnd = block.Scratch->DoneEnd;
    std::vector<std::int32_t> &sums = block.Scratch->Sums;
    feeds.clear();
    groupEnd.clear();
    doneEnd.clear();
    std::int32_t open = block.First, next = block.First, outputs = 1;
    for (std::int32_t r = rowLo; r < rowHi; r += 4) {
        while (next < block.Last && v.Start[next] < r + 4)
            ++next;
        if (next - open > kMaxStreamOutputs)
            return false;
        outputs = std::max(outputs, next - open);
        for (std::int32_t o = open; o < next; ++o) {
            std::uint16_t w[4];
            for (int k = 0; k < 4; ++k) {
                const std::int32_t i = r + k - v.Start[o];
                w[k] = i >= 0 && i < v.Taps[o] ? static_cast<std::uint16_t>(v.WeightsOf(o)[i]) : 0;
            }
            feeds.push_back({o, w[0] | (w[1] << 16), w[2] | (w[3] << 16)});
        }
        groupEnd.push_back(static_cast<std::int32_t>(feeds.size()));
        while (open < block.Last && v.Start[open] + v.Taps[open] <= r + 4)
            ++open;
        doneEnd.push_back(open);
    }
    // Output o keeps its sums in slot o % outputs: at most that many are open at once.
    const std::int32_t width = x1 & ~31;
    const std::int32_t strip = std::clamp<std::int32_t>(kStreamSumBytes / (4 * outputs) & ~31, 32, width);
    for (TFeed &feed : feeds)
        feed.Sum = feed.Sum % outputs * strip;
    sums.assign(static_cast<std::size_t>(outputs) * strip, 0);

    const __m256i zero = _mm256_setzero_si256();
    const __m256i round = _mm256_set1_epi32(1 << (kVerticalShift - 1));
    for (std::int32_t s0 = 0; s0 < width; s0 += strip) {
        const std::int32_t s1 = std::min(s0 + strip, width);
        std::int32_t done = block.First;
        const TFeed *feed = feeds.data();
        for (std::int32_t r = rowLo, g = 0; r < rowHi; r += 4, ++g) {
            const std::uint8_t *row[4];
            for (int k = 0; k < 4; ++k)
                row[k] = block.Base + static_cast<std::size_t>(std::min(r + k, rowHi - 1)) * block.Stride;
            const TFeed *feedEnd = feeds.data() + groupEnd[g];
            for (std::int32_t x = s0; x < s1; x += 32) {
                const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(row[0] + x));
                const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(row[1] + x));
                const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(row[2] + x));
                const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(row[3] + x));
                // Byte pairs of rows (0, 1) and (2, 3) as int16 pairs, in the in-lane order that
                // the pack below undoes.
                const __m256i abLo = _mm256_unpacklo_epi8(a, b), abHi = _mm256_unpackhi_epi8(a, b);
                const __m256i cdLo = _mm256_unpacklo_epi8(c, d), cdHi = _mm256_unpackhi_epi8(c, d);
                const __m256i ab0 = _mm256_unpacklo_epi8(abLo, zero), ab1 = _mm256_unpackhi_epi8(abLo, zero);
                const __m256i ab2 = _mm256_unpacklo_epi8(abHi, zero), ab3 = _mm256_unpackhi_epi8(abHi, zero);
                const __m256i cd0 = _mm256_unpacklo_epi8(cdLo, zero), cd1 = _mm256_unpackhi_epi8(cdLo, zero);
                const __m256i cd2 = _mm256_unpacklo_epi8(cdHi, zero), cd3 = _mm256_unpackhi_epi8(cdHi, zero);
                for (const TFeed *f = feed; f < feedEnd; ++f) {
                    __m256i *q = reinterpret_cast<__m256i *>(sums.data() + f->Sum + (x - s0));
                    const __m256i w01 = _mm256_set1_epi32(f->W01);
                    const __m256i w23 = _mm256_set1_epi32(f->W23);
                    _mm256_storeu_si256(
                        q, _mm256_add_epi32(_mm256_loadu_si256(q), _mm256_add_epi32(_mm256_madd_epi16(ab0, w01),
                                                                                    _mm256_madd_epi16(cd0, w23))));
                    _mm256_storeu_si256(q + 1, _mm256_add_epi32(_mm256_loadu_si256(q + 1),
                                                                _mm256_add_epi32(_mm256_madd_epi16(ab1, w01),
                                                                                 _mm256_madd_epi16(cd1, w23))));
                    _mm256_storeu_si256(q + 2, _mm256_add_epi32(_mm256_loadu_si256(q + 2),
                                                                _mm256_add_epi32(_mm256_madd_epi16(ab2, w01),
                                                                                 _mm256_madd_epi16(cd2, w23))));
                    _mm256_storeu_si256(q + 3, _mm256_add_epi32(_mm256_loadu_si256(q + 3),
                                                                _mm256_add_epi32(_mm256_madd_epi16(ab3, w01),
                                                                                 _mm256_madd_epi16(cd3, w23))));
                }
            }
            feed = feedEnd;
            for (; done < doneEnd[g]; ++done) {
                std::int32_t *sum = sums.data() + static_cast<std::size_t>(done % outputs) * strip;
                std::int16_t *out = block.Out(done);
                for (std::int32_t x = s0; x < s1; x += 32) {
                    __m256i *q = reinterpret_cast<__m256i *>(sum + (x - s0));
                    __m256i t[4];
                    for (int i = 0; i < 4; ++i) {
                        t[i] = _mm256_srai_epi32(_mm256_add_epi32(_mm256_loadu_si256(q + i), round), kVerticalShift);
                        _mm256_storeu_si256(q + i, zero);
                    }
                    const __m256i first = _mm256_packs_epi32(t[0], t[1]);
                    const __m256i second = _mm256_packs_epi32(t[2], t[3]);
                    _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + x),
                                        _mm256_permute2x128_si256(first, second, 0x20));
                    _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + x + 16),
                                        _mm256_permute2x128_si256(first, second, 0x31));
                }
            }
        }
    }
    return true;
}

__attribute__((target("avx2"))) void VerticalBestAvx2(const TVerticalBlock &block, std::int32_t x0, std::int32_t x1)
{
    if (x0 != 0 || x1 < 32 || !VerticalStreamAvx2(block, x1)) {
        VerticalAvx2(block, x0, x1);
        return;
    }
    if (x1 % 32 != 0)
        VerticalAvx2(block, x1 - 32, x1);
}

#endif

using TVerticalKernel = void (*)(const TVerticalBlock &, std::int32_t, std::int32_t);
using THorizontalKernel = void (*)(const std::int16_t *, const TAxisFilter &, std::uint8_t *);

struct TJob {
    const TBitmap *Src = nullptr;
    TBitmap *Dst = nullptr;
    TAxisFilter H;
    TAxisFilter V;
    TVerticalKernel Vertical = VerticalScalar;
    THorizontalKernel Horizontal = HorizontalScalar;
    std::int32_t RowBytes = 0; // of the usable source
    std::int32_t BlockRows = 1;
    std::atomic<std::int32_t> NextBlock{0};
    // The first failure of a thread that had taken a block: those rows are not rendered, so the
    // caller must hear of it; Failed stops the others early. A thread that could not get its
    // working memory took no block; its failure matters only when no thread got any.
    std::mutex FailureLock;
    std::exception_ptr Failure;
    std::exception_ptr StartFailure;
    std::atomic<bool> Failed{false};

    void Keep(std::exception_ptr &slot, std::exception_ptr failure)
    {
        const std::lock_guard<std::mutex> lock(FailureLock);
        if (!slot)
            slot = std::move(failure);
    }
};

std::atomic<std::int32_t> GFailingBlock{-1};

// The rows of V a block at a time, taking the next block until none is left (so a thread that
// shares its core does less): the vertical pass into the block's intermediate rows, small enough
// to stay in cache, then the horizontal pass. Failures are kept in the job.
void RunBlocks(TJob &job) noexcept
{
    const std::int32_t rows = job.V.Size();
    TStreamScratch scratch;
    TVerticalBlock block;
    block.Scratch = &scratch;
    block.Base = job.Src->Scanline(job.V.SrcFirst) + 3 * static_cast<std::size_t>(job.H.SrcFirst);
    block.Stride = job.Src->Stride();
    block.V = &job.V;
    block.InterStride = static_cast<std::size_t>(job.RowBytes) + kInterPadding;
    std::vector<std::int16_t> inter;
    try {
        inter.assign(static_cast<std::size_t>(std::min(job.BlockRows, rows)) * block.InterStride, 0);
    } catch (...) {
        job.Keep(job.StartFailure, std::current_exception());
        return;
    }
    block.Inter = inter.data();
    try {
        while (!job.Failed) {
            const std::int32_t taken = job.NextBlock++;
            block.First = taken * job.BlockRows;
            if (block.First >= rows)
                break;
            if (taken == GFailingBlock)
                throw std::bad_alloc();
            block.Last = std::min(block.First + job.BlockRows, rows);
            job.Vertical(block, 0, job.RowBytes);
            for (std::int32_t o = block.First; o < block.Last; ++o)
                job.Horizontal(block.Out(o), job.H,
                               job.Dst->Scanline(job.V.DstFirst + o) + 3 * static_cast<std::size_t>(job.H.DstFirst));
        }
    } catch (...) {
        job.Keep(job.Failure, std::current_exception());
        job.Failed = true;
    }
}

} // namespace

// Not part of the interface: lets the tests compare the scalar, SSE2 and AVX2 paths
// (0 = scalar, 1 = up to SSE2, 2 = the best the processor has).
void LimitResampleSimd(int level) { GSimdLimit = level; }
// Not part of the interface either: the thread that takes this block (-1: none) fails as if its
// memory had run out, so the tests can see that the failure reaches the caller.
void FailResampleBlock(std::int32_t block) { GFailingBlock = block; }

void SetResampleThreads(int threads) { GThreadLimit = std::max(threads, 0); }

void StretchResample(const TBitmap &src, TBitmap &dst, TRect srcRect, TRect dstRect)
{
    if (srcRect.IsEmpty() || dstRect.IsEmpty() || src.Empty() || dst.Empty())
        return;
    if (&src == &dst) {
        // Reading in place would read pixels already written; resample from a copy.
        const TBitmap copy = src;
        StretchResample(copy, dst, srcRect, dstRect);
        return;
    }
    TJob job;
    job.Src = &src;
    job.Dst = &dst;
    job.H = BuildAxis(srcRect.Left, static_cast<std::int64_t>(srcRect.Right) - srcRect.Left, src.Width(), dstRect.Left,
                      static_cast<std::int64_t>(dstRect.Right) - dstRect.Left, dst.Width());
    job.V = BuildAxis(srcRect.Top, static_cast<std::int64_t>(srcRect.Bottom) - srcRect.Top, src.Height(), dstRect.Top,
                      static_cast<std::int64_t>(dstRect.Bottom) - dstRect.Top, dst.Height());
    if (job.H.Size() == 0 || job.V.Size() == 0)
        return;
    switch (ActiveSimd()) {
#if defined(__x86_64__)
    case TSimd::Avx2:
        job.Vertical = VerticalBestAvx2;
        job.Horizontal = HorizontalAvx2;
        BuildPairWeights(job.H);
        break;
    case TSimd::Sse2:
        job.Vertical = VerticalSse2;
        job.Horizontal = HorizontalSse2;
        BuildPairWeights(job.H);
        break;
#endif
    default:
        break;
    }

    const std::int32_t rows = job.V.Size();
    job.RowBytes = 3 * job.H.SrcCount;
    job.BlockRows = std::clamp<std::int32_t>((256 << 10) / ((job.RowBytes + kInterPadding) * 2), 1, 64);
    const std::int32_t blocks = (rows + job.BlockRows - 1) / job.BlockRows;
    double work = 0.0;
    for (std::int32_t i = 0; i < rows; ++i)
        work += static_cast<double>(job.V.Taps[i]) * job.RowBytes;
    for (std::int32_t i = 0; i < job.H.Size(); ++i)
        work += static_cast<double>(job.H.Taps[i]) * 3 * rows;
    int limit = GThreadLimit.load();
    if (limit <= 0)
        limit = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int threads =
        static_cast<int>(std::clamp(work / kWorkPerThread, 1.0, static_cast<double>(std::min(limit, blocks))));
    // A thread takes a block only after its working memory is had, so a thread that cannot
    // start or cannot get its memory leaves its share to the others.
    std::vector<std::thread> workers;
    workers.reserve(threads - 1);
    for (int t = 1; t < threads; ++t) {
        try {
            workers.emplace_back(RunBlocks, std::ref(job));
        } catch (const std::system_error &) {
            break;
        }
    }
    RunBlocks(job);
    for (std::thread &worker : workers)
        worker.join();
    if (job.Failure) {
        qCWarning(lcImage) << "a resampling thread failed; the picture is not drawn whole";
        std::rethrow_exception(job.Failure);
    }
    // No thread got its working memory, so blocks were left.
    if (job.StartFailure && static_cast<std::int64_t>(job.NextBlock.load()) * job.BlockRows < rows)
        std::rethrow_exception(job.StartFailure);
}

} // namespace vantorel
