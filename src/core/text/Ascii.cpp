#include "core/text/Ascii.h"

#include <algorithm>

namespace quillbox::text {
namespace {
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool isAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
}  // namespace

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = lower(c);
    return out;
}

bool equalsNoCaseAscii(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lower(x) == lower(y);
           });
}

std::size_t findNoCaseAscii(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.size() > text.size())
        return std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i)
        if (equalsNoCaseAscii(text.substr(i, needle.size()), needle))
            return i;
    return std::string_view::npos;
}

bool startsWithNoCaseAscii(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCaseAscii(text.substr(0, prefix.size()), prefix);
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool isHttpToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return isAlnum(c) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
    });
}

bool hasLineBreakOrNul(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

}  // namespace quillbox::text
