#include "DamagedFile.h"

#include "FileOps.h"

namespace vantorel {

std::string KeepDamagedCopy(const std::string &path)
{
    if (!FileExists(path))
        return {};
    std::string copy = path + ".damaged";
    for (int n = 2; FileExists(copy) || DirectoryExists(copy); ++n)
        copy = path + ".damaged-" + std::to_string(n);
    return CopyFileA(path, copy) ? copy : std::string();
}

} // namespace vantorel
