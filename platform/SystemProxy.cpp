#include "SystemProxy.h"

#include <cstdlib>

namespace vantorel {

std::optional<std::string> SystemProxyServer()
{
    const char *value = std::getenv("http_proxy");
    if (!value || !*value)
        return std::nullopt;
    std::string text = value;
    if (const auto scheme = text.find("://"); scheme != std::string::npos)
        text.erase(0, scheme + 3);
    // Credentials in the address are not part of the host.
    if (const auto at = text.rfind('@'); at != std::string::npos)
        text.erase(0, at + 1);
    // So is a path after it.
    if (const auto slash = text.find('/'); slash != std::string::npos)
        text.erase(slash);
    if (text.empty())
        return std::nullopt;
    return text;
}

} // namespace vantorel
