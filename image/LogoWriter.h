#pragma once

#include <string>

#include "Bitmap.h"
#include "TempWorkFolder.h"

namespace vantorel {

// Whether a writer serves the extension of a logo's name (".BMP", ".JPG"/".JPEG", ".GIF", ".PNG",
// in any case).
bool HasLogoWriter(const std::string &logoName);

// The file a Save As writes: the chosen name when a writer serves its extension, else that name
// with the extension (without the dot) of the file type chosen in the dialog appended, so that the
// name's extension always says the file's format.
std::string SaveAsTarget(const std::string &chosen, const std::string &typeExtension);

// Writes a logo by the upper-cased extension of the logo's name (".BMP", ".JPG"/".JPEG",
// ".GIF", ".PNG"); the target's own extension plays no part. Returns false, writing nothing,
// for any other extension; raises EImageError when the write fails.
bool WriteLogoFile(const TBitmap &logo, const std::string &logoName, const std::string &target, int jpegQuality,
                   int gifBits);

// The same write, any failure given back as its reason (logged as well): no writer for the
// name's extension, nothing rendered, no memory, or what the writer reported. Empty once the
// file is written.
std::string WriteLogoFileReason(const TBitmap &logo, const std::string &logoName, const std::string &target,
                                int jpegQuality, int gifBits);

// Writes the logo under the logo's name into a work folder of its own under "Temp"
// (TTempWorkFolder) and returns the path; empty when nothing could be written. The callers report
// the failure in their own words; its cause goes to the log and, when asked for, to reason.
std::string RenderLogoToTempFile(const TTempWorkFolder &workFolder, const std::string &logoName, const TBitmap &logo,
                                 int jpegQuality, int gifBits, std::string *reason = nullptr);

} // namespace vantorel
