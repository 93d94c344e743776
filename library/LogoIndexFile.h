#pragma once

#include <cstdint>

#include "LogoTree.h"
#include "PromptService.h"
#include "XMLSource.h"

namespace vantorel {

inline constexpr const char *kLogoIndexFileName = "logodirectory.xml";
// Deeper nesting than this is refused as unreadable rather than risking the stack.
inline constexpr int kMaxLogoTreeDepth = 1024;
// The logo sizes the settings controls allow; a size read from the index outside them gives the
// record's default.
inline constexpr std::int32_t kMinLogoSide = 16;
inline constexpr std::int32_t kMaxLogoSide = 400;

// Fills the tree below its root from "logodirectory.xml" in the program folder. Entries whose
// file or folder is missing, or whose name could not stand for a disk entry, are dropped.
// Returns false when a file was there but could not be read whole.
bool LoadLogoDirectory(TLogoTree &tree, TXMLSource &xml, TPromptService &prompts);
// Writes every node below the root to "logodirectory.xml", atomically. With setAsideFirst (the
// file there could not be read whole) the old file is first kept as a damaged copy, and left
// in place when no copy can be made. Returns whether the file was written.
bool SaveLogoDirectory(const TLogoTree &tree, TXMLSource &xml, TPromptService &prompts, bool setAsideFirst = false);

} // namespace vantorel
