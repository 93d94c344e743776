#pragma once

#include <string>

namespace vantorel {

// A fresh folder of its own under the program folder's "Temp", for the files of one exchange or
// preview, so that two of them never write over each other's file of the same name. The folder
// goes with everything in it when the object does.
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
};

} // namespace vantorel
