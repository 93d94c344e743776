#include "ImageCommands.h"

#include <functional>
#include <memory>
#include <string_view>
#include <utility>

#include "FileOps.h"
#include "ImageCodecs.h"
#include "TextRules.h"

namespace vantorel {

namespace {

const char *const kKeepAfterConvert = "Do you want to keep source file after image conversion?";
const char *const kKeepAfterMirror = "Do you want to keep source file after mirrorring image?";
const char *const kKeepAfterRotate = "Do you want to keep source file after rotating image?";
const char *const kTargetCaption = "Target File Name";
const char *const kTargetPrompt = "Please enter target file name: ";
const char *const kNameTaken = "Node with the specified name already exists. Please enter another name.";
const char *const kCannotDeleteSource = "Could not delete logo source file. Check if you have permissions to write "
                                        "to folder where the application is installed.";

// Fixed settings of every file these commands write, whatever the options say.
constexpr int kCommandJPEGQuality = 100;
constexpr int kCommandGIFBits = 8;

void WriteInFormat(const TBitmap &bitmap, const std::string &path, TImageFileFormat format, TExisting existing)
{
    switch (format) {
    case iffJPG:
        WriteJPEG(bitmap, path, kCommandJPEGQuality, existing);
        break;
    case iffGIF:
        WriteGIF(bitmap, path, kCommandGIFBits, existing);
        break;
    case iffPNG:
        WritePNG(bitmap, path, existing);
        break;
    default:
        WriteBMP(bitmap, path, existing);
        break;
    }
}

// The base-name rule counts every sibling sharing the replaced logo's base as free, so a sibling
// holding the new full name (possible only through a damaged index) would have its file
// overwritten; it blocks the name like any taken one.
bool HeldByOtherSibling(const TLogoNode *parent, const std::string &name, const TLogoNode *source)
{
    for (int i = 0; i < parent->Count(); ++i) {
        const TLogoNode *child = parent->Item(i);
        if (child != source && SameTextAscii(child->Text(), name))
            return true;
    }
    return false;
}

void ResetFrame(TLogoDirObject &record)
{
    record.FrameLeft = -1;
    record.FrameTop = -1;
    record.FrameWidth = -1;
    record.FrameHeight = -1;
}

using TWriteTarget = std::function<void(const TLogoNode *folder, const std::string &base, TExisting existing)>;

// The steps the three commands share: keep or replace, the target name, the write, and then the
// tree. Nothing in the tree changes before the file is written and, when replacing, the source
// file is gone.
void RunImageCommand(TLogoTree &tree, TPromptService &prompts, const char *keepQuestion, TImageFileFormat format,
                     const TBitmap &source, const TImageCommandOptions &options, const TWriteTarget &write)
{
    TLogoNode *node = tree.Selected();
    if (!node || node->Kind() != nkLogo || !node->Parent())
        return;
    // Without a loaded picture there is nothing to write.
    if (source.Empty())
        return;

    bool keep = options.RetainSource == srRetain;
    if (options.RetainSource == srAsk) {
        const TPromptResult answer = prompts.ConfirmCancel(keepQuestion);
        if (answer == TPromptResult::Yes)
            keep = true;
        else if (answer == TPromptResult::No)
            keep = false;
        else
            return;
    }

    TLogoNode *parent = node->Parent();
    const std::string base(BaseName(node->Text()));
    const std::string ext = FormatExtension(format);
    std::string target = keep ? tree.MakeUniqueLogoName(parent, base) : base;
    // Only the source's own file may be written over, and only when it is replaced.
    const std::string_view ownFile = keep ? std::string_view() : std::string_view(node->Text());

    if (options.AskTargetName) {
        for (;;) {
            if (!prompts.InputQuery(kTargetCaption, kTargetPrompt, target))
                return;
            // The typed text becomes a file name in the folder: it must stay one path component.
            const bool valid = IsValidNodeName(target) && IsValidNodeName(target + ext);
            const bool free = keep ? tree.IsNameFree(parent, target) : tree.IsNameFreeExcept(parent, target, base);
            if (valid && free && !HeldByOtherSibling(parent, target + ext, node) &&
                tree.IsNameFreeOnDisk(parent, target + ext, ownFile))
                break;
            prompts.ShowWarning(kNameTaken);
        }
    } else if (HeldByOtherSibling(parent, target + ext, node) ||
               !tree.IsNameFreeOnDisk(parent, target + ext, ownFile)) {
        prompts.ShowWarning(kNameTaken);
        return;
    }

    // The names may differ in letter case alone, which on this file system is another file: only
    // the very same path is written over.
    const std::string newName = target + ext;
    const std::string oldPath = tree.GetNodePath(node);
    const bool ownPath = !keep && tree.GetFolderPath(parent) + newName == oldPath;
    write(parent, target, ownPath ? TExisting::Replace : TExisting::Keep);

    if (keep) {
        auto record = std::make_unique<TLogoDirObject>(TLogoDirObject::CreateCopy(*node->Data()));
        record->Name = newName;
        ResetFrame(*record);
        TLogoNode *added = tree.InsertChild(parent, node->Index() + 1, std::move(record));
        tree.Select(added);
        return;
    }

    if (!ownPath && !DeleteFileA(oldPath)) {
        prompts.ShowError(kCannotDeleteSource);
        return;
    }
    ResetFrame(*node->Data());
    tree.SetNodeName(node, newName);
    tree.Select(nullptr);
    tree.Select(node);
}

} // namespace

const char *FormatExtension(TImageFileFormat format)
{
    switch (format) {
    case iffJPG:
        return ".jpg";
    case iffGIF:
        return ".gif";
    case iffPNG:
        return ".png";
    default:
        return ".bmp";
    }
}

TImageFileFormat FormatOfLogoName(const std::string &name)
{
    const std::string ext = AsciiUpper(ExtractExtension(name));
    if (ext == ".JPG" || ext == ".JPEG")
        return iffJPG;
    if (ext == ".GIF")
        return iffGIF;
    if (ext == ".PNG")
        return iffPNG;
    return iffBMP;
}

TBitmap MirroredBitmap(const TBitmap &source, int direction)
{
    const std::int32_t w = source.Width();
    const std::int32_t h = source.Height();
    TBitmap result(w, h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) {
            if (direction == 0)
                result.SetPixel(w - 1 - x, y, source.Pixel(x, y));
            else
                result.SetPixel(x, h - 1 - y, source.Pixel(x, y));
        }
    return result;
}

TBitmap RotatedBitmap(const TBitmap &source, int angle)
{
    const std::int32_t w = source.Width();
    const std::int32_t h = source.Height();
    if (angle != 90 && angle != 180 && angle != 270)
        return source;
    TBitmap result = angle == 180 ? TBitmap(w, h) : TBitmap(h, w);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) {
            const TColor c = source.Pixel(x, y);
            if (angle == 90)
                result.SetPixel(h - 1 - y, x, c); // the top row becomes the right column
            else if (angle == 180)
                result.SetPixel(w - 1 - x, h - 1 - y, c);
            else
                result.SetPixel(y, w - 1 - x, c); // the top row becomes the left column
        }
    return result;
}

void SaveBitmapInFormat(const TLogoTree &tree, const TLogoNode *folder, const std::string &base,
                        TImageFileFormat format, const TBitmap &bitmap, TExisting existing)
{
    WriteInFormat(bitmap, tree.GetFolderPath(folder) + base + FormatExtension(format), format, existing);
}

void SaveMirroredBitmap(const TLogoTree &tree, const TLogoNode *folder, const std::string &base,
                        TImageFileFormat format, const TBitmap &source, int direction, TExisting existing)
{
    SaveBitmapInFormat(tree, folder, base, format, MirroredBitmap(source, direction), existing);
}

void SaveRotatedBitmap(const TLogoTree &tree, const TLogoNode *folder, const std::string &base, TImageFileFormat format,
                       const TBitmap &source, int angle, TExisting existing)
{
    SaveBitmapInFormat(tree, folder, base, format, RotatedBitmap(source, angle), existing);
}

TImageCommands::TImageCommands(TLogoTree &tree, TPromptService &prompts) : FTree(tree), FPrompts(prompts) {}

void TImageCommands::ConvertNode(TImageFileFormat format, const TBitmap &source, const TImageCommandOptions &options)
{
    RunImageCommand(FTree, FPrompts, kKeepAfterConvert, format, source, options,
                    [&](const TLogoNode *folder, const std::string &base, TExisting existing) {
                        SaveBitmapInFormat(FTree, folder, base, format, source, existing);
                    });
}

void TImageCommands::MirrorNode(int direction, const TBitmap &source, const TImageCommandOptions &options)
{
    const TLogoNode *node = FTree.Selected();
    if (!node)
        return;
    const TImageFileFormat format = FormatOfLogoName(node->Text());
    RunImageCommand(FTree, FPrompts, kKeepAfterMirror, format, source, options,
                    [&](const TLogoNode *folder, const std::string &base, TExisting existing) {
                        SaveMirroredBitmap(FTree, folder, base, format, source, direction, existing);
                    });
}

void TImageCommands::RotateNode(int angle, const TBitmap &source, const TImageCommandOptions &options)
{
    const TLogoNode *node = FTree.Selected();
    if (!node || (angle != 90 && angle != 180 && angle != 270))
        return;
    const TImageFileFormat format = FormatOfLogoName(node->Text());
    RunImageCommand(FTree, FPrompts, kKeepAfterRotate, format, source, options,
                    [&](const TLogoNode *folder, const std::string &base, TExisting existing) {
                        SaveRotatedBitmap(FTree, folder, base, format, source, angle, existing);
                    });
}

} // namespace vantorel
