// The commands that open a web page, with a browser command that starts and then fails: it is
// reported as one that cannot start, with the address to open by hand.
#include "MainForm.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QAction>
#include <QTest>

#include <gtest/gtest.h>

#include "ServiceNames.h"
#include "ServiceWindowFixture.h"

namespace vantorel {
namespace {

class BrowserCommandTest : public test::TServiceWindowTest {
protected:
    void SetUp() override
    {
        WriteProgramFolder("uploadhost");
        OpenWindow();
    }
    void TearDown() override
    {
        ::unsetenv("BROWSER");
        TServiceWindowTest::TearDown();
    }
};

TEST_F(BrowserCommandTest, ABrowserCommandEndingWithAnErrorShowsTheAddressToOpenByHand)
{
    struct TCase {
        const char *Body;
        const char *Reason; // null: no box
    } cases[] = {
        {"exit 0", nullptr},
        {"exit 3", "Exit status 3"},
        {"sleep 0.3; exit 1", "Exit status 1"},
        {"kill -KILL $$", "Killed"},
    };
    // Help > FAQ, and the start that "Yes" to a new version runs.
    const std::string faq = ServicePageAddress(kFAQPage);
    const std::string setup = "http://www.vantorel.example/setup";
    const std::vector<std::pair<std::string, std::function<void()>>> commands = {
        {faq, [this] { FForm->FAQMenuItem->trigger(); }},
        {setup,
         [this, &setup] {
             std::string failure;
             EXPECT_TRUE(FOptions->StartBrowser(setup, failure)) << failure;
         }},
    };
    const std::string script = FFolder / "browser.sh";
    const std::string pidFile = FFolder / "browser.pid";
    ::setenv("BROWSER", script.c_str(), 1);
    for (const TCase &c : cases) {
        test::WriteFile(script, "#!/bin/sh\necho $$ > " + pidFile + ".new && mv " + pidFile + ".new " + pidFile + "\n" +
                                    c.Body + "\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        for (const auto &[address, run] : commands) {
            SCOPED_TRACE(std::string(c.Body) + " " + address);
            std::filesystem::remove(pidFile);
            FPrompts.Clear();
            run();
            // Once its process entry is gone the command has been reaped, and reported.
            EXPECT_TRUE(QTest::qWaitFor(
                [&] {
                    const std::string pid = test::ReadFile(pidFile);
                    return !pid.empty() && !std::filesystem::exists("/proc/" + pid.substr(0, pid.size() - 1));
                },
                5000));
            const std::vector<std::string> boxes =
                c.Reason ? std::vector<std::string>{std::string(c.Reason) + " " + script +
                                                    "\n\nOpen this address in your web browser: " + address}
                         : std::vector<std::string>{};
            EXPECT_EQ(FPrompts.Texts(), boxes);
        }
    }
}

} // namespace
} // namespace vantorel
