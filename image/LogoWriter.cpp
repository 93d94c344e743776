#include "LogoWriter.h"

#include <exception>
#include <new>

#include "ImageCodecs.h"
#include "LogCategories.h"
#include "TextRules.h"

namespace vantorel {

bool HasLogoWriter(const std::string &logoName)
{
    const std::string ext = AsciiUpper(ExtractExtension(logoName));
    return ext == ".BMP" || ext == ".JPG" || ext == ".JPEG" || ext == ".GIF" || ext == ".PNG";
}

std::string SaveAsTarget(const std::string &chosen, const std::string &typeExtension)
{
    return HasLogoWriter(chosen) ? chosen : chosen + "." + typeExtension;
}

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

std::string WriteLogoFileReason(const TBitmap &logo, const std::string &logoName, const std::string &target,
                                int jpegQuality, int gifBits)
{
    std::string reason;
    try {
        if (logo.Empty())
            reason = "No logo has been rendered from the picture.";
        else if (!WriteLogoFile(logo, logoName, target, jpegQuality, gifBits))
            reason = "No picture format is known for the logo's name \"" + logoName + "\".";
    } catch (const std::bad_alloc &) {
        reason = target + ": there is not enough memory to write the picture";
    } catch (const std::exception &e) {
        reason = e.what();
    }
    if (!reason.empty())
        qCWarning(lcImage).noquote() << "The logo" << QString::fromStdString(logoName) << "was not written to"
                                     << QString::fromStdString(target) << "-" << QString::fromStdString(reason);
    return reason;
}

std::string RenderLogoToTempFile(const TTempWorkFolder &workFolder, const std::string &logoName, const TBitmap &logo,
                                 int jpegQuality, int gifBits, std::string *reason)
{
    // A name that is not one path component would put the file outside the work folder.
    std::string failure = "The logo's name \"" + logoName + "\" cannot name a file.";
    std::string target;
    if (IsValidNodeName(logoName)) {
        target = workFolder.Path() + logoName;
        failure = WriteLogoFileReason(logo, logoName, target, jpegQuality, gifBits);
    } else {
        qCWarning(lcImage).noquote() << QString::fromStdString(failure);
    }
    if (reason)
        *reason = failure;
    return failure.empty() ? target : std::string();
}

} // namespace vantorel
