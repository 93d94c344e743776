#pragma once

#include <string>

#include "Bitmap.h"
#include "TempWorkFolder.h"

namespace vantorel {

// Writes a logo by the upper-cased extension of the logo's name (".BMP", ".JPG"/".JPEG",
// ".GIF", ".PNG"); the target's own extension plays no part. Returns false, writing nothing,
// for any other extension; raises EImageError when the write fails.
bool WriteLogoFile(const TBitmap &logo, const std::string &logoName, const std::string &target, int jpegQuality,
                   int gifBits);

// Writes the logo under the logo's name into a work folder of its own under "Temp"
// (TTempWorkFolder) and returns the path; empty when nothing could be written (the failure is not
// reported).
std::string RenderLogoToTempFile(const TTempWorkFolder &workFolder, const std::string &logoName, const TBitmap &logo,
                                 int jpegQuality, int gifBits);

} // namespace vantorel
