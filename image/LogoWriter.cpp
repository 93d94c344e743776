#include "LogoWriter.h"

#include "ImageCodecs.h"
#include "TextRules.h"

namespace vantorel {

bool WriteLogoFile(const TBitmap &logo, const std::string &logoName, const std::string &target, int jpegQuality,
                   int gifBits)
{
    const std::string ext = AsciiUpper(ExtractExtension(logoName));
    if (ext == ".BMP")
        WriteBMP(logo, target);
    else if (ext == ".JPG" || ext == ".JPEG")
        WriteJPEG(logo, target, jpegQuality);
    else if (ext == ".GIF")
        WriteGIF(logo, target, gifBits);
    else if (ext == ".PNG")
        WritePNG(logo, target);
    else
        return false;
    return true;
}

std::string RenderLogoToTempFile(const TTempWorkFolder &workFolder, const std::string &logoName, const TBitmap &logo,
                                 int jpegQuality, int gifBits)
{
    // Nothing rendered yet gives no file a caller could use. A name that is not one path
    // component would put the file outside the work folder.
    if (logo.Empty() || !IsValidNodeName(logoName))
        return {};
    try {
        const std::string target = workFolder.Path() + logoName;
        if (!WriteLogoFile(logo, logoName, target, jpegQuality, gifBits))
            return {};
        return target;
    } catch (...) {
        // The callers report a failed render in their own words.
        return {};
    }
}

} // namespace vantorel
