#include "ServiceReply.h"

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using TLines = std::vector<std::string>;

struct TSplitCase {
    const char *Description;
    std::string Body;
    TLines Lines;
};

void PrintTo(const TSplitCase &c, std::ostream *out) { *out << c.Description; }

class SplitReplyLinesTest : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(SplitReplyLinesTest, SplitsAtEveryKindOfBreak) { EXPECT_EQ(SplitReplyLines(GetParam().Body), GetParam().Lines); }

INSTANTIATE_TEST_SUITE_P(
    Replies, SplitReplyLinesTest,
    ::testing::Values(TSplitCase{"empty body: no line", "", {}},
                      TSplitCase{"one line without a break", "SUCCESS", {"SUCCESS"}},
                      TSplitCase{"a final break adds no line", "SUCCESS\r\n", {"SUCCESS"}},
                      TSplitCase{"CR LF, CR and LF mixed", "a\r\nb\rc\nd", {"a", "b", "c", "d"}},
                      TSplitCase{"empty lines inside stay", "a\n\nb\r\n\r\nc", {"a", "", "b", "", "c"}},
                      TSplitCase{"LF then CR is two breaks", "a\n\rb", {"a", "", "b"}},
                      TSplitCase{"only the last break is dropped", "a\r\n\r\n", {"a", ""}},
                      TSplitCase{"a lone break is one empty line", "\n", {""}},
                      TSplitCase{"nothing is trimmed", " SUCCESS \n\thttp://x/y \n", {" SUCCESS ", "\thttp://x/y "}},
                      TSplitCase{
                          "bytes other than breaks pass", std::string("a\0b\nc", 5), {std::string("a\0b", 3), "c"}}));

struct TWordCase {
    const char *Line;
    TReplyWord Word;
};

TEST(ReplyWord, ComparesTheWholeLineAfterAsciiUpperCasing)
{
    const TWordCase cases[] = {
        {"SUCCESS", TReplyWord::Success},
        {"success", TReplyWord::Success},
        {"SuCcEsS", TReplyWord::Success},
        {"MESSAGE", TReplyWord::Message},
        {"message", TReplyWord::Message},
        {"Error", TReplyWord::Error},
        {" SUCCESS", TReplyWord::Other},
        {"SUCCESS ", TReplyWord::Other},
        {"SUCCESSFUL", TReplyWord::Other},
        {"", TReplyWord::Other},
        {"OK", TReplyWord::Other},
        // Only ASCII letters change case: the long s of Unicode is no "S".
        {"\xC5\xBF"
         "uccess",
         TReplyWord::Other},
    };
    for (const TWordCase &c : cases)
        EXPECT_EQ(ReplyWord(c.Line), c.Word) << '"' << c.Line << '"';
}

TEST(ReplyLines, LinesNumbersAndTheRest)
{
    const TLines memberStatus{"SUCCESS", "12", "-1", "+7"};
    EXPECT_EQ(ReplyLine(memberStatus, 1), "SUCCESS");
    EXPECT_EQ(ReplyNumber(memberStatus, 2), 12);
    EXPECT_EQ(ReplyNumber(memberStatus, 3), -1);
    EXPECT_EQ(ReplyNumber(memberStatus, 4), 7);
    EXPECT_THROW(ReplyLine(memberStatus, 5), EReplyError);
    EXPECT_THROW(ReplyLine({}, 1), EReplyError);

    for (const char *notANumber : {"", " 5", "5 ", "0x10", "$10", "1.0", "2147483648", "-2147483649", "+-1", "--1"})
        EXPECT_THROW(ReplyNumber({"SUCCESS", notANumber}, 2), EReplyError) << '"' << notANumber << '"';
    EXPECT_EQ(ReplyNumber({"SUCCESS", "-2147483648"}, 2), INT32_MIN);

    const TLines upload{"SUCCESS", "http://m.vantorel.example/p?id=1", "http://old/1", "", "http://old/2"};
    EXPECT_EQ(ReplyLinesFrom(upload, 3), (TLines{"http://old/1", "", "http://old/2"}));
    EXPECT_EQ(ReplyLinesFrom({"SUCCESS", "address"}, 3), TLines{});
    EXPECT_EQ(ReplyLinesFrom({"SUCCESS"}, 3), TLines{});
}

} // namespace
} // namespace vantorel
