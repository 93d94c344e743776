#include "DamagedFile.h"

#include "FileOps.h"

namespace vantorel {

std::string KeepDamagedCopy(const std::string &path)
{
    const std::string copy = path + ".damaged";
    return FileExists(path) && CopyFileA(path, copy) ? copy : std::string();
}

} // namespace vantorel
