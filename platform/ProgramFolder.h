#pragma once

#include <string>

namespace vantorel {

// The folder of the running executable, ending with "/". Only the program's entry asks for it;
// everything else is handed the folder.
std::string ProgramFolder();

} // namespace vantorel
