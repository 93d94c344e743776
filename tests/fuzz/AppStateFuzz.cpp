// The application state (appstate.xml): any file is read without harm, and the file the program
// writes for the node it selected selects that node again.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AppStateFile.h"
#include "FuzzSupport.h"
#include "LogoTree.h"
#include "PromptService.h"
#include "XMLSource.h"

namespace vantorel::fuzz {
namespace {

// The same small library each time, in memory only: the state file names nodes, not files.
// Two top-level folders share a name, and names hold spaces and dots.
void BuildTree(TLogoTree &tree)
{
    tree.CreateRootNode();
    auto add = [&tree](TLogoNode *parent, TLogoNodeKind kind, const char *name) {
        return tree.AddChild(parent, std::make_unique<TLogoDirObject>(kind, name));
    };
    TLogoNode *root = tree.Root();
    TLogoNode *a = add(root, nkFolder, "a");
    add(a, nkLogo, "b.bmp");
    TLogoNode *c = add(a, nkFolder, "My Logos");
    add(c, nkLogo, "d.jpg");
    add(c, nkLogo, "a");
    add(root, nkFolder, "a");
    add(root, nkLogo, "Logo 1.png");
}

// The positions from the root down to the node; empty for no selection.
std::vector<int> Position(const TLogoNode *node)
{
    std::vector<int> indexes;
    for (; node && node->Parent(); node = node->Parent())
        indexes.insert(indexes.begin(), node->Index());
    if (node)
        indexes.insert(indexes.begin(), -1); // the root itself
    return indexes;
}

} // namespace
} // namespace vantorel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vantorel;
    using namespace vantorel::fuzz;
    static const std::string path = WorkFolder() + kAppStateFileName;
    WriteWholeFile(path, data, size);

    TXMLSource xml;
    TScriptedPromptService prompts;
    TLogoTree first(WorkFolder());
    BuildTree(first);
    LoadAppState(first, xml, prompts);
    Expect(!xml.Active(), "the reader left the document open");
    if (!prompts.Prompts().empty()) {
        Expect(first.Selected() == nullptr, "a corrupt state file changed the selection");
        return 0;
    }

    SaveAppState(first, xml, prompts);
    Expect(prompts.Prompts().empty(), "the state could not be saved");
    TLogoTree second(WorkFolder());
    BuildTree(second);
    LoadAppState(second, xml, prompts);
    Expect(prompts.Prompts().empty(), "the saved state file is corrupt");
    // Nothing selected and the root selected both save as no path.
    const std::vector<int> before = Position(first.Selected() ? first.Selected() : first.Root());
    const std::vector<int> after = Position(second.Selected() ? second.Selected() : second.Root());
    Expect(before == after, "the saved state selects another node");
    return 0;
}
