#pragma once

#include <string>

#include "Bitmap.h"

namespace vantorel::codec {

// Reads a picture of any other format with the Qt image reader registered for its extension,
// converted to 24 bits, after the completeness checks of bitmap and Targa files; raises
// EImageError for a missing, damaged or too large one.
TBitmap ReadQt(const std::string &fileName);

} // namespace vantorel::codec
