#pragma once

#include <functional>
#include <string>

#include "LogoTree.h"
#include "PromptService.h"

namespace vantorel {

// The commands that change the logo tree and its disk mirror together: new folder, rename,
// delete, and adding a picture file as a new logo. The disk changes first; the tree follows only
// when the disk operation worked, so the two always agree.
class TLogoTreeEditor {
public:
    // uploadRunning tells whether an upload is under way (delete is refused meanwhile).
    TLogoTreeEditor(TLogoTree &tree, TPromptService &prompts, std::function<bool()> uploadRunning = {});

    void Newfolder();
    void RenameSelected();
    void RenameLogo(TLogoNode *node);
    void RenameFolder(TLogoNode *node);
    void DeleteSelected();
    void DeleteLogo(TLogoNode *node);
    void DeleteEmptyFolder(TLogoNode *node);
    void DeleteFolderTree(TLogoNode *node);
    // Deletes the node and everything below it, depth first, stopping at the first failure.
    bool DeleteNodeTree(TLogoNode *node);

    // Copies the picture into the selected folder as a new logo made from logoTemplate, and
    // selects it; copied, when given, is told the copy's path before the selection. Returns the new
    // node, or null after a failure (already reported).
    TLogoNode *AddImageToDirectory(const std::string &fileName, const TLogoDirObject &logoTemplate,
                                   const std::function<void(const std::string &)> &copied = {});

private:
    TLogoTree &FTree;
    TPromptService &FPrompts;
    std::function<bool()> FUploadRunning;
};

} // namespace vantorel
