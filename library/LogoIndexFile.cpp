#include "LogoIndexFile.h"

#include <exception>
#include <memory>
#include <string>
#include <system_error>

#include "AtomicFile.h"
#include "DamagedFile.h"
#include "FileOps.h"
#include "TextRules.h"
#include "VantorelError.h"

namespace vantorel {

namespace {

const char *const kSaveFailed = "Unable to save mobile directory";
constexpr std::int32_t kLogoSideReadDefault = 16;

} // namespace

namespace {

TFitKind ReadFitKind(const std::string &word)
{
    // Compared with their letter case: "Width" is no known word and falls to the last kind.
    if (word == "width")
        return fkWidth;
    if (word == "height")
        return fkHeight;
    if (word == "smaller")
        return fkSmaller;
    return fkBigger;
}

// A logo side as the settings controls allow it; the display allocates a bitmap of that size, so
// a side the controls could never have set is no size at all and the record keeps its own.
std::int32_t ReadLogoSide(const std::string &text, std::int32_t recordDefault)
{
    const std::int32_t side = ParseWholeNumberOr(text, kLogoSideReadDefault);
    return side >= kMinLogoSide && side <= kMaxLogoSide ? side : recordDefault;
}

const char *FitKindWord(TFitKind kind)
{
    switch (kind) {
    case fkWidth:
        return "width";
    case fkHeight:
        return "height";
    case fkSmaller:
        return "smaller";
    default:
        return "bigger";
    }
}

// Reads one entry under parent, whose disk folder is parentFolder; level is the depth the new
// node would have. Recurses only into folders that exist, so the depth check bounds the stack.
void LoadLogoDirNode(TLogoTree &tree, const TXMLNode &element, TLogoNode *parent, const std::string &parentFolder,
                     int level)
{
    if (AsciiLower(element.NodeName()) != "logodirnode")
        return;
    const std::string name = element.GetAttribute("nodename");
    const std::string kindWord = AsciiLower(element.GetAttribute("nodekind"));
    if (name.empty() || kindWord.empty() || !IsValidNodeName(name))
        return;

    TLogoNodeKind kind;
    if (kindWord == "logo") {
        if (!FileExists(parentFolder + name))
            return;
        kind = nkLogo;
    } else if (kindWord == "folder") {
        if (!DirectoryExists(parentFolder + name))
            return;
        kind = nkFolder;
    } else {
        return;
    }
    if (level > kMaxLogoTreeDepth)
        throw EVantorelError("The logo directory is nested too deeply");

    auto record = std::make_unique<TLogoDirObject>();
    record->Kind = kind;
    record->Name = name;
    record->FrameLeft = ParseWholeNumberOr(element.GetAttribute("frameleft"), 0);
    record->FrameTop = ParseWholeNumberOr(element.GetAttribute("frametop"), 0);
    record->FrameWidth = ParseWholeNumberOr(element.GetAttribute("framewidth"), 16);
    record->FrameHeight = ParseWholeNumberOr(element.GetAttribute("frameheight"), 16);
    record->PhoneMakeId = ParseWholeNumberOr(element.GetAttribute("phonemakeid"), -1);
    record->PhoneModelId = ParseWholeNumberOr(element.GetAttribute("phonemodelid"), -1);
    record->LogoWidth = ReadLogoSide(element.GetAttribute("logowidth"), TLogoDirObject().LogoWidth);
    record->LogoHeight = ReadLogoSide(element.GetAttribute("logoheight"), TLogoDirObject().LogoHeight);
    record->FitKind = ReadFitKind(element.GetAttribute("fitkind"));
    record->KeepProportions = element.GetAttribute("keepproportions") == "yes";
    record->UploadURL = element.GetAttribute("uploadurl");

    TLogoNode *node = tree.AddChild(parent, std::move(record));
    if (kind != nkFolder || !element.HasChildNodes())
        return; // what is nested in a logo's entry means nothing
    const std::string folder = parentFolder + name + '/';
    for (const TXMLNode &child : element.ChildNodes())
        if (child.IsElement())
            LoadLogoDirNode(tree, child, node, folder, level + 1);
}

void SaveLogoDirNode(const TLogoNode *node, TXMLNode &parentElement)
{
    const TLogoDirObject &data = *node->Data();
    TXMLNode element = parentElement.AddChild("logodirnode");
    element.SetAttribute("nodekind", std::string(data.Kind == nkFolder ? "folder" : "logo"));
    element.SetAttribute("nodename", data.Name);
    element.SetAttribute("frameleft", data.FrameLeft);
    element.SetAttribute("frametop", data.FrameTop);
    element.SetAttribute("framewidth", data.FrameWidth);
    element.SetAttribute("frameheight", data.FrameHeight);
    element.SetAttribute("phonemakeid", data.PhoneMakeId);
    element.SetAttribute("phonemodelid", data.PhoneModelId);
    element.SetAttribute("logowidth", data.LogoWidth);
    element.SetAttribute("logoheight", data.LogoHeight);
    element.SetAttribute("fitkind", std::string(FitKindWord(data.FitKind)));
    element.SetAttribute("keepproportions", std::string(data.KeepProportions ? "yes" : "no"));
    element.SetAttribute("uploadurl", data.UploadURL);
    for (int i = 0; i < node->Count(); ++i)
        SaveLogoDirNode(node->Item(i), element);
}

} // namespace

bool LoadLogoDirectory(TLogoTree &tree, TXMLSource &xml, TPromptService &prompts)
{
    const std::string path = tree.ProgramFolder() + kLogoIndexFileName;
    TLogoNode *root = tree.Root();
    if (!root || !FileExists(path))
        return true;

    bool corrupt = false;
    bool failed = false;
    try {
        TXMLReadScope scope(xml, path);
        const TXMLNode document = xml.DocumentElement();
        if (AsciiLower(document.NodeName()) != "logodirectory") {
            corrupt = true;
        } else {
            const std::string rootFolder = tree.GetFolderPath(root);
            for (const TXMLNode &child : document.ChildNodes())
                if (child.IsElement())
                    LoadLogoDirNode(tree, child, root, rootFolder, 1);
            tree.Expand(root);
        }
    } catch (const std::exception &) {
        failed = true;
    }
    // The document is closed by now, so the box cannot meet it half read.
    if (corrupt)
        prompts.ShowError("The file of mobile logo directory is corrupt.");
    else if (failed)
        prompts.ShowError("Error loading mobile logo directory.");
    return !corrupt && !failed;
}

std::string LogoDirectoryText(const TLogoTree &tree, TXMLSource &xml)
{
    xml.SetFileName(std::string());
    try {
        xml.Open();
        TXMLNode document = xml.CreateDocumentElement("logodirectory");
        if (const TLogoNode *root = tree.Root())
            for (int i = 0; i < root->Count(); ++i)
                SaveLogoDirNode(root->Item(i), document);
        std::string text = xml.SaveToString();
        xml.Close();
        return text;
    } catch (...) {
        xml.Close();
        throw;
    }
}

bool KeepDamagedLogoDirectory(const std::string &programFolder)
{
    // What was not read of the old file would be gone with the next write.
    const std::string path = programFolder + kLogoIndexFileName;
    return !FileExists(path) || !KeepDamagedCopy(path).empty();
}

std::string WriteLogoDirectoryText(const std::string &programFolder, const std::string &text, bool setAsideFirst)
{
    const std::string path = programFolder + kLogoIndexFileName;
    if (setAsideFirst && !KeepDamagedLogoDirectory(programFolder))
        return "no copy of the damaged " + path + " could be kept";
    try {
        WriteAtomically(path, text, 0644);
    } catch (const std::system_error &e) {
        // The atomic write left the previous file as it was.
        return e.what();
    }
    return {};
}

bool SaveLogoDirectory(const TLogoTree &tree, TXMLSource &xml, TPromptService &prompts, bool setAsideFirst)
{
    std::string failure;
    try {
        failure = WriteLogoDirectoryText(tree.ProgramFolder(), LogoDirectoryText(tree, xml), setAsideFirst);
    } catch (const std::exception &e) {
        failure = e.what();
    }
    // Shut-down goes on after the message.
    if (!failure.empty())
        prompts.ShowError(kSaveFailed);
    return failure.empty();
}

} // namespace vantorel
