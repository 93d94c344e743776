#include "BrowserLauncher.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace vantorel {
namespace {

class BrowserLauncherTest : public ::testing::Test {
protected:
    void TearDown() override { ::unsetenv("BROWSER"); }
};

TEST_F(BrowserLauncherTest, StartsTheBrowserCommandWithTheAddress)
{
    test::TTempDir dir;
    const std::string script = dir / "browser.sh";
    test::WriteFile(script, "#!/bin/sh\necho \"$1\" > \"" + dir.Path() + "called\"\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    ::setenv("BROWSER", script.c_str(), 1);
    std::string failure;
    ASSERT_TRUE(LaunchBrowser("http://example.invalid/page?a=1&b=2", failure, nullptr, {})) << failure;
    for (int i = 0; i < 200 && test::ReadFile(dir / "called").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(test::ReadFile(dir / "called"), "http://example.invalid/page?a=1&b=2\n");
}

TEST_F(BrowserLauncherTest, MissingBrowserGivesTheSystemReasonTheCommandAndTheAddress)
{
    ::setenv("BROWSER", "/nonexistent/browser", 1);
    std::string failure;
    EXPECT_FALSE(LaunchBrowser("http://x/faq.php", failure, nullptr, {}));
    EXPECT_EQ(
        failure,
        "No such file or directory /nonexistent/browser\n\nOpen this address in your web browser: http://x/faq.php");
}

TEST_F(BrowserLauncherTest, WithoutBrowserVariableXdgOpenIsUsed)
{
    ::unsetenv("BROWSER");
    EXPECT_EQ(BrowserCommand(), "xdg-open");
    ::setenv("BROWSER", "", 1);
    EXPECT_EQ(BrowserCommand(), "xdg-open");
}

TEST_F(BrowserLauncherTest, OfAListOfBrowsersTheFirstIsUsed)
{
    ::setenv("BROWSER", "firefox:chromium", 1);
    EXPECT_EQ(BrowserCommand(), "firefox");
}

} // namespace
} // namespace vantorel
