#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "LogoDirObject.h"

namespace vantorel {

inline constexpr const char *kRootText = "Logo Directory";
inline constexpr int kLogoImage = 0;   // picture index of a logo node
inline constexpr int kFolderImage = 1; // picture index of a folder node and of the root

// One node of the logo tree. It owns its record; its text is always the record's Name.
class TLogoNode {
public:
    TLogoNode(TLogoNode *parent, std::unique_ptr<TLogoDirObject> data, int image);

    const std::string &Text() const { return FData->Name; }
    TLogoDirObject *Data() const { return FData.get(); }
    TLogoNodeKind Kind() const { return FData->Kind; }
    TLogoNode *Parent() const { return FParent; }
    int Count() const { return static_cast<int>(FChildren.size()); }
    bool HasChildren() const { return !FChildren.empty(); }
    TLogoNode *Item(int index) const { return FChildren[static_cast<std::size_t>(index)].get(); }
    // Position among the parent's children; 0 for a top-level node.
    int Index() const;
    int ImageIndex() const { return FImageIndex; }
    int SelectedIndex() const { return FImageIndex; }
    bool Expanded() const { return FExpanded; }
    // Number of ancestors: 0 for the root.
    int Level() const;

private:
    friend class TLogoTree;
    TLogoNode *FParent;
    std::unique_ptr<TLogoDirObject> FData;
    int FImageIndex;
    bool FExpanded = false;
    std::vector<std::unique_ptr<TLogoNode>> FChildren;
};

// Told of every change of the tree, so that a view can follow it.
class TLogoTreeObserver {
public:
    virtual ~TLogoTreeObserver() = default;
    virtual void BeforeInsert(TLogoNode * /*parent*/, int /*index*/) {}
    virtual void AfterInsert(TLogoNode * /*parent*/, int /*index*/) {}
    virtual void BeforeRemove(TLogoNode * /*parent*/, int /*index*/) {}
    virtual void AfterRemove() {}
    virtual void NodeChanged(TLogoNode * /*node*/) {}
    virtual void NodeExpanded(TLogoNode * /*node*/) {}
    virtual void SelectionChanged(TLogoNode * /*node*/) {}
};

// The logo library: a tree of folders and logos under one root, mirrored on disk in the folder
// "Logo Directory" of the program folder.
class TLogoTree {
public:
    // programFolder ends with "/".
    explicit TLogoTree(std::string programFolder);
    ~TLogoTree();
    TLogoTree(const TLogoTree &) = delete;
    TLogoTree &operator=(const TLogoTree &) = delete;

    const std::string &ProgramFolder() const { return FProgramFolder; }
    void SetObserver(TLogoTreeObserver *observer) { FObserver = observer; }
    // Told of every change of what the logo index holds: a node added, removed or renamed here,
    // and a record edited in place (Changed).
    void SetChangeHandler(std::function<void()> handler) { FChangeHandler = std::move(handler); }
    // Tells the handler of a change: called here, and by the commands that edit the fields of a
    // record (frame, settings, upload address) in place.
    void Changed() const;

    // The first top-level node, the only one; null before CreateRootNode.
    TLogoNode *Root() const { return FRoot.get(); }
    void CreateRootNode();

    // Adds a node carrying the record as the last child of the parent.
    TLogoNode *AddChild(TLogoNode *parent, std::unique_ptr<TLogoDirObject> data);
    // Inserts before the child at position (or last when position is the number of children).
    TLogoNode *InsertChild(TLogoNode *parent, int position, std::unique_ptr<TLogoDirObject> data);
    // Frees the node's record and removes the node with everything below it. When the selection
    // lay inside, the next sibling, else the previous one, else the parent becomes selected.
    void RemoveNode(TLogoNode *node);
    // Sets the record's Name, which is the node's text, in one step.
    void SetNodeName(TLogoNode *node, std::string name);

    TLogoNode *Selected() const { return FSelected; }
    void Select(TLogoNode *node);
    void Expand(TLogoNode *node);

    // Disk paths of the mirror. GetFolderPath takes the root or a folder and ends with "/".
    std::string GetFolderPath(const TLogoNode *node) const;
    std::string GetNodePath(const TLogoNode *node) const;
    // Raises EVantorelError for a node that is not a logo.
    std::string GetLogoFileName(const TLogoNode *node) const;

    // Naming rules: base names compared without regard to ASCII case. The names made for new
    // nodes are free in the parent's disk folder as well (IsNameFreeOnDisk).
    std::string MakeUniqueLogoName(const TLogoNode *parent, std::string_view base) const;
    std::string MakeUniqueFolderName(const TLogoNode *parent) const;
    // True when no entry of the parent's disk folder, whether a node stands for it or not, has
    // this base name or this very name in any ASCII case, so that a new file or folder of the
    // name neither replaces nor joins one there. The entry named exactly except does not count.
    bool IsNameFreeOnDisk(const TLogoNode *parent, std::string_view name, std::string_view except = {}) const;
    bool IsNameFree(const TLogoNode *parent, std::string_view name) const;
    bool IsNameFreeExcept(const TLogoNode *parent, std::string_view name, std::string_view except) const;

    // The selected node walked up while it is a logo; the root when nothing is selected.
    TLogoNode *SelectedFolder() const;

private:
    bool IsInside(const TLogoNode *node, const TLogoNode *ancestor) const;
    std::string RelativePath(const TLogoNode *node) const;

    std::string FProgramFolder;
    std::unique_ptr<TLogoNode> FRoot;
    TLogoNode *FSelected = nullptr;
    TLogoTreeObserver *FObserver = nullptr;
    std::function<void()> FChangeHandler;
};

} // namespace vantorel
