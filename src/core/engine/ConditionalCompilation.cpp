#include "core/engine/ConditionalCompilation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

namespace quillbox::engine {
namespace {

// A conditional-compilation value: a number, or a boolean (printed as true/false).
struct CcValue {
    double number = std::nan("");
    bool boolean = false;

    static CcValue of(bool b) { return {b ? 1.0 : 0.0, true}; }
    bool truthy() const { return number != 0 && !std::isnan(number); }
    std::string text() const {
        if (boolean)
            return number != 0 ? "true" : "false";
        if (std::isnan(number))
            return "NaN";
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.15g", number);
        return buffer;
    }
};

// The variables JScript 5.8 on 32-bit Windows defines; any other is NaN (JScript's
// documentation, Conditional Compilation Variables).
std::map<std::string, CcValue> predefined() {
    return {{"_jscript", CcValue::of(true)},
            {"_jscript_version", {5.8, false}},
            {"_jscript_build", {16385, false}},
            {"_win32", CcValue::of(true)},
            {"_x86", CcValue::of(true)},
            {"_microsoft", CcValue::of(true)}};
}

bool identifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
}

// A condition or an @set value: JavaScript's operators over numbers and booleans.
class Expression {
public:
    Expression(const std::string& text, const std::map<std::string, CcValue>& vars) : s_(text), vars_(vars) {}

    std::optional<CcValue> evaluate() {
        CcValue v = binary(0);
        skipSpace();
        if (failed_ || at_ != s_.size())
            return std::nullopt;
        return v;
    }

private:
    void skipSpace() {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\r' || s_[at_] == '\n'))
            ++at_;
    }
    bool take(const char* op) {
        skipSpace();
        const std::size_t n = std::strlen(op);
        if (s_.compare(at_, n, op) != 0)
            return false;
        at_ += n;
        return true;
    }
    static int precedence(const std::string& op) {
        static const std::map<std::string, int> table = {
            {"||", 1}, {"&&", 2}, {"|", 3}, {"^", 4}, {"&", 5}, {"==", 6}, {"!=", 6}, {"===", 6}, {"!==", 6},
            {"<", 7}, {">", 7}, {"<=", 7}, {">=", 7}, {"+", 8}, {"-", 8}, {"*", 9}, {"/", 9}, {"%", 9}};
        auto it = table.find(op);
        return it == table.end() ? -1 : it->second;
    }
    std::string peekOperator() {
        skipSpace();
        for (const char* op : {"===", "!==", "==", "!=", "<=", ">=", "||", "&&", "<", ">", "|", "^", "&", "+", "-",
                               "*", "/", "%"})
            if (s_.compare(at_, std::strlen(op), op) == 0)
                return op;
        return "";
    }
    CcValue binary(int minimum) {
        CcValue left = unary();
        for (;;) {
            const std::string op = peekOperator();
            const int p = precedence(op);
            if (op.empty() || p <= minimum)
                return left;
            at_ += op.size();
            const CcValue right = binary(p);
            left = apply(op, left, right);
        }
    }
    static CcValue apply(const std::string& op, CcValue a, CcValue b) {
        const double x = a.number, y = b.number;
        if (op == "||") return a.truthy() ? a : b;
        if (op == "&&") return a.truthy() ? b : a;
        if (op == "==" || op == "===") return CcValue::of(x == y && (op == "==" || a.boolean == b.boolean));
        if (op == "!=" || op == "!==") return CcValue::of(!(x == y && (op == "!=" || a.boolean == b.boolean)));
        if (op == "<") return CcValue::of(x < y);
        if (op == ">") return CcValue::of(x > y);
        if (op == "<=") return CcValue::of(x <= y);
        if (op == ">=") return CcValue::of(x >= y);
        if (op == "+") return {x + y, false};
        if (op == "-") return {x - y, false};
        if (op == "*") return {x * y, false};
        if (op == "/") return {x / y, false};
        if (op == "%") return {std::fmod(x, y), false};
        auto bits = [](double d) { return std::isfinite(d) ? static_cast<std::int32_t>(static_cast<std::int64_t>(d)) : 0; };
        if (op == "|") return {static_cast<double>(bits(x) | bits(y)), false};
        if (op == "^") return {static_cast<double>(bits(x) ^ bits(y)), false};
        return {static_cast<double>(bits(x) & bits(y)), false};
    }
    CcValue unary() {
        if (take("!")) return CcValue::of(!unary().truthy());
        if (take("-")) return {-unary().number, false};
        if (take("+")) return {unary().number, false};
        if (take("(")) {
            CcValue v = binary(0);
            if (!take(")"))
                failed_ = true;
            return v;
        }
        skipSpace();
        const bool variable = at_ < s_.size() && s_[at_] == '@';
        if (variable)
            ++at_;
        const std::size_t start = at_;
        while (at_ < s_.size() && (identifierChar(s_[at_]) || (!variable && s_[at_] == '.')))
            ++at_;
        const std::string word = s_.substr(start, at_ - start);
        if (word.empty()) {
            failed_ = true;
            return {};
        }
        if (variable) {
            auto it = vars_.find(word);
            return it == vars_.end() ? CcValue{} : it->second;
        }
        if (word == "true" || word == "false")
            return CcValue::of(word == "true");
        char* end = nullptr;
        const double n = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')
                             ? static_cast<double>(std::strtoll(word.c_str() + 2, &end, 16))
                             : std::strtod(word.c_str(), &end);
        if (!end || *end != '\0')
            return {};  // any other name: NaN, as an undefined variable
        return {n, false};
    }

    const std::string& s_;
    const std::map<std::string, CcValue>& vars_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

class Preprocessor {
public:
    explicit Preprocessor(const std::string& in) : in_(in), vars_(predefined()) { out_.reserve(in.size()); }

    std::optional<std::string> run() {
        const std::size_t n = in_.size();
        while (i_ < n) {
            const char c = in_[i_];
            const char next = i_ + 1 < n ? in_[i_ + 1] : '\0';
            if (c == '\'' || c == '"') {
                std::size_t j = i_ + 1;
                while (j < n && in_[j] != c && in_[j] != '\n') {
                    if (in_[j] == '\\')
                        ++j;
                    ++j;
                }
                code(i_, std::min(j + 1, n), ')');
            } else if (c == '/' && next == '*') {
                if (i_ + 2 < n && in_[i_ + 2] == '@' && (active_ || in_.compare(i_ + 3, 5, "cc_on") == 0)) {
                    blank(i_, i_ + 2);  // the '@' is read next, as a directive or alone
                    inComment_ = true;
                    continue;
                }
                const std::size_t end = in_.find("*/", i_ + 2);
                copy(i_, end == std::string::npos ? n : end + 2);
            } else if (c == '/' && next == '/') {
                if (i_ + 2 < n && in_[i_ + 2] == '@' && active_) {
                    blank(i_, i_ + 3);
                    inLine_ = true;
                    continue;
                }
                std::size_t end = in_.find_first_of("\r\n", i_);
                copy(i_, end == std::string::npos ? n : end);
            } else if (c == '/' && regexpMayFollow()) {
                std::size_t j = i_ + 1;
                bool inClass = false;
                while (j < n && in_[j] != '\n' && (inClass || in_[j] != '/')) {
                    if (in_[j] == '\\')
                        ++j;
                    else if (in_[j] == '[')
                        inClass = true;
                    else if (in_[j] == ']')
                        inClass = false;
                    ++j;
                }
                ++j;
                while (j < n && identifierChar(in_[j]))
                    ++j;
                code(std::min(i_, n), std::min(j, n), ')');
            } else if (c == '@') {
                if (!directive())
                    return std::nullopt;
            } else if (c == '\n' || c == '\r') {
                inLine_ = false;
                copy(i_, i_ + 1);
            } else if (identifierChar(c)) {
                std::size_t j = i_;
                while (j < n && identifierChar(in_[j]))
                    ++j;
                lastWord_ = in_.substr(i_, j - i_);
                code(i_, j, 'a');
            } else if (c == ' ' || c == '\t') {
                copy(i_, i_ + 1);
            } else {
                code(i_, i_ + 1, c);
            }
        }
        if (!stack_.empty())
            return std::nullopt;
        return out_;
    }

private:
    struct Branch {
        bool parentLive;
        bool taken;
        bool live;
    };

    bool live() const { return stack_.empty() || stack_.back().live; }

    // Copies [from, to) when the current branch is in, else blanks it; moves past it.
    void copy(std::size_t from, std::size_t to) {
        if (live())
            out_.append(in_, from, to - from);
        else
            blank(from, to);
        i_ = to;
    }
    // As copy, for code: remembers its last character for the regexp test.
    void code(std::size_t from, std::size_t to, char last) {
        copy(from, to);
        if (last != 'a')
            lastWord_.clear();
        last_ = last;
    }
    // One space per character (UTF-8 continuation bytes dropped); line ends kept.
    void blank(std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && k < in_.size(); ++k) {
            const unsigned char b = static_cast<unsigned char>(in_[k]);
            if (b == '\n' || b == '\r')
                out_ += static_cast<char>(b);
            else if ((b & 0xC0) != 0x80)
                out_ += ' ';
        }
        i_ = std::min(to, in_.size());
    }
    bool regexpMayFollow() const {
        static const std::string before = "(,=:[!&|?{};~+-*%<>^";
        if (last_ == '\0' || before.find(last_) != std::string::npos)
            return true;
        static const char* const words[] = {"return", "typeof", "case", "do", "else", "in", "new", "delete",
                                            "void", "throw", "instanceof"};
        if (last_ == 'a')
            for (const char* w : words)
                if (lastWord_ == w)
                    return true;
        return false;
    }
    // The text of a parenthesised condition starting at `from` (spaces allowed before it);
    // `end` gets the position after its ')'.
    std::optional<std::string> parenthesised(std::size_t from, std::size_t& end) const {
        std::size_t k = from;
        while (k < in_.size() && (in_[k] == ' ' || in_[k] == '\t'))
            ++k;
        if (k >= in_.size() || in_[k] != '(')
            return std::nullopt;
        int depth = 0;
        for (std::size_t j = k; j < in_.size(); ++j) {
            if (in_[j] == '(')
                ++depth;
            else if (in_[j] == ')' && --depth == 0) {
                end = j + 1;
                return in_.substr(k, end - k);
            }
        }
        return std::nullopt;
    }

    // At '@': a directive, the end of a comment, or a variable. False: unreadable.
    bool directive() {
        const std::size_t n = in_.size();
        if (inComment_ && in_.compare(i_, 3, "@*/") == 0) {
            blank(i_, i_ + 3);
            inComment_ = false;
            return true;
        }
        std::size_t j = i_ + 1;
        while (j < n && identifierChar(in_[j]))
            ++j;
        const std::string word = in_.substr(i_ + 1, j - i_ - 1);
        if (word == "cc_on") {
            active_ = true;
            blank(i_, j);
            return true;
        }
        if (word == "if" || word == "elif") {
            std::size_t end = 0;
            const auto condition = parenthesised(j, end);
            if (!condition)
                return false;
            const auto value = Expression(*condition, vars_).evaluate();
            if (!value)
                return false;
            if (word == "if") {
                const bool parent = live();
                stack_.push_back({parent, parent && value->truthy(), parent && value->truthy()});
            } else {
                if (stack_.empty())
                    return false;
                Branch& b = stack_.back();
                b.live = b.parentLive && !b.taken && value->truthy();
                b.taken = b.taken || b.live;
            }
            active_ = true;
            blank(i_, end);
            return true;
        }
        if (word == "else" || word == "end") {
            if (stack_.empty())
                return false;
            blank(i_, j);
            if (word == "end") {
                stack_.pop_back();
            } else {
                Branch& b = stack_.back();
                b.live = b.parentLive && !b.taken;
                b.taken = true;
            }
            return true;
        }
        if (word == "set") {
            // @set @name = expression, to the end of the line or of the comment
            std::size_t k = j;
            while (k < n && (in_[k] == ' ' || in_[k] == '\t'))
                ++k;
            if (k >= n || in_[k] != '@')
                return false;
            std::size_t nameEnd = k + 1;
            while (nameEnd < n && identifierChar(in_[nameEnd]))
                ++nameEnd;
            const std::string name = in_.substr(k + 1, nameEnd - k - 1);
            std::size_t eq = in_.find('=', nameEnd);
            std::size_t end = in_.find_first_of("\r\n", nameEnd);
            const std::size_t closing = in_.find("@*/", nameEnd);
            if (end == std::string::npos || (closing != std::string::npos && closing < end))
                end = closing == std::string::npos ? n : closing;
            if (name.empty() || eq == std::string::npos || eq > end)
                return false;
            const auto value = Expression(in_.substr(eq + 1, end - eq - 1), vars_).evaluate();
            if (!value)
                return false;
            if (live())
                vars_[name] = *value;
            active_ = true;
            blank(i_, end);
            return true;
        }
        if (active_ && !word.empty()) {
            // A variable: its value in its place, padded to the same width.
            if (!live()) {
                blank(i_, j);
                return true;
            }
            auto it = vars_.find(word);
            std::string value = it == vars_.end() ? "NaN" : it->second.text();
            if (value.size() < j - i_)
                value.append(j - i_ - value.size(), ' ');
            out_ += value;
            i_ = j;
            last_ = 'a';
            lastWord_.clear();
            return true;
        }
        if (inComment_ || inLine_) {
            blank(i_, i_ + 1);  // the '@' that opens a conditional comment's text
            return true;
        }
        copy(i_, i_ + 1);  // not ours: the engine reports it
        return true;
    }

    const std::string& in_;
    std::string out_;
    std::size_t i_ = 0;
    bool active_ = false;
    bool inComment_ = false;
    bool inLine_ = false;
    char last_ = '\0';
    std::string lastWord_;
    std::vector<Branch> stack_;
    std::map<std::string, CcValue> vars_;
};

}  // namespace

std::string applyConditionalCompilation(const std::string& code) {
    if (code.find("@cc_on") == std::string::npos && code.find("@if") == std::string::npos &&
        code.find("@set") == std::string::npos)
        return code;
    auto result = Preprocessor(code).run();
    return result ? *result : code;
}

}  // namespace quillbox::engine
