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

} // namespace
} // namespace vantorel
