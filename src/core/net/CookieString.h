#pragma once
// The object's cookie string for cookie mode 1: "; " followed by entries, each
// "name=value;" and one space, so "; " + name + "=" finds an entry and the Cookie header
// is the string without its first and last two bytes. All texts here are wire bytes.
#include <string>
#include <string_view>

namespace quillbox::net {

inline constexpr std::string_view kEmptyCookieString = "; ";

// Merges every "Set-Cookie:" of a raw response header block (name found without regard to
// case), in order. The entry is the text after the colon up to and including the first
// ";" on its line (a ";" is supplied when the line has none), leading ASCII and full-width
// spaces dropped. A known name takes the new entry in place; a new name is appended. An
// entry whose value is "deleted" (in the three usual spellings) removes the known entry
// and is otherwise ignored. Returns true when the string changed.
bool mergeSetCookieHeaders(std::string& cookieString, std::string_view rawHeaders);

// Merges "name=value; name2=value2" pairs: leading spaces dropped, pairs without "=" or
// without a name skipped, a known name taking the new value, a new one appended.
bool mergeCookiePairs(std::string& cookieString, std::string_view pairs);

// The value of the Cookie header for the string: "a=1; b=2" (empty for no entries).
std::string cookieHeaderValue(std::string_view cookieString);

}  // namespace quillbox::net
