#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vantorel {

// The reply of the service: lines of text whose first line is a status word and whose second is
// the payload.
enum class TReplyWord { Success, Message, Error, Other };

// Lines split at CR, LF or CR LF; a final line break adds no empty line; nothing is trimmed.
std::vector<std::string> SplitReplyLines(std::string_view body);

// The status word of a first line, compared after upper-casing its ASCII letters.
TReplyWord ReplyWord(std::string_view line);

// A reply with fewer lines than the exchange reads, or a value that is no number.
class EReplyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Line n (counted from 1); raises EReplyError when the reply is shorter.
const std::string &ReplyLine(const std::vector<std::string> &lines, std::size_t n);
// Line n as a decimal integer (optional sign, decimal digits, 32 bits); raises EReplyError.
std::int32_t ReplyNumber(const std::vector<std::string> &lines, std::size_t n);
// The lines from line n on (none when the reply is shorter).
std::vector<std::string> ReplyLinesFrom(const std::vector<std::string> &lines, std::size_t n);

// The code words of the service.
inline constexpr const char *kWrongLoginOrPassword = "WRONG_LOGIN_OR_PASSWORD";
inline constexpr const char *kUserIsNotConfirmed = "USER_IS_NOT_CONFIRMED";

} // namespace vantorel
