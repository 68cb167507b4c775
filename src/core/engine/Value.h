#pragma once
// A script result as the native engine hands it back: empty (undefined, null or a failed
// call), a boolean, a number, a string, or an object. Numbers and objects carry the text
// the engine itself gives them, so "read as text" is the script's own ToString.
#include <string>
#include <utility>

namespace quillbox::engine {

class Value {
public:
    enum class Kind { Empty, Boolean, Number, String, Object };

    Value() = default;
    static Value boolean(bool b) { return Value(Kind::Boolean, b ? "true" : "false", b ? 1 : 0); }
    static Value number(double n, std::string text) { return Value(Kind::Number, std::move(text), n); }
    static Value string(std::string s) { return Value(Kind::String, std::move(s), 0); }
    static Value object(std::string text) { return Value(Kind::Object, std::move(text), 0); }

    Kind kind() const { return kind_; }
    bool isEmpty() const { return kind_ == Kind::Empty; }
    bool isBoolean() const { return kind_ == Kind::Boolean; }
    // The value read as text: "" when empty, "true"/"false", the number's script text,
    // the string itself, or the object's ToString.
    const std::string& text() const { return text_; }
    double number() const { return number_; }
    bool boolean() const { return kind_ == Kind::Boolean && number_ != 0; }

    bool operator==(const Value&) const = default;

private:
    Value(Kind kind, std::string text, double n) : kind_(kind), text_(std::move(text)), number_(n) {}
    Kind kind_ = Kind::Empty;
    std::string text_;
    double number_ = 0;
};

}  // namespace quillbox::engine
