#pragma once

#include <string>

#include "AutomationSwitches.h"

namespace vantorel {

// The registration of the automation server: a D-Bus activation file that starts the program
// with "-AUTOMATION" when a client calls the bus name while no program runs, and the program key
// with "AppPath".

// $XDG_DATA_HOME/dbus-1/services/example.vantorel.Vantorel.service (else below ~/.local/share).
std::string ServiceFilePath();
// The activation file for the executable (an absolute path).
std::string ServiceFileText(const std::string &executable);
// The running executable, from /proc/self/exe.
std::string ExecutablePath();

// "REGSERVER": writes the activation file and makes the program key with "AppPath" (the
// executable's folder, without a trailing "/"). Raises std::runtime_error with the reason.
void RegisterServer(const std::string &executable);
// "UNREGSERVER": removes both; what is missing already is no failure. Raises std::runtime_error.
void UnregisterServer();
// The registration at every start: writes the activation file when it is missing or differs.
// False when it could not, which the caller ignores.
bool RenewServiceFile(const std::string &executable);
// The same for the running executable.
bool RenewServiceFile();

// Carries out "REGSERVER" or "UNREGSERVER" and gives the program's exit code: 0, or 1 after a
// failed "REGSERVER", whose reason goes to standard error.
int RunRegistrationSwitches(const TAutomationSwitches &switches);

} // namespace vantorel
