#include "AutomationSwitches.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TAutomationSwitches Parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("vantorel"));
    return ParseAutomationSwitches(arguments);
}

TEST(AutomationSwitches, RecognisedWithSlashOrDashInAnyCase)
{
    EXPECT_TRUE(Parse({"/REGSERVER"}).RegServer);
    EXPECT_TRUE(Parse({"-regserver"}).RegServer);
    EXPECT_TRUE(Parse({"/UnRegServer"}).UnregServer);
    EXPECT_TRUE(Parse({"-Automation"}).Automation);
    EXPECT_TRUE(Parse({"/embedding"}).Embedding);
}

TEST(AutomationSwitches, OtherWordsAndBareWordsAreIgnored)
{
    const TAutomationSwitches none = Parse({"REGSERVER", "--regserver", "/reg", "-", "picture.jpg"});
    EXPECT_FALSE(none.RegServer);
    EXPECT_FALSE(none.UnregServer);
    EXPECT_FALSE(none.Automation);
    EXPECT_FALSE(none.Embedding);
}

TEST(AutomationSwitches, TheProgramNameIsNoSwitch)
{
    EXPECT_FALSE(ParseAutomationSwitches({QStringLiteral("/regserver")}).RegServer);
}

} // namespace
} // namespace vantorel
