#include "TextRules.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(TextRulesTest, CaseChangesOnlyAsciiLetters)
{
    EXPECT_EQ(AsciiUpper("abc XYZ 09_-z"), "ABC XYZ 09_-Z");
    EXPECT_EQ(AsciiLower("ABC xyz 09_-Z"), "abc xyz 09_-z");
    // "é" and "É" in UTF-8, and a Latin-1 byte: none of them is touched.
    EXPECT_EQ(AsciiUpper("caf\xC3\xA9 \xE9"), "CAF\xC3\xA9 \xE9");
    EXPECT_EQ(AsciiLower("CAF\xC3\x89 \xC9"), "caf\xC3\x89 \xC9");
    EXPECT_EQ(AsciiUpper(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(TextRulesTest, SameTextIgnoresOnlyAsciiCase)
{
    EXPECT_TRUE(SameTextAscii("Photo.JPG", "photo.jpg"));
    EXPECT_TRUE(SameTextAscii("", ""));
    EXPECT_FALSE(SameTextAscii("photo", "photo2"));
    EXPECT_FALSE(SameTextAscii("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89")); // été / ÉTÉ
    EXPECT_FALSE(SameTextAscii("[", "{"));                                 // not letters: 0x5B vs 0x7B
}

struct TNumberCase {
    const char *Text;
    std::optional<std::int32_t> Expected;
};
// Without it the test's name is printed from the case's bytes, unset ones included.
void PrintTo(const TNumberCase &c, std::ostream *os) { *os << '"' << c.Text << '"'; }

class ParseWholeNumberTest : public ::testing::TestWithParam<TNumberCase> {};

TEST_P(ParseWholeNumberTest, ReadsAsTheProgramDoes)
{
    const TNumberCase &c = GetParam();
    EXPECT_EQ(ParseWholeNumber(c.Text), c.Expected) << "text: \"" << c.Text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ParseWholeNumberTest,
    ::testing::Values(TNumberCase{"0", 0}, TNumberCase{"42", 42}, TNumberCase{"   42", 42}, TNumberCase{"+7", 7},
                      TNumberCase{"-7", -7}, TNumberCase{"  -128", -128}, TNumberCase{"007", 7},
                      TNumberCase{"2147483647", 2147483647}, TNumberCase{"-2147483648", INT32_MIN},
                      TNumberCase{"2147483648", std::nullopt}, TNumberCase{"-2147483649", std::nullopt},
                      TNumberCase{"99999999999999999999", std::nullopt}, TNumberCase{"$1F", 31}, TNumberCase{"x1f", 31},
                      TNumberCase{"X1F", 31}, TNumberCase{"0x1F", 31}, TNumberCase{"0X1f", 31},
                      TNumberCase{"-$10", -16}, TNumberCase{"$FFFFFFFF", -1}, TNumberCase{"$80000000", INT32_MIN},
                      TNumberCase{"$100000000", std::nullopt}, TNumberCase{"$", std::nullopt},
                      TNumberCase{"0x", std::nullopt}, TNumberCase{"$G", std::nullopt},
                      TNumberCase{"12a", std::nullopt}, TNumberCase{"12 ", std::nullopt},
                      TNumberCase{"1.5", std::nullopt}, TNumberCase{"", std::nullopt}, TNumberCase{"   ", std::nullopt},
                      TNumberCase{"-", std::nullopt}, TNumberCase{"+-1", std::nullopt},
                      TNumberCase{"abc", std::nullopt}));

TEST(TextRulesTest, ParseWholeNumberOrFallsBackOnlyForNonNumbers)
{
    EXPECT_EQ(ParseWholeNumberOr("12", -1), 12);
    EXPECT_EQ(ParseWholeNumberOr("-1", 5), -1);
    EXPECT_EQ(ParseWholeNumberOr("twelve", -1), -1);
    EXPECT_EQ(ParseWholeNumberOr("", 128), 128);
}

struct TNameCase {
    const char *Name;
    const char *Extension;
    const char *Base;
};

class NamePartsTest : public ::testing::TestWithParam<TNameCase> {};

TEST_P(NamePartsTest, SplitsAtTheLastDotOfTheLastComponent)
{
    const TNameCase &c = GetParam();
    EXPECT_EQ(ExtractExtension(c.Name), c.Extension) << c.Name;
    EXPECT_EQ(BaseName(c.Name), c.Base) << c.Name;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, NamePartsTest,
    ::testing::Values(TNameCase{"photo.jpg", ".jpg", "photo"}, TNameCase{"Photo.JPG", ".JPG", "Photo"},
                      TNameCase{"My.Pics", ".Pics", "My"}, TNameCase{"a.b", ".b", "a"},
                      TNameCase{"archive", "", "archive"}, TNameCase{".jpg", ".jpg", ""},
                      TNameCase{"a.png.jpg", ".jpg", "a.png"}, TNameCase{"dot.", ".", "dot"}, TNameCase{"", "", ""},
                      TNameCase{"dir.d/file", "", "dir.d/file"}, TNameCase{"c:x.y/file", "", "c:x.y/file"},
                      TNameCase{"dir/file.gif", ".gif", "dir/file"}, TNameCase{"c:name.bmp", ".bmp", "c:name"}));

TEST(TextRulesTest, FileNamePartFollowsTheLastSlashOrColon)
{
    EXPECT_EQ(ExtractFileNamePart("/tmp/down/Photo.JPG"), "Photo.JPG");
    EXPECT_EQ(ExtractFileNamePart("c:Photo.JPG"), "Photo.JPG");
    EXPECT_EQ(ExtractFileNamePart("a:b/c:d"), "d");
    EXPECT_EQ(ExtractFileNamePart("plain.png"), "plain.png");
    EXPECT_EQ(ExtractFileNamePart("/tmp/dir/"), "");
}

TEST(TextRulesTest, NodeNameIsOnePathComponent)
{
    for (const char *good : {"cat.jpg", "New Folder", ".jpg", "..jpg", "...", "a.b", " ", "a\\b", "c:d"})
        EXPECT_TRUE(IsValidNodeName(good)) << good;
    for (const char *bad : {"", ".", "..", "a/b", "/", "cat/", "/cat", "../x"})
        EXPECT_FALSE(IsValidNodeName(bad)) << bad;
    EXPECT_FALSE(IsValidNodeName(std::string("a\0b", 3)));
}

} // namespace
} // namespace vantorel
