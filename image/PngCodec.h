#pragma once

#include <string>

#include "Bitmap.h"

namespace vantorel::codec {

// Reads a PNG file with libpng, transparency over white; raises EImageError for a missing,
// damaged or too large one.
TBitmap ReadPng(const std::string &fileName);

} // namespace vantorel::codec
