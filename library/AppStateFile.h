#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "LogoTree.h"
#include "PromptService.h"
#include "XMLSource.h"

namespace vantorel {

inline constexpr const char *kAppStateFileName = "appstate.xml";

// Writes the path of the selected node to "appstate.xml".
void SaveAppState(const TLogoTree &tree, TXMLSource &xml, TPromptService &prompts);
// Selects the node that "appstate.xml" names, expanding the nodes on the way.
void LoadAppState(TLogoTree &tree, TXMLSource &xml, TPromptService &prompts);
// Cuts a stored path into node names: "/" and line breaks end a piece, empty pieces are
// dropped, and a quote character keeps everything up to its match in one piece.
std::vector<std::string> SplitNodePath(std::string_view value);

} // namespace vantorel
