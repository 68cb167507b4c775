#include "core/engine/SyntaxScan.h"

#include <array>
#include <vector>

namespace quillbox::engine {
namespace {

bool isIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

template <std::size_t N>
bool oneOf(std::string_view word, const std::array<std::string_view, N>& words) {
    for (std::string_view w : words)
        if (w == word)
            return true;
    return false;
}

// Words after which a slash starts a regular expression rather than a division.
bool keywordBeforeExpression(std::string_view word) {
    static constexpr std::array<std::string_view, 14> words = {
        "return", "typeof", "instanceof", "in", "of", "new", "delete", "void",
        "throw", "case", "do", "else", "yield", "extends"};
    return oneOf(word, words);
}

// Words that only newer syntax needs, or that start it (`catch {`, `import(`, class fields).
bool laterWord(std::string_view word) {
    return word == "async" || word == "await" || word == "class" || word == "import";
}

// Words that ES2015 and later give a meaning JScript's language lacks: declarations, `for ... of`,
// generators, classes and modules.
bool laterThanEs3Word(std::string_view word) {
    static constexpr std::array<std::string_view, 6> words = {"let", "const", "of", "yield", "super", "export"};
    return oneOf(word, words);
}

// JScript's reserved words (Microsoft's JScript reference): they cannot name a property after a
// dot or in an object literal. The syntax gate's list.
bool jscriptReserved(std::string_view word) {
    static constexpr std::array<std::string_view, 36> words = {
        "break",  "case",   "catch",  "class",  "const",   "continue",   "debugger", "default", "delete",
        "do",     "else",   "enum",   "export", "extends", "false",      "finally",  "for",     "function",
        "if",     "import", "in",     "instanceof", "new", "null",       "return",   "super",   "switch",
        "this",   "throw",  "true",   "try",    "typeof",  "var",        "void",     "while",   "with"};
    return oneOf(word, words);
}

// Words after which `{` opens a block, not an object literal.
bool wordBeforeBlock(std::string_view word) {
    return word == "else" || word == "do" || word == "try" || word == "finally";
}

// What an open bracket is, as far as ES3's syntax cares.
enum class Bracket : unsigned char {
    Block,   // statements (also the code's top level and function bodies)
    Paren,   // a parenthesised expression, a call's arguments, a statement's head
    Params,  // a function's parameters or catch's binding: names and commas only
    Member,  // a computed member access
    Array,   // an array literal
    Object,  // an object literal
};

// Where an object literal stands: before a key, after it, or in its value.
enum class Slot : unsigned char { Key, AfterKey, Value };

struct Open {
    Bracket kind;
    Slot slot = Slot::Key;
    bool afterComma = false;  // an object's or a parameter list's last token was a comma
    bool expectName = true;   // parameters: a name must come next
    int conditionals = 0;     // `?` waiting for their `:`
};

class Scanner {
public:
    Scanner(std::string_view code, bool es3) : s_(code), es3_(es3) { open_.push_back({Bracket::Block}); }

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
        // Brackets left open: the code is broken or the scan lost its way.
        return es3_ && open_.size() != 1;
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
        if (es3_ && es3Punctuator(c))
            return true;
        lastSignificant_ = c;
        lastWord_ = {};
        ++i_;
        return false;
    }

    bool string(char quote) {
        if (es3_ && es3Operand('s', {}))
            return true;
        for (++i_; i_ < s_.size(); ++i_) {
            const char c = s_[i_];
            if (c == '\\') {
                if (es3_ && at(i_ + 1) == 'u' && at(i_ + 2) == '{')
                    return true;  // \u{...}
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
        if (es3_ && es3Operand('n', {}))
            return true;
        const std::size_t start = i_;
        while (i_ < s_.size() && (isIdentifierChar(s_[i_]) || s_[i_] == '.'))
            ++i_;
        const std::string_view text = s_.substr(start, i_ - start);
        lastSignificant_ = 'a';
        lastWord_ = {};
        // 1_000 and 10n; before ES2015 also 0b1 and 0o7
        if (es3_ && text.size() > 1 && text[0] == '0' &&
            (text[1] == 'b' || text[1] == 'B' || text[1] == 'o' || text[1] == 'O'))
            return true;
        return text.find('_') != std::string_view::npos || text.back() == 'n';
    }

    bool word() {
        const std::size_t start = i_;
        while (i_ < s_.size() && isIdentifierChar(s_[i_]))
            ++i_;
        const std::string_view text = s_.substr(start, i_ - start);
        if (laterWord(text))
            return true;
        if (es3_ && es3Operand('w', text))
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
            if (es3_ && es3Punctuator('/'))
                return true;
            ++i_;
            if (at(i_) == '=')
                ++i_;
            lastSignificant_ = '/';
            lastWord_ = {};
            return false;
        }
        if (es3_ && es3Operand('r', {}))
            return true;
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
            if (laterFlag(s_[k]))
                return true;
        return false;
    }

    bool restOfLineHasQuote(std::size_t from) const {
        for (std::size_t k = from; k < s_.size() && s_[k] != '\n'; ++k)
            if (s_[k] == '\'' || s_[k] == '"' || s_[k] == '`')
                return true;
        return false;
    }

    // Flags after ES2017 (s d v); before ES2015 also y and u.
    bool laterFlag(char flag) const {
        return flag == 's' || flag == 'd' || flag == 'v' || (es3_ && (flag == 'y' || flag == 'u'));
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
                    if (laterFlag(s_[i_++]))
                        return true;
                }
                lastSignificant_ = 'a';
                lastWord_ = {};
                return false;
            }
        }
        return true;
    }

    // --- ES3: the brackets and object literals, token by token -------------------------------
    // Called at the start of each token, while lastSignificant_ and lastWord_ still describe the
    // token before it.

    // What the token before left pending, settled by this token. True for newer syntax.
    bool settlePending(char kind, std::string_view text, char punctuator) {
        const bool closedLiteral = closedLiteral_, afterVar = afterVar_, afterDot = afterDot_;
        const int function = function_;
        closedLiteral_ = afterVar_ = afterDot_ = false;
        function_ = 0;
        if (closedLiteral && ((punctuator == '=' && at(i_ + 1) != '=') || text == "in"))
            return true;  // [a, b] = ..., ({a} = ...), for ([k, v] in o)
        if (afterVar && (punctuator == '[' || punctuator == '{'))
            return true;  // var [a] = ..., var {a} = ...
        if (afterDot && kind == 'w' && jscriptReserved(text))
            return true;  // o.default
        if (function != 0) {
            if (punctuator == '*')
                return true;  // function*
            if (function == 1 && kind == 'w')
                function_ = 2;  // the function's name; its parameters follow
            else if (punctuator == '(')
                parameters_ = true;
        }
        return false;
    }

    // Inside an object literal, before and after a key. True for newer syntax.
    bool objectKey(Open& top, char kind, std::string_view text, char punctuator) {
        if (top.slot == Slot::AfterKey) {
            // Methods, shorthand properties, getters and setters have no colon here.
            if (punctuator != ':')
                return true;
            top.slot = Slot::Value;
            colonBeforeExpression_ = true;
            return false;
        }
        if (punctuator == '}')
            return top.afterComma;  // a trailing comma
        if (kind == 'w' && jscriptReserved(text))
            return true;
        if (kind != 'w' && kind != 's' && kind != 'n')
            return true;  // computed names, generator methods, spread
        top.slot = Slot::AfterKey;
        return false;
    }

    bool es3Operand(char kind, std::string_view text) {
        if (settlePending(kind, text, '\0'))
            return true;
        Open& top = open_.back();
        if (top.kind == Bracket::Params) {
            if (kind != 'w' || !top.expectName)
                return true;  // default values and patterns in parameters
            top.expectName = false;
            top.afterComma = false;
            return false;
        }
        if (top.kind == Bracket::Object && top.slot != Slot::Value)
            return objectKey(top, kind, text, '\0');
        if (kind == 'w') {
            if (laterThanEs3Word(text))
                return true;
            if (text == "var")
                afterVar_ = true;
            else if (text == "function")
                function_ = 1;
        }
        return false;
    }

    bool es3Punctuator(char c) {
        const char next = at(i_ + 1);
        if ((c == '=' && next == '>') || (c == '*' && next == '*'))
            return true;  // arrows, **
        if (c == '.' && lastWord_ == "new")
            return true;  // new.target
        const bool parameters = lastWord_ == "catch";
        if (settlePending('p', {}, c))
            return true;
        const bool opensParameters = parameters || parameters_;
        parameters_ = false;
        Open& top = open_.back();
        if (top.kind == Bracket::Params) {
            if (c == ',' && !top.expectName) {
                top.expectName = true;
                top.afterComma = true;
                return false;
            }
            if (c == ')' && !top.afterComma) {
                open_.pop_back();
                return false;
            }
            return true;
        }
        if (top.kind == Bracket::Object && top.slot != Slot::Value) {
            if (objectKey(top, 'p', {}, c))
                return true;
            if (c == '}')
                close(Bracket::Object);
            return false;
        }
        switch (c) {
        case '.':
            afterDot_ = true;
            return false;
        case '?':
            ++top.conditionals;
            return false;
        case ':':
            if (top.kind == Bracket::Object && top.conditionals == 0)
                return true;  // a colon the scan cannot place
            colonBeforeExpression_ = top.conditionals > 0;
            if (colonBeforeExpression_)
                --top.conditionals;
            return false;
        case ',':
            if (top.kind == Bracket::Object) {
                top.slot = Slot::Key;
                top.afterComma = true;
            }
            return false;
        case '(':
            open_.push_back({opensParameters ? Bracket::Params : Bracket::Paren});
            return false;
        case '[':
            open_.push_back({afterValue() ? Bracket::Member : Bracket::Array});
            return false;
        case '{':
            open_.push_back({opensBlock() ? Bracket::Block : Bracket::Object});
            return false;
        case ')':
            // f(a, b,) is ES2017's
            return lastSignificant_ == ',' || !close(Bracket::Paren);
        case ']':
            return !close(top.kind == Bracket::Member ? Bracket::Member : Bracket::Array);
        case '}':
            return lastSignificant_ == ',' || !close(top.kind == Bracket::Object ? Bracket::Object : Bracket::Block);
        default:
            return false;
        }
    }

    // A value just ended: what follows `[` is a member access.
    bool afterValue() const {
        const char last = lastSignificant_;
        return last == 'a' || last == ')' || last == ']' || (last == '}' && lastClosed_ == Bracket::Object);
    }

    // Whether `{` here opens a block (statements) rather than an object literal (an expression).
    bool opensBlock() const {
        if (wordBeforeBlock(lastWord_))
            return true;
        switch (lastSignificant_) {
        case ';':
        case '{':
        case '}':
        case ')':
        case 'a':
            return true;
        case ':':
            return !colonBeforeExpression_;  // after a label or `case x:`
        default:
            return false;
        }
    }

    // Closes the innermost bracket if it is of this kind; false when the brackets do not match.
    bool close(Bracket kind) {
        if (open_.size() < 2 || open_.back().kind != kind)
            return false;
        open_.pop_back();
        lastClosed_ = kind;
        closedLiteral_ = kind == Bracket::Array || kind == Bracket::Object;
        return true;
    }

    std::string_view s_;
    bool es3_;
    std::size_t i_ = 0;
    char lastSignificant_ = ';';  // the start of the code: a statement, so `{` is a block, `/` a pattern
    std::string_view lastWord_;

    // ES3 only
    std::vector<Open> open_;
    Bracket lastClosed_ = Bracket::Block;
    bool closedLiteral_ = false;       // an array or object literal just closed
    bool afterVar_ = false;            // `var` just came
    bool afterDot_ = false;            // a member name comes next
    int function_ = 0;                 // 1 after `function`, 2 after its name
    bool parameters_ = false;          // the next `(` opens parameters
    bool colonBeforeExpression_ = false;  // the last `:` was a conditional's or an object key's
};

}  // namespace

bool mayUseSyntaxAfterEs2017(std::string_view code) { return Scanner(code, false).run(); }

bool mayUseSyntaxAfterEs3(std::string_view code) { return Scanner(code, true).run(); }

}  // namespace quillbox::engine
