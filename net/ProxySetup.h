#pragma once

#include "HTTPConnection.h"
#include "OptionValues.h"

namespace vantorel {

// The proxy options are in use: the source is the system's or manual, and both host and port
// are given.
bool ProxyInUse(const TOptionValues &options);

// Readies a connection for an exchange: clears its proxy settings, lets it connect again, and
// when the proxy is in use sets the proxy from the options (the credentials only when the proxy
// asks for authentication). Raises EConvertError when "proxyport" is not a decimal number.
void ApplyProxyOptions(THTTPConnection &connection, const TOptionValues &options);

// Back to a direct connection without credentials.
void ClearProxyParams(THTTPConnection &connection);

// A text that should have been a number.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace vantorel
