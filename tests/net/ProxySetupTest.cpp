#include "ProxySetup.h"

#include <optional>
#include <ostream>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TOptionValues Proxy(int source, const char *host, const char *port, bool authentication = false)
{
    TOptionValues options;
    options.proxysource = source;
    options.proxyhost = host;
    options.proxyport = port;
    options.proxyauthentication = authentication;
    options.proxylogin = "pat";
    options.proxypassword = "s:cret";
    return options;
}

// A proxy without credentials.
TProxyParams Direct(const char *server, int port) { return {server, port, false, {}, {}}; }

struct TProxyCase {
    const char *Description;
    TOptionValues Options;
    std::optional<TProxyParams> Expected; // none: the port is refused
};

void PrintTo(const TProxyCase &c, std::ostream *out) { *out << c.Description; }

class ApplyProxyOptionsTest : public ::testing::TestWithParam<TProxyCase> {};

TEST_P(ApplyProxyOptionsTest, SetsOnlyWhatTheOptionsAskFor)
{
    const TProxyCase &c = GetParam();
    THTTPConnection connection;
    // Whatever an earlier exchange left goes first.
    connection.ProxyParams = {"old", 1, true, "u", "p"};
    if (!c.Expected) {
        EXPECT_THROW(ApplyProxyOptions(connection, c.Options), EConvertError);
        return;
    }
    ApplyProxyOptions(connection, c.Options);
    EXPECT_EQ(connection.ProxyParams, *c.Expected);
    EXPECT_EQ(ProxyInUse(c.Options), !c.Expected->ProxyServer.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Options, ApplyProxyOptionsTest,
    ::testing::Values(
        TProxyCase{"system source with host and port", Proxy(psIE, "cache", "3128"), Direct("cache", 3128)},
        TProxyCase{"manual, no authentication: no credentials", Proxy(psManual, "px", "8080"), Direct("px", 8080)},
        TProxyCase{"manual with authentication: user and password apart", Proxy(psManual, "px", "8080", true),
                   TProxyParams{"px", 8080, true, "pat", "s:cret"}},
        TProxyCase{"no proxy: direct, whatever host and port say", Proxy(psNoProxy, "px", "8080", true),
                   TProxyParams{}},
        TProxyCase{"manual without host: direct", Proxy(psManual, "", "8080"), TProxyParams{}},
        TProxyCase{"manual without port: direct, the port is not read", Proxy(psManual, "px", ""), TProxyParams{}},
        TProxyCase{"a source outside the list: direct", Proxy(7, "px", "8080"), TProxyParams{}},
        TProxyCase{"a port with a sign is a number", Proxy(psManual, "px", "+81"), Direct("px", 81)},
        TProxyCase{"a port with a letter is refused", Proxy(psManual, "px", "80a"), std::nullopt},
        TProxyCase{"a port with a blank is refused", Proxy(psManual, "px", " 80"), std::nullopt},
        TProxyCase{"a port in hexadecimal is refused", Proxy(psIE, "px", "$50"), std::nullopt},
        TProxyCase{"a port past 32 bits is refused", Proxy(psManual, "px", "4294967377"), std::nullopt}));

} // namespace
} // namespace vantorel
