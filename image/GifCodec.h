#pragma once

#include <string>

#include "Bitmap.h"

namespace vantorel::codec {

// Reads the first frame of a GIF file with giflib, drawn at its place on a white bitmap of the
// logical screen size; raises EImageError for a missing, damaged or too large one.
TBitmap ReadGif(const std::string &fileName);

} // namespace vantorel::codec
