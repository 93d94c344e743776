#pragma once

// The resampler written the plain way, in double precision: the yardstick for StretchResample in
// the tests and its baseline in the benchmark. Same pixel mapping, same clipping, same edge rule;
// no fixed point, nothing clamped between the passes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Bitmap.h"
#include "Geometry.h"

namespace vantorel::test {

inline double ReferenceMitchell(double x)
{
    const double B = 1.0 / 3.0, C = 1.0 / 3.0;
    x = std::fabs(x);
    if (x < 1.0)
        return ((12 - 9 * B - 6 * C) * x * x * x + (-18 + 12 * B + 6 * C) * x * x + (6 - 2 * B)) / 6;
    if (x < 2.0)
        return ((-B - 6 * C) * x * x * x + (6 * B + 30 * C) * x * x + (-12 * B - 48 * C) * x + (8 * B + 24 * C)) / 6;
    return 0.0;
}

// One written destination pixel of an axis and the source pixels it reads.
struct TReferenceTap {
    std::int32_t Dst = 0;
    std::vector<std::int32_t> Src;
    std::vector<double> Weight;
};

// Destination pixel d of the rectangle is centred on (d + 0.5) * scale in the source rectangle and
// is written when that centre lies on a source pixel inside the bitmap. Taps outside the bitmap
// are dropped and the rest renormalised to sum 1.
inline std::vector<TReferenceTap> ReferenceAxis(std::int64_t srcLo, std::int64_t srcHi, std::int32_t srcLimit,
                                                std::int64_t dstLo, std::int64_t dstHi, std::int32_t dstLimit)
{
    std::vector<TReferenceTap> out;
    if (srcHi <= srcLo || dstHi <= dstLo)
        return out;
    const double scale = static_cast<double>(srcHi - srcLo) / static_cast<double>(dstHi - dstLo);
    const double widen = std::max(scale, 1.0);
    const std::int64_t first = std::max<std::int64_t>(srcLo, 0);
    const std::int64_t last = std::min<std::int64_t>(srcHi, srcLimit) - 1;
    for (std::int64_t d = std::max<std::int64_t>(dstLo, 0); d < std::min<std::int64_t>(dstHi, dstLimit); ++d) {
        const double centre = (static_cast<double>(d - dstLo) + 0.5) * scale;
        const double x = static_cast<double>(srcLo) + centre;
        if (x < static_cast<double>(first) || x >= static_cast<double>(last + 1))
            continue;
        TReferenceTap tap;
        tap.Dst = static_cast<std::int32_t>(d);
        double sum = 0.0;
        const std::int64_t lo = std::max<std::int64_t>(first, static_cast<std::int64_t>(std::floor(x - 2 * widen)) - 1);
        const std::int64_t hi = std::min<std::int64_t>(last, static_cast<std::int64_t>(std::ceil(x + 2 * widen)) + 1);
        for (std::int64_t s = lo; s <= hi; ++s) { // a little wider than the support
            const double distance = (static_cast<double>(s) + 0.5 - x) / widen;
            if (std::fabs(distance) >= 2.0)
                continue;
            tap.Src.push_back(static_cast<std::int32_t>(s));
            tap.Weight.push_back(ReferenceMitchell(distance));
            sum += tap.Weight.back();
        }
        for (double &w : tap.Weight)
            w /= sum;
        out.push_back(std::move(tap));
    }
    return out;
}

// Horizontal pass into doubles over the source rows the vertical taps need, then the vertical pass,
// rounded to nearest and clamped only at the end.
inline void ReferenceStretch(const TBitmap &src, TBitmap &dst, TRect srcRect, TRect dstRect)
{
    if (&src == &dst) {
        const TBitmap copy = src;
        ReferenceStretch(copy, dst, srcRect, dstRect);
        return;
    }
    const auto columns =
        ReferenceAxis(srcRect.Left, srcRect.Right, src.Width(), dstRect.Left, dstRect.Right, dst.Width());
    const auto rows = ReferenceAxis(srcRect.Top, srcRect.Bottom, src.Height(), dstRect.Top, dstRect.Bottom, dst.Height());
    if (columns.empty() || rows.empty())
        return;
    const std::int32_t top = rows.front().Src.front();
    const std::int32_t bottom = rows.back().Src.back() + 1;
    const std::size_t width = columns.size();
    std::vector<double> across(static_cast<std::size_t>(bottom - top) * width * 3);
    for (std::int32_t y = top; y < bottom; ++y) {
        const std::uint8_t *line = src.Scanline(y);
        double *out = across.data() + static_cast<std::size_t>(y - top) * width * 3;
        for (const TReferenceTap &column : columns) {
            double r = 0, g = 0, b = 0;
            for (std::size_t k = 0; k < column.Src.size(); ++k) {
                const std::uint8_t *p = line + 3 * static_cast<std::size_t>(column.Src[k]);
                r += column.Weight[k] * p[0];
                g += column.Weight[k] * p[1];
                b += column.Weight[k] * p[2];
            }
            *out++ = r;
            *out++ = g;
            *out++ = b;
        }
    }
    std::vector<double> line(width * 3);
    for (const TReferenceTap &row : rows) {
        std::fill(line.begin(), line.end(), 0.0);
        for (std::size_t k = 0; k < row.Src.size(); ++k) {
            const double *in = across.data() + static_cast<std::size_t>(row.Src[k] - top) * width * 3;
            for (std::size_t i = 0; i < width * 3; ++i)
                line[i] += row.Weight[k] * in[i];
        }
        std::uint8_t *out = dst.Scanline(row.Dst) + 3 * static_cast<std::size_t>(columns.front().Dst);
        for (std::size_t i = 0; i < width * 3; ++i)
            out[i] = static_cast<std::uint8_t>(std::clamp(std::lround(line[i]), 0L, 255L));
    }
}

} // namespace vantorel::test
