#include "ServiceReply.h"

#include "TextRules.h"

namespace vantorel {

std::vector<std::string> SplitReplyLines(std::string_view body)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < body.size()) {
        const std::size_t end = body.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(body.substr(start));
            break;
        }
        lines.emplace_back(body.substr(start, end - start));
        start = end + (body[end] == '\r' && end + 1 < body.size() && body[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

TReplyWord ReplyWord(std::string_view line)
{
    const std::string word = AsciiUpper(line);
    if (word == "SUCCESS")
        return TReplyWord::Success;
    if (word == "MESSAGE")
        return TReplyWord::Message;
    if (word == "ERROR")
        return TReplyWord::Error;
    return TReplyWord::Other;
}

const std::string &ReplyLine(const std::vector<std::string> &lines, std::size_t n)
{
    if (n == 0 || n > lines.size())
        throw EReplyError("The reply of the service has no line " + std::to_string(n));
    return lines[n - 1];
}

std::int32_t ReplyNumber(const std::vector<std::string> &lines, std::size_t n)
{
    const std::string &line = ReplyLine(lines, n);
    const std::optional<std::int32_t> value = ParseDecimal(line);
    if (!value)
        throw EReplyError("Line " + std::to_string(n) + " of the reply is not a number: " + line);
    return *value;
}

std::vector<std::string> ReplyLinesFrom(const std::vector<std::string> &lines, std::size_t n)
{
    if (n == 0 || n > lines.size())
        return {};
    return {lines.begin() + static_cast<std::ptrdiff_t>(n - 1), lines.end()};
}

} // namespace vantorel
