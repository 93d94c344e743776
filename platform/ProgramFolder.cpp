#include "ProgramFolder.h"

#include <climits>
#include <unistd.h>

namespace vantorel {

std::string ProgramFolder()
{
    std::string path(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0)
        return "./";
    path.resize(static_cast<std::size_t>(n));
    return path.substr(0, path.find_last_of('/') + 1);
}

} // namespace vantorel
