#include "UploadAddresses.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

struct Row {
    const char *description;
    const char *url, *login, *password;
    TUploadAddresses expected;
};

TEST(UploadAddresses, BoxesFollowTheAddressRules)
{
    const Row rows[] = {
        {"guest host: short form before the ?, full form unchanged, number after id=",
         "http://wap.vantorel.example/show.php?id=1234",
         "joe",
         "pw",
         {"http://wap.vantorel.example/show.php", "http://wap.vantorel.example/show.php?id=1234", "1234"}},
        {"guest host compared without case",
         "HTTP://WAP.Vantorel.EXAMPLE/s?id=7",
         "",
         "",
         {"HTTP://WAP.Vantorel.EXAMPLE/s", "HTTP://WAP.Vantorel.EXAMPLE/s?id=7", "7"}},
        {"other host with a login and no password",
         "http://other.example/p?id=55",
         "joe",
         "",
         {"http://other.example/p?id=55", "http://other.example/p?id=55&login=joe", "55"}},
        {"other host with both",
         "http://o/p?id=5",
         "a",
         "b",
         {"http://o/p?id=5", "http://o/p?id=5&login=a&password=b", "5"}},
        {"no ?: the number runs from the fourth character", "abcdefg", "", "", {"abcdefg", "abcdefg", "defg"}},
        {"guest host without ?: no short form",
         "http://wap.vantorel.example/x",
         "",
         "",
         {"", "http://wap.vantorel.example/x", "p://wap.vantorel.example/x"}},
        {"empty address: all empty, nothing appended", "", "joe", "pw", {"", "", ""}},
        {"? too near the end: no number", "http://o/p?id", "", "", {"http://o/p?id", "http://o/p?id", ""}},
    };
    for (const Row &row : rows)
        EXPECT_EQ(DeriveUploadAddresses(row.url, row.login, row.password), row.expected) << row.description;
}

TEST(ClearListedUploadURLs, EachAddressClearsTheFirstRecordInTreeOrderThatCarriesIt)
{
    TLogoTree tree("/nowhere/");
    tree.CreateRootNode();
    auto add = [&](TLogoNode *parent, TLogoNodeKind kind, const char *name, const char *url) {
        auto record = std::make_unique<TLogoDirObject>(kind, name);
        record->UploadURL = url;
        return tree.AddChild(parent, std::move(record));
    };
    TLogoNode *pets = add(tree.Root(), nkFolder, "Pets", "");
    TLogoNode *cat = add(pets, nkLogo, "cat.jpg", "http://m.example/p?id=1");
    TLogoNode *dog = add(pets, nkLogo, "dog.jpg", "http://m.example/p?id=2");
    TLogoNode *copy = add(tree.Root(), nkLogo, "cat2.jpg", "http://m.example/p?id=1");
    TLogoNode *folderWithAddress = add(tree.Root(), nkFolder, "Odd", "http://m.example/p?id=3");

    std::vector<std::string> list{"HTTP://M.EXAMPLE/P?ID=1", "http://m.example/p?id=9", "http://m.example/p?id=2",
                                  "http://m.example/p?id=3"};
    ClearListedUploadURLs(tree, list);
    EXPECT_EQ(cat->Data()->UploadURL, "");
    EXPECT_EQ(dog->Data()->UploadURL, "");
    EXPECT_EQ(copy->Data()->UploadURL, "http://m.example/p?id=1");              // only the first carrier
    EXPECT_EQ(folderWithAddress->Data()->UploadURL, "http://m.example/p?id=3"); // folders are no logos
    EXPECT_EQ(list, (std::vector<std::string>{"http://m.example/p?id=9", "http://m.example/p?id=3"}));

    std::vector<std::string> again{"http://m.example/p?id=1"};
    ClearListedUploadURLs(tree, again);
    EXPECT_EQ(copy->Data()->UploadURL, "");
    EXPECT_TRUE(again.empty());
}

} // namespace
} // namespace vantorel
