#pragma once

#include <string>

namespace vantorel {

// A settings file that could not be read whole is written anew from what was read of it. Before
// that, a copy of it is set aside beside it as "<name>.damaged" (or "<name>.damaged-2" and so on,
// never replacing an earlier copy), so nothing the user had is lost for good. Returns the copy's
// path, empty when no copy could be made: the file must then not be replaced.
std::string KeepDamagedCopy(const std::string &path);

} // namespace vantorel
