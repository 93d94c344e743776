#pragma once

#include <string>

namespace vantorel {

// The browser command: $BROWSER when set, else xdg-open.
std::string BrowserCommand();

// Starts the web browser with an address, without waiting for it. On failure returns false and
// sets failure to the system's reason, a blank and the browser command, followed by the address
// in a paragraph of its own.
bool LaunchBrowser(const std::string &address, std::string &failure);

} // namespace vantorel
