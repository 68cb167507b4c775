#pragma once
// JsonDocument: the program's JSON tree. Nodes are typed, text is kept in UTF-16, numbers
// keep the text they were written with (1.50 is written back as 1.50), and values are
// reached by path.
//
// Paths: segments separated by "."; each segment is a member key. "[n]" (decimal, from 0)
// indexes an array and may follow a key directly: data[2].name, [0].x, m[1][2]. A backslash
// before ".", "[", "]" or a backslash makes that character part of the key (a\.b is the
// member "a.b"). Empty segments are skipped, so "" is the root. Use escapePathKey() to put
// an arbitrary member name into a path.
//
// Ownership: every node comes from a private heap that the document and every document
// handed one of its nodes share by reference count. member(), node(), at() and root()
// return documents that SHARE the node with this one: a change made through either is
// seen by both, and the node stays valid while either holds it (even after it has been
// removed from its parent, or the other document was cleared or destroyed). Copying a
// JsonDocument (copy constructor or assignment) makes an independent deep copy; moving is
// cheap. setMember(), append() and insertAt() always deep-copy the value they are given.
//
// Text: every operation that takes text has a UTF-8 form (std::string_view, the program's
// own text) and a UTF-16 form (std::u16string_view). Text results are UTF-8; a few have a
// UTF-16 twin with the suffix Utf16.
//
// Failures: no operation throws. A path that does not resolve gives the empty result of
// the operation (-1 for kind, 0, "", false, or a document without a root).
//
// Depth: parsing, serializing, copying and freeing never recurse, so nesting depth is
// bounded only by memory.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {

// Kind codes as callers see them through kind().
enum class JsonKind : int {
    None = -1,  // the path does not resolve (or the document has no root)
    Null = 0,
    Number = 1,   // double with its literal text
    Integer = 2,  // 64-bit signed
    Boolean = 3,
    String = 4,
    Array = 5,
    Object = 6,
};

// Parse error codes.
namespace json_error {
constexpr int kNone = 0;
constexpr int kMissing = -2;       // no text (empty input)
constexpr int kAllocation = -3;    // memory ran out
constexpr int kBadKey = -4;        // malformed member key (":" without key, quote problem)
constexpr int kUnclosed = -5;      // text ended inside an open array or object
constexpr int kBadValue = -6;      // bad token, unmatched quote, value where none may stand
}  // namespace json_error

struct JsonParseResult {
    bool ok = false;
    int error = 0;              // 0 or one of json_error
    std::size_t position = 0;   // index (UTF-16 code units) where parsing stopped
};

namespace json_detail {
struct Node;
struct Heap;
}  // namespace json_detail

class JsonDocument {
public:
    // A document without a root: kind("") is -1 and toJson() is "". setMember() and
    // append() on the empty path give it an object or array root.
    JsonDocument();
    ~JsonDocument();
    JsonDocument(const JsonDocument& other);             // deep copy
    JsonDocument& operator=(const JsonDocument& other);  // deep copy
    JsonDocument(JsonDocument&& other) noexcept;
    JsonDocument& operator=(JsonDocument&& other) noexcept;

    // Empties the document and, when `parse` is set, parses the text into it.
    // Without `parse` the result is always ok.
    JsonParseResult create(std::string_view text = {}, bool parse = false);
    JsonParseResult create(std::u16string_view text, bool parse);

    // Frees every node this document holds; afterwards it has no root.
    void clear();

    // A document sharing this document's root node (no root when this has none).
    JsonDocument root() const;
    // Makes other's root this document's root, shared with other (not copied).
    void setRoot(const JsonDocument& other);

    // Value constructors: a new document whose root is a new value of that kind.
    static JsonDocument makeObject();
    static JsonDocument makeArray();
    static JsonDocument makeNull();
    static JsonDocument makeBoolean(bool value);
    static JsonDocument makeString(std::string_view value);
    static JsonDocument makeString(std::u16string_view value);
    // Literal text is the shortest text that reads back as the same double. Infinity and
    // NaN have no JSON form: they give a null root.
    static JsonDocument makeNumber(double value);
    static JsonDocument makeInteger(std::int64_t value);

    // Replaces the content with the parsed text. Objects and arrays nest to any depth;
    // keys and strings may use double or single quotes; a bare top-level integer has kind
    // Integer, every other number kind Number. "\uXXXX" is decoded only when
    // `unicodeEscape` is set (otherwise the six characters are kept as they stand).
    // On error the document is left empty and the result names the code and position.
    // Text after a complete root value, other than whitespace, is an error (-6).
    JsonParseResult parse(std::string_view text, bool unicodeEscape = false);
    JsonParseResult parse(std::u16string_view text, bool unicodeEscape = false);

    // JSON text of the value at path; "" when it does not resolve. `pretty` lays out
    // objects over lines (CR LF, one tab per nesting level, no space after ":"); arrays
    // stay on one line. `escape` writes backslash, "/", the double quote and the control
    // characters 8, 9, 10, 12, 13 as escapes. `initialBufferSize` is the starting capacity.
    std::string toJson(std::string_view path = {}, bool pretty = false, bool escape = true,
                       std::size_t initialBufferSize = 1024) const;
    std::string toJson(std::u16string_view path, bool pretty = false, bool escape = true,
                       std::size_t initialBufferSize = 1024) const;
    std::u16string toJsonUtf16(std::u16string_view path = {}, bool pretty = false,
                               bool escape = true, std::size_t initialBufferSize = 1024) const;

    JsonKind kind(std::string_view path = {}) const;
    JsonKind kind(std::u16string_view path) const;

    // Members of an object or elements of an array at path; 0 for anything else.
    std::size_t count(std::string_view path = {}) const;
    std::size_t count(std::u16string_view path) const;

    // Removes the first member named key from the object at path.
    bool removeMember(std::string_view path, std::string_view key);
    bool removeMember(std::u16string_view path, std::u16string_view key);

    // Removes the element at index from the array at path (or the index-th member of
    // the object at path).
    bool removeAt(std::string_view path, std::size_t index);
    bool removeAt(std::u16string_view path, std::size_t index);

    // Sets member key of the object at path to a deep copy of value's root, replacing the
    // first existing member of that key in place (order kept) or adding it at the end. A
    // non-object at path is first turned into an empty object. False when path does not
    // resolve (except the empty path of a document without root) or value has no root.
    bool setMember(std::string_view path, std::string_view key, const JsonDocument& value);
    bool setMember(std::u16string_view path, std::u16string_view key, const JsonDocument& value);

    // A document sharing the node of member key of the object at path.
    JsonDocument member(std::string_view path, std::string_view key) const;
    JsonDocument member(std::u16string_view path, std::u16string_view key) const;

    // Appends a deep copy of value's root to the array at path. A non-array at path is
    // first turned into an empty array.
    bool append(std::string_view path, const JsonDocument& value);
    bool append(std::u16string_view path, const JsonDocument& value);

    // As append, inserted before index; index == count appends; a larger index fails.
    bool insertAt(std::string_view path, std::size_t index, const JsonDocument& value);
    bool insertAt(std::u16string_view path, std::size_t index, const JsonDocument& value);

    // A document sharing the index-th element of the array (or the value of the index-th
    // member of the object) at path.
    JsonDocument at(std::string_view path, std::size_t index) const;
    JsonDocument at(std::u16string_view path, std::size_t index) const;

    // A document sharing the node at path.
    JsonDocument node(std::string_view path) const;
    JsonDocument node(std::u16string_view path) const;

    // Turn the node at path into a number or integer in place. setNumber refuses
    // infinity and NaN.
    bool setNumber(std::string_view path, double value);
    bool setNumber(std::u16string_view path, double value);
    bool setInteger(std::string_view path, std::int64_t value);
    bool setInteger(std::u16string_view path, std::int64_t value);

    // Literal text of a scalar: the number as written, "true", "false", "null", or the
    // string's value. "" for arrays, objects and unresolved paths.
    std::string text(std::string_view path = {}) const;
    std::string text(std::u16string_view path) const;

    // The string at path; "" when absent or not a string.
    std::string string(std::string_view path = {}) const;
    std::string string(std::u16string_view path) const;
    std::u16string stringUtf16(std::u16string_view path = {}) const;

    // Typed values: false / 0 when absent or of another kind. number() reads integers
    // too; integer() reads numbers with an integral value (and truncates others).
    bool boolean(std::string_view path = {}) const;
    bool boolean(std::u16string_view path) const;
    double number(std::string_view path = {}) const;
    double number(std::u16string_view path) const;
    std::int64_t integer(std::string_view path = {}) const;
    std::int64_t integer(std::u16string_view path) const;

    // Number of members of the object at path; `names` is replaced by their keys in
    // document order. 0 and an empty list for anything else.
    std::size_t memberNames(std::string_view path, std::vector<std::string>& names) const;
    std::size_t memberNames(std::u16string_view path, std::vector<std::u16string>& names) const;

    // key with a backslash before every ".", "[", "]" and "\", so that it reads back as
    // one member key in a path.
    static std::string escapePathKey(std::string_view key);
    static std::u16string escapePathKey(std::u16string_view key);

private:
    JsonDocument(std::shared_ptr<json_detail::Heap> heap, json_detail::Node* root);
    void adopt(std::shared_ptr<json_detail::Heap> heap, json_detail::Node* root);
    void release();
    json_detail::Node* find(std::u16string_view path) const;
    // find(path), after making an empty document the container that `make` gives when the
    // path names the root; null when there is no such node or no memory.
    json_detail::Node* findOrMakeRoot(std::u16string_view path, JsonDocument (*make)());
    JsonDocument share(json_detail::Node* node) const;

    std::shared_ptr<json_detail::Heap> heap_;
    json_detail::Node* root_ = nullptr;
};

}  // namespace quillbox
