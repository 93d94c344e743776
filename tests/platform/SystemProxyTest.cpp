#include "SystemProxy.h"

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

struct ProxyVariableCase {
    const char *Variable; // nullptr: unset
    std::optional<std::string> Server;
};
// Without it the test's name is printed from the case's bytes, an empty optional's included.
void PrintTo(const ProxyVariableCase &c, std::ostream *os) { *os << (c.Variable ? c.Variable : "(unset)"); }

class SystemProxyTest : public ::testing::TestWithParam<ProxyVariableCase> {
protected:
    void SetUp() override
    {
        if (const char *value = std::getenv("http_proxy"))
            FSaved = value;
    }
    void TearDown() override
    {
        if (FSaved)
            ::setenv("http_proxy", FSaved->c_str(), 1);
        else
            ::unsetenv("http_proxy");
    }

private:
    std::optional<std::string> FSaved;
};

TEST_P(SystemProxyTest, TakesHostAndPortFromHttpProxy)
{
    const ProxyVariableCase &c = GetParam();
    if (c.Variable)
        ::setenv("http_proxy", c.Variable, 1);
    else
        ::unsetenv("http_proxy");
    EXPECT_EQ(SystemProxyServer(), c.Server) << (c.Variable ? c.Variable : "(unset)");
}

INSTANTIATE_TEST_SUITE_P(
    Variables, SystemProxyTest,
    ::testing::Values(ProxyVariableCase{nullptr, std::nullopt}, ProxyVariableCase{"", std::nullopt},
                      ProxyVariableCase{"http://proxy:8080/", "proxy:8080"},
                      ProxyVariableCase{"proxy:3128", "proxy:3128"},
                      ProxyVariableCase{"http://user:pw@proxy:8080", "proxy:8080"},
                      ProxyVariableCase{"http://user:p@ss@proxy:8080/", "proxy:8080"},
                      ProxyVariableCase{"HTTPS://proxy//", "proxy"}, ProxyVariableCase{"proxy", "proxy"},
                      ProxyVariableCase{"http://proxy:8080/some/path", "proxy:8080"},
                      ProxyVariableCase{"http://us/er:pw@proxy:81", "proxy:81"},
                      // Nothing left once the scheme and slashes are gone: no proxy.
                      ProxyVariableCase{"http://", std::nullopt}, ProxyVariableCase{"http:///", std::nullopt}));

} // namespace
} // namespace vantorel
