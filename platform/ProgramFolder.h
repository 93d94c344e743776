#pragma once

#include <string>

namespace vantorel {

// Where the program keeps everything (the logo tree, its XML files, "Temp") and where it finds
// the files that ship with it. Every folder here ends with "/". Only the program's entry asks for
// the program folder; everything else is handed it.

// The folder of the running executable.
std::string ExecutableFolder();
// The folder where an installation keeps the files that ship with the program, for an executable
// in executableFolder ("/usr/bin/" gives "/usr/share/vantorel/"). It exists only when installed.
std::string InstalledDataFolder(const std::string &executableFolder);
// The configuration folder of an installation (its etc/xdg/) for an executable in
// executableFolder. It exists only when installed.
std::string InstalledConfigFolder(const std::string &executableFolder);
// The folder where an installation keeps the source manager library and its scanner helper (its
// lib/vantorel/) for an executable in executableFolder. It exists only when installed.
std::string InstalledLibraryFolder(const std::string &executableFolder);
// $XDG_DATA_HOME/vantorel/, with the base directory rules' default ~/.local/share.
std::string UserProgramFolder();

// The executable's folder when it can be written and is no installation (no installed data folder
// next to it), else the user's folder. Creates nothing.
std::string ChooseProgramFolder(const std::string &executableFolder, const std::string &dataFolder,
                                const std::string &userFolder);
// The program folder of the running executable; the user's folder is created when it is the one.
std::string ProgramFolder();

// The folder to read a shipped file (phoneslist.xml, vantorelhelp.hlp) from: the program folder
// when it has its own copy, else the data folder when that has one, else the program folder (whose
// missing file is then the one reported).
std::string ShippedFileFolder(const std::string &programFolder, const std::string &dataFolder,
                              const std::string &fileName);
// The same with the running executable's installed data folder, or its own folder when it is not
// installed.
std::string ShippedFileFolder(const std::string &programFolder, const std::string &fileName);

} // namespace vantorel
