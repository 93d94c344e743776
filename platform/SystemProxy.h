#pragma once

#include <optional>
#include <string>

namespace vantorel {

// The system's proxy server as "host:port" (or as a list of "scheme=host:port" entries), taken
// from the http_proxy variable with its scheme and trailing "/" dropped; none when the variable
// is unset or empty, which means the system uses no proxy.
std::optional<std::string> SystemProxyServer();

} // namespace vantorel
