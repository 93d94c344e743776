#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

// Letter case rules of the program: only the ASCII letters change case.
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);
bool SameTextAscii(std::string_view a, std::string_view b);

// A whole number as the program reads one from its files: optional leading blanks, an optional
// sign, then decimal digits, or hexadecimal digits introduced by "$", "x" or "0x" (taken as a
// 32-bit pattern, so "$FFFFFFFF" is -1). Anything else, trailing characters or a decimal value
// outside the 32-bit range included, is no number.
std::optional<std::int32_t> ParseWholeNumber(std::string_view text);
std::int32_t ParseWholeNumberOr(std::string_view text, std::int32_t fallback);
// A decimal whole number and nothing else: an optional sign and decimal digits within 32 bits.
std::optional<std::int32_t> ParseDecimal(std::string_view text);

// The extension of a name: from its last "." to the end, when that dot stands after the last
// "/" or ":"; empty when there is none.
std::string_view ExtractExtension(std::string_view name);
// The file name part of a path: what follows the last "/" or ":".
std::string_view ExtractFileNamePart(std::string_view path);
// The name less its extension.
std::string_view BaseName(std::string_view name);

// Whether a text can stand for a node: one path component, never empty, "." or "..", and
// without "/" or NUL, so no node can reach outside its parent's folder.
bool IsValidNodeName(std::string_view name);

} // namespace vantorel
