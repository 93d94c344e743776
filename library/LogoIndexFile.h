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
// The index of every node below the root, as the file holds it. Builds it in xml, which is left
// closed.
std::string LogoDirectoryText(const TLogoTree &tree, TXMLSource &xml);
// Keeps a copy of "logodirectory.xml" in programFolder, which could not be read whole, before it
// is written anew. True when the copy was made or there is no such file.
bool KeepDamagedLogoDirectory(const std::string &programFolder);
// Puts index text in place of "logodirectory.xml" in programFolder, atomically; with
// setAsideFirst the old file is first kept (KeepDamagedLogoDirectory), and left in place when no
// copy can be made. Touches nothing but the files, so any thread may run it. Returns the reason
// of a failure, empty when the file was written.
std::string WriteLogoDirectoryText(const std::string &programFolder, const std::string &text, bool setAsideFirst);
// Writes every node below the root to "logodirectory.xml", atomically. With setAsideFirst (the
// file there could not be read whole) the old file is first kept as a damaged copy, and left
// in place when no copy can be made. Returns whether the file was written.
bool SaveLogoDirectory(const TLogoTree &tree, TXMLSource &xml, TPromptService &prompts, bool setAsideFirst = false);

} // namespace vantorel
