#include "Registry.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace vantorel {
namespace {

constexpr const char *kKey = "Software/Vantorel/Vantorel";

class RegistryTest : public ::testing::Test {
protected:
    TRegistry Registry() const { return TRegistry(FDir / "config/vantorel/"); }
    test::TTempDir FDir;
};

TEST_F(RegistryTest, AKeyIsMadeOnlyWhenAskedAndOnlyWhereTheStoreCanBeWritten)
{
    TRegistry registry = Registry();
    EXPECT_FALSE(registry.OpenKey(kKey, false));
    EXPECT_FALSE(test::Exists(registry.FileName()));
    EXPECT_THROW(registry.ReadString("AppPath"), ERegistryException);
    ASSERT_TRUE(registry.OpenKey(kKey, true));
    EXPECT_TRUE(Registry().KeyExists("software/VANTOREL/vantorel"));
    EXPECT_TRUE(registry.DeleteKey(kKey));
    EXPECT_FALSE(test::Exists(registry.FileName())); // an empty store leaves no file

    // Below a plain file nothing can be made, whoever runs the test.
    test::WriteFile(FDir / "file", "x");
    EXPECT_FALSE(TRegistry(FDir / "file/vantorel/").OpenKey(kKey, true));
}

TEST_F(RegistryTest, ValuesKeepEveryCharacterBesideOtherKeys)
{
    const std::vector<std::pair<std::string, std::string>> values = {
        {"ImageURL", "http://host/a b.jpg?x=1&y=[2]"},
        {"Breaks", "a\nb\r\nc\\n\\"},
        {"Empty", ""},
        {"a=b[c]\\", "="},
        {"LooksLikeAKey", "[Other/Key]"},
    };
    TRegistry other = Registry();
    ASSERT_TRUE(other.OpenKey("Software/Other", true));
    other.WriteString("Keep", "me");
    TRegistry writer = Registry();
    ASSERT_TRUE(writer.OpenKey(kKey, true));
    for (const auto &[name, value] : values)
        writer.WriteString(name, value);
    EXPECT_TRUE(writer.DeleteValue("EMPTY"));
    EXPECT_FALSE(writer.DeleteValue("Empty"));
    TRegistry reader = Registry();
    ASSERT_TRUE(reader.OpenKey(kKey, false));
    for (const auto &[name, value] : values)
        EXPECT_EQ(reader.ValueExists(name) ? reader.ReadString(name) : "<none>", name == "Empty" ? "<none>" : value);
    EXPECT_EQ(other.ReadString("Keep"), "me");
}

TEST_F(RegistryTest, AKeyOnlyASystemFolderHasIsReadFromThereAndChangedInTheUsersStore)
{
    const std::string system = std::string("[") + kKey + "]\nAppPath=/opt/bin\nOther=x\n";
    test::WriteFile(FDir / "second/registry", system);
    test::WriteFile(FDir / "first/registry", "[Software/Other]\nAppPath=/elsewhere\n");
    TRegistry registry(FDir / "config/vantorel/", {FDir / "first/", FDir / "second"});
    ASSERT_TRUE(registry.OpenKey(kKey, false));
    EXPECT_FALSE(test::Exists(registry.FileName())); // opened, not made
    registry.WriteString("Other", "y");
    EXPECT_EQ(registry.ReadString("AppPath"), "/opt/bin"); // what the user's key lacks
    EXPECT_EQ(registry.ReadString("Other"), "y");
    EXPECT_EQ(test::ReadFile(registry.FileName()), std::string("[") + kKey + "]\nOther=y\n");
    EXPECT_TRUE(registry.DeleteKey(kKey));
    EXPECT_TRUE(registry.KeyExists(kKey)); // the system's stays, as it was
    EXPECT_EQ(test::ReadFile(FDir / "second/registry"), system);
}

} // namespace
} // namespace vantorel
