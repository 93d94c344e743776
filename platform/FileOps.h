#pragma once

#include <string>
#include <vector>

namespace vantorel {

// File operations with the semantics the program was written against. Each returns whether it
// worked and sets errno when it did not.

// Copies a file, replacing the destination when it exists; with failIfExists (as Windows' flag)
// a file already there is kept and the copy fails.
bool CopyFileA(const std::string &from, const std::string &to, bool failIfExists = false);
// Renames a file or folder; fails when the destination exists, never overwrites.
bool MoveFileA(const std::string &from, const std::string &to);
// Deletes one file (not a folder).
bool DeleteFileA(const std::string &path);
// Removes an empty folder.
bool RemoveDirectoryA(const std::string &path);
// Creates a folder with every missing folder above it; true when it exists afterwards.
bool ForceDirectories(const std::string &path);
bool FileExists(const std::string &path);      // a file (not a folder)
bool DirectoryExists(const std::string &path); // a folder
// The names in a folder, "." and ".." left out; none when it cannot be read.
std::vector<std::string> FolderEntryNames(const std::string &folder);
// A folder's name with its trailing "/"; the empty name stays empty.
std::string WithSlash(std::string folder);

} // namespace vantorel
