#include "core/text/Text.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "core/text/CodePage.h"

namespace quillbox::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at s[i]; returns the code point and advances i, or returns
// -1 (advancing i by one) when the bytes there are not well-formed UTF-8.
long decodeUtf8(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra = 0;
    char32_t cp = 0, min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        extra = 1; cp = b0 & 0x1F; min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        extra = 2; cp = b0 & 0x0F; min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        extra = 3; cp = b0 & 0x07; min = 0x10000;
    } else {
        ++i;
        return -1;
    }
    if (i + extra >= s.size()) {
        ++i;
        return -1;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return -1;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return -1;
    }
    i += extra + 1;
    return static_cast<long>(cp);
}

std::string sanitizeUtf8(std::string_view s, std::string_view replacement = "?") {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const long cp = decodeUtf8(s, i);
        if (cp < 0)
            out += replacement;
        else
            appendUtf8(out, static_cast<char32_t>(cp));
    }
    return out;
}

}  // namespace

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool hasNonAscii(std::string_view bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

bool isValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        // Runs of ASCII eight bytes at a time.
        while (i + 8 <= bytes.size()) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + i, 8);
            if (word & 0x8080808080808080ull)
                break;
            i += 8;
        }
        if (i >= bytes.size())
            break;
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        if (decodeUtf8(bytes, i) < 0)
            return false;
    }
    return true;
}

std::string toGb18030(std::string_view utf8) {
    if (!hasNonAscii(utf8))
        return std::string(utf8);
    if (!isValidUtf8(utf8))
        return codepage::utf8ToGb18030(sanitizeUtf8(utf8));
    return codepage::utf8ToGb18030(utf8);
}

std::string fromGb18030(std::string_view bytes) {
    if (!hasNonAscii(bytes))
        return std::string(bytes);
    return codepage::gb18030ToUtf8(bytes);
}

std::string replaceInvalidUtf8(std::string_view bytes) {
    if (isValidUtf8(bytes))
        return std::string(bytes);
    return sanitizeUtf8(bytes, "\xEF\xBF\xBD");
}

std::string quoteJson(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    const std::string valid = replaceInvalidUtf8(text);
    const std::string_view utf8 = valid;
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        switch (c) {
        case '"': out += "\\\""; continue;
        case '\\': out += "\\\\"; continue;
        case '\b': out += "\\b"; continue;
        case '\t': out += "\\t"; continue;
        case '\n': out += "\\n"; continue;
        case '\f': out += "\\f"; continue;
        case '\r': out += "\\r"; continue;
        default: break;
        }
        if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else if (c == 0xE2 && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(utf8[i + 2]) & 0xFE) == 0xA8) {
            // U+2028 and U+2029 end a line inside an older engine's string literal.
            out += static_cast<unsigned char>(utf8[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
    return out;
}

std::string decodeFileText(std::string_view bytes) {
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (bytes.substr(0, 3) == bom && isValidUtf8(bytes.substr(3)))
        return std::string(bytes.substr(3));
    if (hasNonAscii(bytes) && isValidUtf8(bytes))
        return std::string(bytes);
    return fromGb18030(bytes);
}

std::size_t gbkLength(std::string_view utf8) {
    if (!hasNonAscii(utf8))
        return utf8.size();
    return toGb18030(utf8).size();
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        long cp = decodeUtf8(utf8, i);
        if (cp < 0)
            cp = kReplacement;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() + utf16.size() / 2);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string escapeControls(std::string_view utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            const auto d = static_cast<unsigned char>(utf8[++i]);
            out += "\\u00";
            out += kHex[d >> 4];
            out += kHex[d & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace quillbox::text
