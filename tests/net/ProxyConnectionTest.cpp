#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "HTTPConnection.h"
#include "ProxySetup.h"
#include "fixtures/FakeWebService.h"
#include "fixtures/LoopbackPort.h"
#include "fixtures/TinyProxy.h"

namespace vantorel {
namespace {

// Sets an environment variable for the length of a test.
class TEnvironment {
public:
    TEnvironment(const char *name, const std::string &value) : FName(name)
    {
        if (const char *old = std::getenv(name))
            FOld = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~TEnvironment()
    {
        if (FOld)
            ::setenv(FName, FOld->c_str(), 1);
        else
            ::unsetenv(FName);
    }

private:
    const char *FName;
    std::optional<std::string> FOld;
};

class ProxyConnectionTest : public ::testing::Test {
protected:
    TOptionValues Options(int source, bool authentication, const std::string &password = "s3cret") const
    {
        TOptionValues options;
        options.proxysource = source;
        options.proxyhost = "127.0.0.1";
        options.proxyport = std::to_string(FProxy.Port());
        options.proxyauthentication = authentication;
        options.proxylogin = "pat";
        options.proxypassword = password;
        return options;
    }

    enum TRoute { Direct, Proxied, Refused };

    // How a GET through the connection went: straight to the service, through the proxy (which
    // names itself in a Via header), or refused by the proxy before the service saw it.
    TRoute Fetch(const TOptionValues &options)
    {
        ApplyProxyOptions(FConnection, options);
        const std::size_t before = FService.RequestCount();
        try {
            FConnection.Get(FService.Url("/curversion.php"));
        } catch (const EHTTPError &e) {
            // tinyproxy answers missing credentials with 407 and wrong ones with 401.
            EXPECT_TRUE(e.Status() == 407 || e.Status() == 401) << e.what();
            EXPECT_EQ(FService.RequestCount(), before);
            return Refused;
        }
        return FService.Requests().back().Header("Via").has_value() ? Proxied : Direct;
    }

    test::TFakeWebService FService;
    test::TTinyProxy FProxy{"pat", "s3cret"};
    THTTPConnection FConnection;
};

TEST_F(ProxyConnectionTest, BasicAuthenticationOnlyWithTheCredentialsOfTheOptions)
{
    EXPECT_EQ(Fetch(Options(psManual, true)), Proxied) << FProxy.Log();
    EXPECT_EQ(Fetch(Options(psIE, true)), Proxied);
    // Without the authentication switch the login and password stay at home.
    EXPECT_EQ(Fetch(Options(psManual, false)), Refused);
    EXPECT_EQ(Fetch(Options(psManual, true, "wrong")), Refused);
    // A password with the separator of "user:password" in it reaches the proxy whole.
    EXPECT_EQ(Fetch(Options(psManual, true, "s3cret:x")), Refused);
    EXPECT_EQ(Fetch(Options(psNoProxy, true)), Direct);
    EXPECT_EQ(FService.RequestCount(), 3u);
}

TEST_F(ProxyConnectionTest, TheEnvironmentNeverOverridesTheOptions)
{
    const std::string dead = "http://127.0.0.1:" + std::to_string(test::DeadLoopbackPort());
    const TEnvironment proxies[] = {{"http_proxy", dead}, {"HTTP_PROXY", dead}, {"all_proxy", dead},
                                    {"ALL_PROXY", dead},  {"no_proxy", "*"},    {"NO_PROXY", "*"}};
    // No proxy in the options: direct, past the environment's dead proxy.
    EXPECT_EQ(Fetch(Options(psNoProxy, false)), Direct);
    // A proxy in the options: used, whatever no_proxy says.
    EXPECT_EQ(Fetch(Options(psManual, true)), Proxied);
}

TEST_F(ProxyConnectionTest, AProxyThatDoesNotAnswerFailsTheRequest)
{
    TOptionValues options = Options(psManual, false);
    options.proxyport = std::to_string(test::DeadLoopbackPort());
    ApplyProxyOptions(FConnection, options);
    EXPECT_THROW(FConnection.Get(FService.Url("/curversion.php")), EHTTPError);
    EXPECT_EQ(FService.RequestCount(), 0u);
}

} // namespace
} // namespace vantorel
