#pragma once

#include <string>

#include "Bitmap.h"
#include "ImageCodecs.h"
#include "LogoTree.h"
#include "OptionValues.h"
#include "PromptService.h"

namespace vantorel {

// The extension a written file gets: ".bmp", ".jpg", ".gif", ".png".
const char *FormatExtension(TImageFileFormat format);
// The format of a logo from its name: ".JPG"/".JPEG" JPG, ".GIF" GIF, ".PNG" PNG, else BMP.
TImageFileFormat FormatOfLogoName(const std::string &name);

// The pictures of the mirror (0 horizontal, 1 vertical) and rotate (90, 180, 270 clockwise)
// commands.
TBitmap MirroredBitmap(const TBitmap &source, int direction);
TBitmap RotatedBitmap(const TBitmap &source, int angle);

// Writes a bitmap into a folder of the logo tree as base + the format's extension, at JPEG
// quality 100 and 8 bits per pixel, replacing a file of that name, or for a new file failing
// when one appeared under its name. Raises EImageError.
void SaveBitmapInFormat(const TLogoTree &tree, const TLogoNode *folder, const std::string &base,
                        TImageFileFormat format, const TBitmap &bitmap, TExisting existing = TExisting::Replace);
void SaveMirroredBitmap(const TLogoTree &tree, const TLogoNode *folder, const std::string &base,
                        TImageFileFormat format, const TBitmap &source, int direction,
                        TExisting existing = TExisting::Replace);
void SaveRotatedBitmap(const TLogoTree &tree, const TLogoNode *folder, const std::string &base,
                       TImageFileFormat format, const TBitmap &source, int angle,
                       TExisting existing = TExisting::Replace);

// How a command treats its source: the retain option (0 ask, 1 keep, anything else replace)
// and whether it asks for the target name.
struct TImageCommandOptions {
    int RetainSource = srDelete;
    bool AskTargetName = false;
};

// Convert, mirror and rotate on the selected logo: write the new file from the whole source
// picture, then keep the source and add the result right after it, or let the source's record
// take the new file. Write errors raise EImageError before the tree changes.
class TImageCommands {
public:
    TImageCommands(TLogoTree &tree, TPromptService &prompts);

    void ConvertNode(TImageFileFormat format, const TBitmap &source, const TImageCommandOptions &options);
    void MirrorNode(int direction, const TBitmap &source, const TImageCommandOptions &options);
    void RotateNode(int angle, const TBitmap &source, const TImageCommandOptions &options);

private:
    TLogoTree &FTree;
    TPromptService &FPrompts;
};

} // namespace vantorel
