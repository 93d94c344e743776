#include "ProxySetup.h"

#include "TextRules.h"

namespace vantorel {

bool ProxyInUse(const TOptionValues &options)
{
    return options.proxysource < psNoProxy && !options.proxyhost.empty() && !options.proxyport.empty();
}

void ClearProxyParams(THTTPConnection &connection) { connection.ProxyParams = TProxyParams{}; }

void ApplyProxyOptions(THTTPConnection &connection, const TOptionValues &options)
{
    ClearProxyParams(connection);
    connection.Reconnect();
    if (!ProxyInUse(options))
        return;
    TProxyParams params;
    params.ProxyServer = options.proxyhost;
    const std::optional<std::int32_t> port = ParseDecimal(options.proxyport);
    if (!port)
        throw EConvertError("'" + options.proxyport + "' is not a valid integer value");
    params.ProxyPort = *port;
    params.BasicAuthentication = options.proxyauthentication;
    if (params.BasicAuthentication) {
        params.ProxyUsername = options.proxylogin;
        params.ProxyPassword = options.proxypassword;
    }
    connection.ProxyParams = params;
}

} // namespace vantorel
