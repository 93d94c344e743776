#include "LogoIndexSaver.h"

#include <filesystem>
#include <memory>
#include <string>

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace vantorel {
namespace {

// A burst of changes gives one write; a write that fails keeps the change for the next one.
TEST(LogoIndexSaverTest, ABurstIsOneWriteAndAFailedWriteLosesNothing)
{
    test::TTempDir dir;
    TLogoTree tree(dir.Path());
    tree.CreateRootNode();
    TLogoIndexSaver saver(tree);
    tree.SetChangeHandler([&saver] { saver.Changed(); });
    QSignalSpy ended(&saver, &TLogoIndexSaver::WriteEnded);
    std::filesystem::create_directories(dir / "logodirectory.xml"); // in the way of the file

    tree.AddChild(tree.Root(), std::make_unique<TLogoDirObject>(nkFolder, "Cats"));
    for (int i = 0; i < 50; ++i)
        tree.Changed();
    ASSERT_TRUE(ended.wait(5000));
    QTest::qWait(2 * TLogoIndexSaver::kDelayMs);
    ASSERT_EQ(ended.count(), 1);
    EXPECT_FALSE(ended[0][0].toBool());
    EXPECT_TRUE(saver.Pending());

    std::filesystem::remove(dir / "logodirectory.xml");
    TScriptedPromptService prompts;
    EXPECT_TRUE(saver.SaveNow(prompts));
    EXPECT_TRUE(prompts.Texts().empty());
    EXPECT_FALSE(saver.Pending());
    EXPECT_NE(test::ReadFile(dir / "logodirectory.xml").find(R"(nodename="Cats")"), std::string::npos);
}

} // namespace
} // namespace vantorel
