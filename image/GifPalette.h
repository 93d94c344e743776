#pragma once

#include <string>
#include <vector>

#include <gif_lib.h>

#include "Bitmap.h"

namespace vantorel::codec {

// Gives the picture's own colours and true when it has no more than maxColours of them.
bool CollectFewColours(const TBitmap &bitmap, int maxColours, std::vector<GifColorType> &palette);
// An optimised palette of up to maxColours from libimagequant; raises EImageError, naming the
// file, when the reduction fails.
void OptimisedPalette(const TBitmap &bitmap, int maxColours, const std::string &fileName,
                      std::vector<GifColorType> &palette);
// Maps every pixel to the nearest palette colour, with Floyd-Steinberg error diffusion when
// dithering.
void RemapToPalette(const TBitmap &bitmap, const std::vector<GifColorType> &palette, bool dither,
                    std::vector<GifPixelType> &indices);

} // namespace vantorel::codec
