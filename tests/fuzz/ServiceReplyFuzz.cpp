// The service reply parser: any body splits into lines without line breaks, splitting the lines
// joined again gives the same lines, and reading any line or number either succeeds or raises
// EReplyError.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "ServiceReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vantorel;
    using namespace vantorel::fuzz;
    const std::string_view body(reinterpret_cast<const char *>(data), size);
    const std::vector<std::string> lines = SplitReplyLines(body);

    std::string joined;
    for (const std::string &line : lines) {
        Expect(line.find_first_of("\r\n") == std::string::npos, "a line holds a line break");
        joined += line;
        joined += '\n';
    }
    Expect(SplitReplyLines(joined) == lines, "the joined lines split differently");
    if (!lines.empty())
        ReplyWord(lines.front());

    // The exchanges read the first few lines; past them only the end of the reply matters.
    for (std::size_t n = 1; n <= lines.size() + 1; n = n < 8 ? n + 1 : std::max(n + 1, lines.size())) {
        try {
            Expect(ReplyLine(lines, n) == lines[n - 1], "ReplyLine gave another line");
        } catch (const EReplyError &) {
            Expect(n > lines.size(), "an existing line was refused");
        }
        try {
            ReplyNumber(lines, n);
        } catch (const EReplyError &) {
        }
        const std::size_t rest = ReplyLinesFrom(lines, n).size();
        Expect(rest == (n <= lines.size() ? lines.size() - n + 1 : 0), "ReplyLinesFrom gave a wrong count");
    }
    return 0;
}
