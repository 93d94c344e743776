#include "LogoTreeEditor.h"

#include <memory>
#include <string_view>
#include <utility>

#include "FileOps.h"
#include "TextRules.h"

namespace vantorel {

namespace {

const char *const kNameTaken = "Folder or logo with the name specified already exists. Please enter another name";
const char *const kCannotCreateFolder =
    "Unable to create new folder in mobile directory. Check if there are no invalid characters in the folder name, "
    "there is enough free space on your hard drive and you have permissions to write to folder where the application "
    "is installed.";
const char *const kCannotRenameLogo =
    "Could not change the logo name. Check if there are no invalid characters in the logo name, there is enough free "
    "space on your hard drive and you have permissions to write to folder where the application is installed.";
const char *const kCannotRenameFolder =
    "Could not change the folder name. Check if there are no invalid characters in the folder name, there is enough "
    "free space on your hard drive and you have permissions to write to folder where the application is installed.";
const char *const kUploadRunning = "Function is not supported during image upload.";
const char *const kConfirmDeleteLogo = "Are you sure you want to delete selected logo?";
const char *const kConfirmDeleteFolder = "Are you sure you want to delete selected folder?";
const char *const kConfirmDeleteTree = "The selected folder is not empty! Are you sure you want to delete it?";
const char *const kCannotDeleteLogo =
    "Could not delete selected logo. Check if you have permissions to write to folder where the application is "
    "installed.";
const char *const kCannotDeleteFolder =
    "Could not delete selected folder. Check if you have permissions to write to folder where the application is "
    "installed.";
const char *const kCannotMakeFolder =
    "Unable to add image to mobile directory.Check if there is enough free space on your hard drive and you have "
    "permissions to write to folder where the application is installed.";
const char *const kCannotCopyImage =
    "Unable to add image to mobile directory. Check if there is enough free space on your hard drive and you have "
    "permissions to write to folder where the application is installed.";

// The base-name rule lets "a.b" pass beside a folder "a.b" (base "a"); a sibling with the very
// same text, in any ASCII case, stands for the same disk entry and must block the name as well.
bool HasSiblingNamed(const TLogoNode *parent, std::string_view name, const TLogoNode *except)
{
    for (int i = 0; i < parent->Count(); ++i) {
        const TLogoNode *child = parent->Item(i);
        if (child != except && SameTextAscii(child->Text(), name))
            return true;
    }
    return false;
}

// Whether the node's disk path reaches its own entry and no other node's: every name on the way
// up is one path component and no sibling on the way carries the same text. Nodes read from a
// damaged index could break this; removing or moving their entry would harm another node.
bool OwnsDiskEntry(const TLogoNode *node)
{
    for (const TLogoNode *n = node; n && n->Parent(); n = n->Parent()) {
        if (!IsValidNodeName(n->Text()))
            return false;
        const TLogoNode *parent = n->Parent();
        for (int i = 0; i < parent->Count(); ++i)
            if (parent->Item(i) != n && parent->Item(i)->Text() == n->Text())
                return false;
    }
    return true;
}

} // namespace

TLogoTreeEditor::TLogoTreeEditor(TLogoTree &tree, TPromptService &prompts, std::function<bool()> uploadRunning)
    : FTree(tree), FPrompts(prompts), FUploadRunning(std::move(uploadRunning))
{
}

void TLogoTreeEditor::Newfolder()
{
    TLogoNode *parent = FTree.SelectedFolder();
    if (!parent)
        return;
    std::string name = FTree.MakeUniqueFolderName(parent);
    int position = parent->Count();
    for (int i = 0; i < parent->Count(); ++i)
        if (parent->Item(i)->Kind() == nkLogo) {
            position = i;
            break;
        }

    if (!FPrompts.InputQuery("New folder name", "Enter new folder name:", name))
        return;
    // An entry on disk without a node (left by a crash, or put there by hand) takes the name as a
    // sibling would: a new folder must not quietly join a folder of someone else's files.
    if (!FTree.IsNameFree(parent, name) || HasSiblingNamed(parent, name, nullptr) ||
        !FTree.IsNameFreeOnDisk(parent, name)) {
        FPrompts.ShowError(kNameTaken);
        return;
    }
    if (!IsValidNodeName(name) || !ForceDirectories(FTree.GetFolderPath(parent) + name)) {
        FPrompts.ShowError(kCannotCreateFolder);
        return;
    }

    TLogoNode *node = FTree.InsertChild(parent, position, std::make_unique<TLogoDirObject>(nkFolder, name));
    FTree.Select(node);
}

void TLogoTreeEditor::RenameSelected()
{
    TLogoNode *node = FTree.Selected();
    if (!node || !node->Parent())
        return;
    if (node->Kind() == nkLogo)
        RenameLogo(node);
    else if (node->Kind() == nkFolder)
        RenameFolder(node);
}

void TLogoTreeEditor::RenameLogo(TLogoNode *node)
{
    const std::string old = node->Text();
    const std::string ext(ExtractExtension(old));
    const std::string base(BaseName(old));

    std::string entered = base;
    if (!FPrompts.InputQuery("New Logo name", "Enter new logo name:", entered))
        return;
    if (SameTextAscii(entered, base))
        return; // a change of letter case alone is not carried out

    TLogoNode *parent = node->Parent();
    const std::string newName = entered + ext;
    if (!FTree.IsNameFree(parent, entered) || HasSiblingNamed(parent, newName, node)) {
        FPrompts.ShowError(kNameTaken);
        return;
    }
    // An empty entry would leave only the extension, a name without a base.
    const bool valid = !entered.empty() && entered.find('/') == std::string::npos && IsValidNodeName(newName);
    const std::string folder = FTree.GetFolderPath(parent);
    if (!valid || !OwnsDiskEntry(node) || !MoveFileA(folder + old, folder + newName)) {
        FPrompts.ShowError(kCannotRenameLogo);
        return;
    }
    FTree.SetNodeName(node, newName);
}

void TLogoTreeEditor::RenameFolder(TLogoNode *node)
{
    const std::string old = node->Text();

    std::string entered = old;
    if (!FPrompts.InputQuery("New Folder name", "Enter new folder name:", entered))
        return;
    if (SameTextAscii(entered, old))
        return;

    TLogoNode *parent = node->Parent();
    if (!FTree.IsNameFree(parent, entered) || HasSiblingNamed(parent, entered, node)) {
        FPrompts.ShowError(kNameTaken);
        return;
    }
    const std::string folder = FTree.GetFolderPath(parent);
    if (!IsValidNodeName(entered) || !OwnsDiskEntry(node) || !MoveFileA(folder + old, folder + entered)) {
        FPrompts.ShowError(kCannotRenameFolder);
        return;
    }
    FTree.SetNodeName(node, entered);
}

void TLogoTreeEditor::DeleteSelected()
{
    if (FUploadRunning && FUploadRunning()) {
        FPrompts.ShowWarning(kUploadRunning);
        return;
    }
    TLogoNode *node = FTree.Selected();
    if (!node || !node->Parent())
        return;
    if (node->Kind() == nkLogo)
        DeleteLogo(node);
    else if (node->Kind() == nkFolder && !node->HasChildren())
        DeleteEmptyFolder(node);
    else if (node->Kind() == nkFolder)
        DeleteFolderTree(node);
}

void TLogoTreeEditor::DeleteLogo(TLogoNode *node)
{
    if (!FPrompts.Confirm(kConfirmDeleteLogo))
        return;
    if (!OwnsDiskEntry(node) || !DeleteFileA(FTree.GetNodePath(node))) {
        FPrompts.ShowError(kCannotDeleteLogo);
        return;
    }
    FTree.RemoveNode(node);
}

void TLogoTreeEditor::DeleteEmptyFolder(TLogoNode *node)
{
    if (!FPrompts.Confirm(kConfirmDeleteFolder))
        return;
    if (!OwnsDiskEntry(node) || !RemoveDirectoryA(FTree.GetNodePath(node))) {
        FPrompts.ShowError(kCannotDeleteFolder);
        return;
    }
    FTree.RemoveNode(node);
}

void TLogoTreeEditor::DeleteFolderTree(TLogoNode *node)
{
    if (!FPrompts.Confirm(kConfirmDeleteTree))
        return;
    if (!DeleteNodeTree(node))
        FPrompts.ShowError(kCannotDeleteFolder);
}

bool TLogoTreeEditor::DeleteNodeTree(TLogoNode *node)
{
    if (!node->Parent())
        return false; // the root and its folder are never deleted
    for (int i = node->Count() - 1; i >= 0; --i)
        if (!DeleteNodeTree(node->Item(i)))
            return false;

    if (!OwnsDiskEntry(node))
        return false;
    const std::string path = FTree.GetNodePath(node);
    const bool removed = node->Kind() == nkLogo ? DeleteFileA(path) : RemoveDirectoryA(path);
    if (!removed)
        return false;
    FTree.RemoveNode(node);
    return true;
}

TLogoNode *TLogoTreeEditor::AddImageToDirectory(const std::string &fileName, const TLogoDirObject &logoTemplate,
                                                const std::function<void(const std::string &)> &copied)
{
    TLogoNode *target = FTree.SelectedFolder();
    const std::string_view filePart = ExtractFileNamePart(fileName);
    const std::string_view ext = ExtractExtension(filePart);
    const std::string_view base = BaseName(filePart);

    const std::string folder = FTree.GetFolderPath(target);
    const std::string name = FTree.MakeUniqueLogoName(target, base) + std::string(ext);

    if (!DirectoryExists(folder) && !ForceDirectories(folder)) {
        FPrompts.ShowError(kCannotMakeFolder);
        return nullptr;
    }
    // A path that names no file ("photos/", "..") gives no name a node could stand for.
    // The name was free on disk a moment ago; another program's file made since is kept all the same.
    if (!IsValidNodeName(name) || !CopyFileA(fileName, folder + name, true)) {
        FPrompts.ShowError(kCannotCopyImage);
        return nullptr;
    }
    if (copied)
        copied(folder + name);

    auto record = std::make_unique<TLogoDirObject>(logoTemplate);
    record->Kind = nkLogo; // the node stands for a picture file, whatever the template says
    record->Name = name;
    TLogoNode *node = FTree.AddChild(target, std::move(record));
    FTree.Select(node);
    return node;
}

} // namespace vantorel
