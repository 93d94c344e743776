#pragma once

#include "Bitmap.h"
#include "Geometry.h"

namespace vantorel {

// Resamples the srcRect part of src into dstRect of dst with the Mitchell-Netravali filter
// (B = C = 1/3), support radius 2 widened by the reduction factor when shrinking. Both passes
// are separable, fixed-point, vectorised where the processor allows, and spread over threads
// for large pictures. Parts of either rectangle outside its bitmap are clipped away as a plain
// copy would clip them; an empty rectangle draws nothing.
void StretchResample(const TBitmap &src, TBitmap &dst, TRect srcRect, TRect dstRect);

// The number of threads the resampler may use; 0 (the default) means one per processor.
void SetResampleThreads(int threads);

} // namespace vantorel
