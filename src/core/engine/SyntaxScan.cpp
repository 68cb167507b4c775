#include "core/engine/SyntaxScan.h"

#include <array>

namespace quillbox::engine {
namespace {

bool isIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Words after which a slash starts a regular expression rather than a division.
bool keywordBeforeExpression(std::string_view word) {
    static constexpr std::array<std::string_view, 14> words = {
        "return", "typeof", "instanceof", "in", "of", "new", "delete", "void",
        "throw", "case", "do", "else", "yield", "extends"};
    for (std::string_view w : words)
        if (w == word)
            return true;
    return false;
}

// Words that only newer syntax needs, or that start it (`catch {`, `import(`, class fields).
bool laterWord(std::string_view word) {
    return word == "async" || word == "await" || word == "class" || word == "import";
}

class Scanner {
public:
    explicit Scanner(std::string_view code) : s_(code) {}

    bool run() {
        // U+2028 and U+2029 may stand in strings only since ES2019.
        if (s_.find("\xE2\x80\xA8") != std::string_view::npos || s_.find("\xE2\x80\xA9") != std::string_view::npos)
            return true;
        if (s_.substr(0, 2) == "#!")
            return true;
        while (i_ < s_.size()) {
            if (step())
                return true;
        }
        return false;
    }

private:
    char at(std::size_t k) const { return k < s_.size() ? s_[k] : '\0'; }

    // One token; true when it may be newer syntax or the scan lost its way.
    bool step() {
        const char c = s_[i_];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++i_;
            return false;
        }
        if (c == '/' && at(i_ + 1) == '/') {
            while (i_ < s_.size() && s_[i_] != '\n')
                ++i_;
            return false;
        }
        if (c == '/' && at(i_ + 1) == '*') {
            const std::size_t end = s_.find("*/", i_ + 2);
            if (end == std::string_view::npos)
                return true;
            i_ = end + 2;
            return false;
        }
        if (c == '\'' || c == '"')
            return string(c);
        if (c == '`' || c == '#' || c == '\\')
            return true;  // templates, private names, escaped identifiers
        if (isDigit(c) || (c == '.' && isDigit(at(i_ + 1))))
            return number();
        if (isIdentifierChar(c))
            return word();
        if (c == '/')
            return slash();
        // Punctuators: ... ?. ?? ||= &&=
        if (c == '.' && at(i_ + 1) == '.' && at(i_ + 2) == '.')
            return true;
        if (c == '?' && (at(i_ + 1) == '?' || (at(i_ + 1) == '.' && !isDigit(at(i_ + 2)))))
            return true;
        if ((c == '|' || c == '&') && at(i_ + 1) == c && at(i_ + 2) == '=')
            return true;
        if (c == '{' && lastWord_ == "catch")
            return true;  // catch without a binding
        lastSignificant_ = c;
        lastWord_ = {};
        ++i_;
        return false;
    }

    bool string(char quote) {
        for (++i_; i_ < s_.size(); ++i_) {
            const char c = s_[i_];
            if (c == '\\') {
                ++i_;
            } else if (c == quote) {
                ++i_;
                lastSignificant_ = 'a';  // a value: a slash after it divides
                lastWord_ = {};
                return false;
            } else if (c == '\n') {
                return true;  // not a string after all
            }
        }
        return true;
    }

    bool number() {
        const std::size_t start = i_;
        while (i_ < s_.size() && (isIdentifierChar(s_[i_]) || s_[i_] == '.'))
            ++i_;
        const std::string_view text = s_.substr(start, i_ - start);
        lastSignificant_ = 'a';
        lastWord_ = {};
        // 1_000 and 10n
        return text.find('_') != std::string_view::npos || text.back() == 'n';
    }

    bool word() {
        const std::size_t start = i_;
        while (i_ < s_.size() && isIdentifierChar(s_[i_]))
            ++i_;
        const std::string_view text = s_.substr(start, i_ - start);
        if (laterWord(text))
            return true;
        lastWord_ = text;
        lastSignificant_ = keywordBeforeExpression(text) ? '(' : 'a';
        return false;
    }

    // A division after a value, else a regular expression literal, which must end on its line.
    bool slash() {
        const char before = lastSignificant_;
        const bool division = before == 'a' || before == ')' || before == ']';
        if (division || before == '}') {
            // After `}` a slash may start a regular expression too: be sure it is a division
            // by finding no quote later on the line (a misread pattern could open a string).
            if (!division && restOfLineHasQuote(i_ + 1))
                return true;
            if (divisionLooksLikePattern(i_ + 1))
                return true;
            ++i_;
            if (at(i_) == '=')
                ++i_;
            lastSignificant_ = '/';
            lastWord_ = {};
            return false;
        }
        return regularExpression();
    }

    // A regular expression misread as a division (`if (x) /a(?<n>b)/.test(s)`) shows as a
    // second slash on the line with pattern syntax or newer flags around it.
    bool divisionLooksLikePattern(std::size_t from) const {
        std::size_t k = from;
        while (k < s_.size() && s_[k] != '\n' && s_[k] != '/') {
            if (s_[k] == '\\' || (s_[k] == '(' && at(k + 1) == '?'))
                return true;
            ++k;
        }
        if (at(k) != '/')
            return false;
        for (++k; k < s_.size() && isIdentifierChar(s_[k]); ++k)
            if (s_[k] == 's' || s_[k] == 'd' || s_[k] == 'v')
                return true;
        return false;
    }

    bool restOfLineHasQuote(std::size_t from) const {
        for (std::size_t k = from; k < s_.size() && s_[k] != '\n'; ++k)
            if (s_[k] == '\'' || s_[k] == '"' || s_[k] == '`')
                return true;
        return false;
    }

    bool regularExpression() {
        bool inClass = false;
        for (++i_; i_ < s_.size(); ++i_) {
            const char c = s_[i_];
            if (c == '\n')
                return true;  // not a regular expression after all
            if (c == '\\') {
                const char next = at(i_ + 1);
                if (next == 'k' || next == 'p' || next == 'P')
                    return true;  // \k<name>, \p{...}
                ++i_;
            } else if (inClass) {
                inClass = c != ']';
            } else if (c == '[') {
                inClass = true;
            } else if (c == '(' && at(i_ + 1) == '?' && at(i_ + 2) != ':' && at(i_ + 2) != '=' && at(i_ + 2) != '!') {
                return true;  // (?<= (?<! (?<name> and modifiers
            } else if (c == '/') {
                ++i_;
                while (i_ < s_.size() && isIdentifierChar(s_[i_])) {
                    const char flag = s_[i_++];
                    if (flag == 's' || flag == 'd' || flag == 'v')
                        return true;
                }
                lastSignificant_ = 'a';
                lastWord_ = {};
                return false;
            }
        }
        return true;
    }

    std::string_view s_;
    std::size_t i_ = 0;
    char lastSignificant_ = '(';  // the start of the code expects an expression
    std::string_view lastWord_;
};

}  // namespace

bool mayUseSyntaxAfterEs2017(std::string_view code) { return Scanner(code).run(); }

}  // namespace quillbox::engine
