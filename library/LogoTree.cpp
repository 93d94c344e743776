#include "LogoTree.h"

#include <algorithm>
#include <utility>

#include "FileOps.h"
#include "TextRules.h"
#include "VantorelError.h"

namespace vantorel {

TLogoNode::TLogoNode(TLogoNode *parent, std::unique_ptr<TLogoDirObject> data, int image)
    : FParent(parent), FData(std::move(data)), FImageIndex(image)
{
}

int TLogoNode::Index() const
{
    if (!FParent)
        return 0;
    const auto &siblings = FParent->FChildren;
    for (std::size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this)
            return static_cast<int>(i);
    return -1;
}

int TLogoNode::Level() const
{
    int level = 0;
    for (const TLogoNode *n = FParent; n; n = n->FParent)
        ++level;
    return level;
}

TLogoTree::TLogoTree(std::string programFolder) : FProgramFolder(std::move(programFolder)) {}

TLogoTree::~TLogoTree() = default;

void TLogoTree::CreateRootNode()
{
    if (FObserver)
        FObserver->BeforeInsert(nullptr, 0);
    FRoot = std::make_unique<TLogoNode>(nullptr, std::make_unique<TLogoDirObject>(nkRoot, kRootText), kFolderImage);
    if (FObserver)
        FObserver->AfterInsert(nullptr, 0);
}

void TLogoTree::Changed() const
{
    if (FChangeHandler)
        FChangeHandler();
}

TLogoNode *TLogoTree::AddChild(TLogoNode *parent, std::unique_ptr<TLogoDirObject> data)
{
    return InsertChild(parent, parent->Count(), std::move(data));
}

TLogoNode *TLogoTree::InsertChild(TLogoNode *parent, int position, std::unique_ptr<TLogoDirObject> data)
{
    position = std::clamp(position, 0, parent->Count());
    const int image = data->Kind == nkLogo ? kLogoImage : kFolderImage;
    if (FObserver)
        FObserver->BeforeInsert(parent, position);
    auto node = std::make_unique<TLogoNode>(parent, std::move(data), image);
    TLogoNode *result = node.get();
    parent->FChildren.insert(parent->FChildren.begin() + position, std::move(node));
    if (FObserver)
        FObserver->AfterInsert(parent, position);
    Changed();
    return result;
}

bool TLogoTree::IsInside(const TLogoNode *node, const TLogoNode *ancestor) const
{
    for (const TLogoNode *n = node; n; n = n->Parent())
        if (n == ancestor)
            return true;
    return false;
}

void TLogoTree::RemoveNode(TLogoNode *node)
{
    TLogoNode *parent = node->Parent();
    if (!parent)
        return; // the root is never removed
    const int index = node->Index();

    TLogoNode *nextSelection = FSelected;
    const bool selectionGoes = FSelected && IsInside(FSelected, node);
    if (selectionGoes) {
        if (index + 1 < parent->Count())
            nextSelection = parent->Item(index + 1);
        else if (index > 0)
            nextSelection = parent->Item(index - 1);
        else
            nextSelection = parent;
        FSelected = nullptr;
    }

    if (FObserver)
        FObserver->BeforeRemove(parent, index);
    parent->FChildren.erase(parent->FChildren.begin() + index);
    if (FObserver)
        FObserver->AfterRemove();
    Changed();

    if (selectionGoes)
        Select(nextSelection);
}

void TLogoTree::SetNodeName(TLogoNode *node, std::string name)
{
    node->FData->Name = std::move(name);
    if (FObserver)
        FObserver->NodeChanged(node);
    Changed();
}

void TLogoTree::Select(TLogoNode *node)
{
    if (FSelected == node)
        return;
    FSelected = node;
    if (FObserver)
        FObserver->SelectionChanged(node);
}

void TLogoTree::Expand(TLogoNode *node)
{
    if (!node || node->FExpanded)
        return;
    node->FExpanded = true;
    if (FObserver)
        FObserver->NodeExpanded(node);
}

std::string TLogoTree::RelativePath(const TLogoNode *node) const
{
    std::vector<const TLogoNode *> chain;
    for (const TLogoNode *n = node; n; n = n->Parent())
        chain.push_back(n);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty())
            path += '/';
        path += (*it)->Text();
    }
    return path;
}

std::string TLogoTree::GetFolderPath(const TLogoNode *node) const { return FProgramFolder + RelativePath(node) + '/'; }

std::string TLogoTree::GetNodePath(const TLogoNode *node) const { return FProgramFolder + RelativePath(node); }

std::string TLogoTree::GetLogoFileName(const TLogoNode *node) const
{
    if (!node || node->Kind() != nkLogo)
        throw EVantorelError("Unable to get the full file name for non-logo tree node");
    return GetNodePath(node);
}

bool TLogoTree::IsNameFree(const TLogoNode *parent, std::string_view name) const
{
    for (int i = 0; i < parent->Count(); ++i)
        if (SameTextAscii(BaseName(parent->Item(i)->Text()), name))
            return false;
    return true;
}

bool TLogoTree::IsNameFreeExcept(const TLogoNode *parent, std::string_view name, std::string_view except) const
{
    for (int i = 0; i < parent->Count(); ++i) {
        const std::string_view base = BaseName(parent->Item(i)->Text());
        if (SameTextAscii(base, name) && !SameTextAscii(base, except))
            return false;
    }
    return true;
}

namespace {

// Whether one of a folder's entries has the base name or the whole name name, in any ASCII case:
// on a case-blind disk a new entry of that name would land on it.
bool AnyEntryNamed(const std::vector<std::string> &entries, std::string_view name, std::string_view except)
{
    return std::any_of(entries.begin(), entries.end(), [&](const std::string &entry) {
        return entry != except && (SameTextAscii(BaseName(entry), name) || SameTextAscii(entry, name));
    });
}

} // namespace

bool TLogoTree::IsNameFreeOnDisk(const TLogoNode *parent, std::string_view name, std::string_view except) const
{
    return !AnyEntryNamed(FolderEntryNames(GetFolderPath(parent)), name, except);
}

std::string TLogoTree::MakeUniqueLogoName(const TLogoNode *parent, std::string_view base) const
{
    const std::vector<std::string> onDisk = FolderEntryNames(GetFolderPath(parent));
    std::string candidate(base);
    for (long n = 2; !IsNameFree(parent, candidate) || AnyEntryNamed(onDisk, candidate, {}); ++n)
        candidate = std::string(base) + std::to_string(n);
    return candidate;
}

std::string TLogoTree::MakeUniqueFolderName(const TLogoNode *parent) const
{
    const std::vector<std::string> onDisk = FolderEntryNames(GetFolderPath(parent));
    std::string candidate = "New Folder";
    for (long n = 2; !IsNameFree(parent, candidate) || AnyEntryNamed(onDisk, candidate, {}); ++n)
        candidate = "New Folder " + std::to_string(n);
    return candidate;
}

TLogoNode *TLogoTree::SelectedFolder() const
{
    TLogoNode *node = FSelected ? FSelected : FRoot.get();
    while (node && node->Kind() == nkLogo)
        node = node->Parent();
    return node ? node : FRoot.get();
}

} // namespace vantorel
