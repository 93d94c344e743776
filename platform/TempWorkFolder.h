#pragma once

#include <string>
#include <vector>

namespace vantorel {

// A fresh folder of its own under the program folder's "Temp", for the files of one exchange or
// preview, so that two of them never write over each other's file of the same name. The folder
// goes with everything in it when the object does. While the object lives the folder is locked,
// which tells it from the leftover of a program that was killed.
class TTempWorkFolder {
public:
    // Raises std::system_error when the folder cannot be made.
    explicit TTempWorkFolder(const std::string &programFolder);
    ~TTempWorkFolder();
    TTempWorkFolder(const TTempWorkFolder &) = delete;
    TTempWorkFolder &operator=(const TTempWorkFolder &) = delete;

    const std::string &Path() const { return FPath; } // ends with "/"

private:
    std::string FPath;
    int FLock = -1;
};

// Removes the work folders under the program folder's "Temp" that no live work folder holds
// (those of a program that was killed); returns their paths.
std::vector<std::string> RemoveLeftoverWorkFolders(const std::string &programFolder);

} // namespace vantorel
