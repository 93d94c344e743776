#pragma once

#include <string>

namespace vantorel {

// A settings file that could not be read whole is written anew at shut-down from what was read
// of it. Before that, a copy of it is set aside beside it as "<name>.damaged", so nothing the
// user had is lost for good. Returns the copy's path, empty when no copy could be made.
std::string KeepDamagedCopy(const std::string &path);

} // namespace vantorel
