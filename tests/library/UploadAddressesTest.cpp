#include "UploadAddresses.h"

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

} // namespace
} // namespace vantorel
