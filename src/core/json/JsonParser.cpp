// The JSON reader: tolerant of single quotes, bare keys and trailing commas, iterative
// (an explicit stack of open containers), and keeping each number's text as written.
#include <charconv>
#include <string>
#include <vector>

#include "core/json/JsonNode.h"

namespace quillbox::json_detail {

namespace {

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// Around the root value a NUL counts as space too (texts padded by fixed-size buffers).
bool isOuterSpace(char16_t c) { return isSpace(c) || c == 0; }

bool endsBareToken(char16_t c) {
    return isOuterSpace(c) || c == u',' || c == u':' || c == u'{' || c == u'}' || c == u'[' ||
           c == u']' || c == u'"' || c == u'\'';
}

bool isHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

int hexValue(char16_t c) {
    if (c <= u'9')
        return c - u'0';
    if (c <= u'F')
        return c - u'A' + 10;
    return c - u'a' + 10;
}

enum State { kExpectKey = 1, kExpectValue = 2, kExpectSeparator = 3 };

struct Frame {
    Node* container;
    State state;
};

struct NumberToken {
    JsonKind kind = JsonKind::Number;
    double number = 0;
    std::int64_t integer = 0;
};

// Optional sign, digits with at most one "." and at most one exponent (itself with an
// optional sign). Tokens with "." or an exponent are doubles; the rest are integers, read
// as such only at the top level (and only when they fit in 64 bits).
bool readNumber(std::u16string_view token, bool topLevel, NumberToken& result) {
    std::size_t k = 0;
    if (token[k] == u'+' || token[k] == u'-')
        ++k;
    bool dot = false, exponent = false, mantissaDigits = false, exponentDigits = false;
    for (; k < token.size(); ++k) {
        const char16_t c = token[k];
        if (c >= u'0' && c <= u'9') {
            (exponent ? exponentDigits : mantissaDigits) = true;
        } else if (c == u'.' && !dot && !exponent) {
            dot = true;
        } else if ((c == u'e' || c == u'E') && !exponent && mantissaDigits) {
            exponent = true;
            if (k + 1 < token.size() && (token[k + 1] == u'+' || token[k + 1] == u'-'))
                ++k;
        } else {
            return false;
        }
    }
    if (!mantissaDigits || (exponent && !exponentDigits))
        return false;

    std::string ascii;
    ascii.reserve(token.size());
    for (char16_t c : token.substr(token[0] == u'+' ? 1 : 0))
        ascii.push_back(static_cast<char>(c));
    const char* first = ascii.data();
    const char* last = first + ascii.size();
    if (!dot && !exponent) {
        std::int64_t value = 0;
        auto [end, error] = std::from_chars(first, last, value);
        if (error == std::errc() && end == last) {
            result.integer = value;
            result.number = static_cast<double>(value);
            result.kind = topLevel ? JsonKind::Integer : JsonKind::Number;
            return true;
        }
    }
    // Out of range gives the nearest representable value; the literal text stays exact.
    double value = 0;
    auto [end, error] = std::from_chars(first, last, value);
    if (end != last && error != std::errc::result_out_of_range)
        return false;
    result.kind = JsonKind::Number;
    result.number = value;
    return true;
}

class Parser {
public:
    Parser(Heap& heap, std::u16string_view text, bool unicodeEscape)
        : heap_(heap), s_(text), unicodeEscape_(unicodeEscape) {}

    std::size_t position() const { return pos_; }

    // 0 or an error code. root receives the top node as soon as it exists, so that the
    // caller can see the partial tree.
    int run(Node*& root) {
        const std::size_t n = s_.size();
        skipOuterSpace();
        if (pos_ == n)
            return json_error::kBadValue;
        const char16_t first = s_[pos_];
        if (first != u'{' && first != u'[') {
            if (int error = scalar(true, root))
                return error;
            skipOuterSpace();
            return pos_ == n ? 0 : json_error::kBadValue;
        }
        root = heap_.newNode(first == u'{' ? JsonKind::Object : JsonKind::Array);
        ++pos_;
        std::vector<Frame> stack;
        stack.push_back({root, first == u'{' ? kExpectKey : kExpectValue});
        std::u16string key;

        while (!stack.empty()) {
            Frame& frame = stack.back();
            const bool object = frame.container->kind == JsonKind::Object;
            skipSpace();
            if (pos_ == n)
                return json_error::kUnclosed;
            const char16_t c = s_[pos_];
            switch (frame.state) {
            case kExpectKey: {
                if (c == u'}') {  // empty object, or a comma before the brace
                    ++pos_;
                    stack.pop_back();
                    continue;
                }
                if (int error = memberKey(key))
                    return error;
                skipSpace();
                if (pos_ == n)
                    return json_error::kUnclosed;
                if (s_[pos_] != u':')
                    return json_error::kBadKey;
                ++pos_;
                frame.state = kExpectValue;
                continue;
            }
            case kExpectValue: {
                if (c == u']' && !object) {  // empty array, or a comma before the bracket
                    ++pos_;
                    stack.pop_back();
                    continue;
                }
                if (c == u',' || c == u':' || c == u']' || c == u'}')
                    return json_error::kBadValue;
                const bool opens = c == u'{' || c == u'[';
                Node* child = nullptr;
                if (opens) {
                    child = heap_.newNode(c == u'{' ? JsonKind::Object : JsonKind::Array);
                } else if (int error = scalar(false, child)) {
                    return error;
                }
                // Allocation failures below leave child unattached in the heap, which the
                // caller drops as a whole on any error.
                if (object)
                    heap_.setKey(child, key);
                heap_.insertChild(frame.container, frame.container->size, child);
                frame.state = kExpectSeparator;
                if (opens) {
                    ++pos_;
                    stack.push_back({child, c == u'{' ? kExpectKey : kExpectValue});  // frame now dangles
                }
                continue;
            }
            case kExpectSeparator: {
                if (c == u',') {
                    ++pos_;
                    frame.state = object ? kExpectKey : kExpectValue;
                    continue;
                }
                if (c == (object ? u'}' : u']')) {
                    ++pos_;
                    stack.pop_back();
                    continue;
                }
                return json_error::kBadValue;
            }
            }
        }
        skipOuterSpace();
        return pos_ == n ? 0 : json_error::kBadValue;
    }

private:
    void skipSpace() {
        while (pos_ < s_.size() && isSpace(s_[pos_]))
            ++pos_;
    }

    void skipOuterSpace() {
        while (pos_ < s_.size() && isOuterSpace(s_[pos_]))
            ++pos_;
    }

    // At an opening quote: finds the matching closing quote (a backslash skips the next
    // character, and the hex digits of "\u"). On success inner is the text between the
    // quotes and pos_ is past the closing one; otherwise pos_ stays at the opening quote.
    bool scanQuoted(std::u16string_view& inner) {
        const char16_t quote = s_[pos_];
        std::size_t j = pos_ + 1;
        while (j < s_.size()) {
            const char16_t c = s_[j];
            if (c == u'\\') {
                if (j + 1 < s_.size() && s_[j + 1] == u'u') {
                    j += 2;
                    for (int digits = 0; digits < 4 && j < s_.size() && isHexDigit(s_[j]); ++digits)
                        ++j;
                } else {
                    j += 2;
                }
                continue;
            }
            if (c == quote) {
                inner = s_.substr(pos_ + 1, j - pos_ - 1);
                pos_ = j + 1;
                return true;
            }
            ++j;
        }
        return false;
    }

    // Decodes the escapes of a quoted text into out. True when every backslash left in out
    // is an escape kept as written (there is at least one, and no escaped backslash).
    bool unescape(std::u16string_view in, std::u16string& out) const {
        out.clear();
        bool kept = false;
        bool escapedBackslash = false;
        std::size_t i = 0;
        while (i < in.size()) {
            const char16_t c = in[i];
            if (c != u'\\' || i + 1 >= in.size()) {
                out.push_back(c);
                ++i;
                continue;
            }
            const char16_t e = in[i + 1];
            i += 2;
            switch (e) {
            case u'\\': case u'/': case u'"': case u'\'':
                escapedBackslash = escapedBackslash || e == u'\\';
                out.push_back(e);
                break;
            case u'b': out.push_back(8); break;
            case u't': out.push_back(9); break;
            case u'r': out.push_back(13); break;
            case u'f': out.push_back(12); break;
            case u'n':
                // Line breaks come out as CR LF; a "\r\n" pair stays one CR LF.
                if (!out.empty() && out.back() == 13) {
                    out.push_back(10);
                } else {
                    out.push_back(13);
                    out.push_back(10);
                }
                break;
            case u'u':
                if (unicodeEscape_ && i + 4 <= in.size() && isHexDigit(in[i]) && isHexDigit(in[i + 1]) &&
                    isHexDigit(in[i + 2]) && isHexDigit(in[i + 3])) {
                    out.push_back(static_cast<char16_t>(hexValue(in[i]) << 12 | hexValue(in[i + 1]) << 8 |
                                                        hexValue(in[i + 2]) << 4 | hexValue(in[i + 3])));
                    i += 4;
                } else {  // kept as written, so nothing is lost
                    out.push_back(u'\\');
                    out.push_back(u'u');
                    kept = true;
                }
                break;
            default:  // an unknown escape is kept as written
                out.push_back(u'\\');
                out.push_back(e);
                kept = true;
                break;
            }
        }
        return kept && !escapedBackslash;
    }

    int memberKey(std::u16string& key) {
        const char16_t c = s_[pos_];
        if (c == u'"' || c == u'\'') {
            std::u16string_view inner;
            if (!scanQuoted(inner))
                return json_error::kBadKey;
            unescape(inner, key);
            return 0;
        }
        std::size_t j = pos_;
        while (j < s_.size() && !endsBareToken(s_[j]))
            ++j;
        if (j == pos_)
            return json_error::kBadKey;
        key.assign(s_.substr(pos_, j - pos_));
        pos_ = j;
        return 0;
    }

    int scalar(bool topLevel, Node*& node) {
        const char16_t c = s_[pos_];
        if (c == u'"' || c == u'\'') {
            std::u16string_view inner;
            if (!scanQuoted(inner))
                return json_error::kBadValue;
            const bool keptEscapes = unescape(inner, buffer_);
            node = heap_.newScalar(JsonKind::String, buffer_);
            node->keptEscapes = keptEscapes;
            return 0;
        }
        std::size_t j = pos_;
        while (j < s_.size() && !endsBareToken(s_[j]))
            ++j;
        const std::u16string_view token = s_.substr(pos_, j - pos_);
        if (token.empty())
            return json_error::kBadValue;
        if (token == u"null") {
            node = heap_.newScalar(JsonKind::Null, token);
        } else if (token == u"true" || token == u"false") {
            node = heap_.newScalar(JsonKind::Boolean, token);
            node->boolean = token == u"true";
        } else {
            NumberToken number;
            if (!readNumber(token, topLevel, number))
                return json_error::kBadValue;
            node = heap_.newScalar(number.kind, token);
            if (number.kind == JsonKind::Integer)
                node->integer = number.integer;
            else
                node->number = number.number;
        }
        pos_ = j;
        return 0;
    }

    Heap& heap_;
    std::u16string_view s_;
    bool unicodeEscape_;
    std::size_t pos_ = 0;
    std::u16string buffer_;
};

}  // namespace

JsonParseResult parseText(Heap& heap, std::u16string_view text, bool unicodeEscape, Node*& root) {
    root = nullptr;
    if (text.empty())
        return {false, json_error::kMissing, 0};
    Parser parser(heap, text, unicodeEscape);
    Node* top = nullptr;
    int error;
    try {
        error = parser.run(top);
    } catch (const std::bad_alloc&) {
        error = json_error::kAllocation;
    }
    if (error)
        return {false, error, parser.position()};
    root = top;
    return {true, 0, 0};
}

}  // namespace quillbox::json_detail
