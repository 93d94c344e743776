#pragma once

#include <string>

#include "Bitmap.h"

namespace vantorel::codec {

// Reads a JPEG file with libjpeg; raises EImageError for a missing, damaged or too large one.
TBitmap ReadJpeg(const std::string &fileName);

} // namespace vantorel::codec
