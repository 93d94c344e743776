#include "TempWorkFolder.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "FileOps.h"

namespace vantorel {

TTempWorkFolder::TTempWorkFolder(const std::string &programFolder)
{
    const std::string temp = programFolder + "Temp";
    if (!ForceDirectories(temp))
        throw std::system_error(errno, std::generic_category(), "Cannot create " + temp);
    std::string pattern = temp + "/work-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), "Cannot create a folder in " + temp);
    FPath = pattern + "/";
}

TTempWorkFolder::~TTempWorkFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
}

} // namespace vantorel
