#include "AppStateFile.h"

#include <exception>

#include "FileOps.h"
#include "TextRules.h"

namespace vantorel {

namespace {

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// The child of node whose text is exactly name, the first one when several are.
TLogoNode *FindChild(const TLogoNode *node, const std::string &name)
{
    for (int i = 0; i < node->Count(); ++i)
        if (node->Item(i)->Text() == name)
            return node->Item(i);
    return nullptr;
}

} // namespace

std::vector<std::string> SplitNodePath(std::string_view value)
{
    std::vector<std::string> pieces;
    const std::size_t size = value.size();
    char quote = 0;
    std::size_t i = 0;
    while (i < size) {
        while (i < size && IsLineBreak(value[i]))
            ++i;
        const std::size_t head = i;
        while (i < size) {
            const char c = value[i];
            if (c == '\'' || c == '"') {
                // The other quote character inside a run is an ordinary character.
                if (quote == c)
                    quote = 0;
                else if (quote == 0)
                    quote = c;
            } else if (quote == 0 && (c == '/' || IsLineBreak(c))) {
                break;
            }
            ++i;
        }
        if (i > head)
            pieces.emplace_back(value.substr(head, i - head));
        ++i; // past the character that ended the piece
    }
    return pieces;
}

void SaveAppState(const TLogoTree &tree, TXMLSource &xml, TPromptService &prompts)
{
    bool failed = false;
    try {
        const TLogoNode *root = tree.Root();
        const TLogoNode *node = tree.Selected() ? tree.Selected() : root;
        xml.SetFileName(std::string());
        xml.Open();
        TXMLNode appState = xml.CreateDocumentElement("appstate");
        if (node != root) {
            std::vector<const std::string *> texts;
            for (; node && node != root; node = node->Parent())
                texts.push_back(&node->Text());
            std::string path;
            for (auto it = texts.rbegin(); it != texts.rend(); ++it) {
                if (!path.empty())
                    path += '/';
                path += **it;
            }
            appState.AddChild("activenodepath").SetAttribute("value", path);
        }
        xml.SaveToFile(tree.ProgramFolder() + kAppStateFileName);
    } catch (const std::exception &) {
        failed = true;
    }
    xml.Close();
    if (failed)
        prompts.ShowError("Unable to save current application state");
}

void LoadAppState(TLogoTree &tree, TXMLSource &xml, TPromptService &prompts)
{
    const std::string path = tree.ProgramFolder() + kAppStateFileName;
    TLogoNode *root = tree.Root();
    if (!root || !FileExists(path))
        return;

    // The selection changes only once the whole file has been read, so a failure leaves it as
    // it was. Of several paths the last one wins.
    TLogoNode *target = nullptr;
    bool corrupt = false;
    try {
        TXMLReadScope scope(xml, path);
        const TXMLNode document = xml.DocumentElement();
        if (AsciiLower(document.NodeName()) != "appstate") {
            corrupt = true;
        } else {
            for (const TXMLNode &child : document.ChildNodes()) {
                if (!child.IsElement() || AsciiLower(child.NodeName()) != "activenodepath")
                    continue;
                TLogoNode *node = root;
                tree.Expand(node);
                for (const std::string &piece : SplitNodePath(child.GetAttribute("value"))) {
                    // A piece that no longer matches is passed over; the next one is looked
                    // for among the same children.
                    if (TLogoNode *found = FindChild(node, piece)) {
                        node = found;
                        tree.Expand(node);
                    }
                }
                target = node;
            }
        }
    } catch (const std::exception &) {
        corrupt = true;
    }
    if (corrupt)
        prompts.ShowError("Application state file is corrupt.");
    else if (target)
        tree.Select(target);
}

} // namespace vantorel
