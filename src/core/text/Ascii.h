#pragma once
// ASCII-only helpers for protocol text (HTTP headers, cookie attributes): letters compare
// without case, nothing else is touched, so GB18030 or UTF-8 bytes pass through unchanged.
#include <cstddef>
#include <string>
#include <string_view>

namespace quillbox::text {

std::string lowerAscii(std::string_view text);
bool equalsNoCaseAscii(std::string_view a, std::string_view b);
// The first place at or after `from` where `needle` occurs, letters compared without case.
std::size_t findNoCaseAscii(std::string_view text, std::string_view needle, std::size_t from = 0);
bool startsWithNoCaseAscii(std::string_view text, std::string_view prefix);
// Without spaces and tabs at both ends.
std::string_view trimBlanks(std::string_view text);
// An HTTP token (RFC 9110 5.6.2): one or more of letters, digits and !#$%&'*+-.^_`|~.
bool isHttpToken(std::string_view text);
// True when the text holds CR, LF or NUL: it cannot be one header line.
bool hasLineBreakOrNul(std::string_view text);

}  // namespace quillbox::text
