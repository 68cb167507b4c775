#include "core/json/JsonDocument.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <new>

#include "core/json/JsonNode.h"
#include "core/text/Text.h"

namespace quillbox {

using json_detail::Heap;
using json_detail::Node;

namespace {

std::u16string wide(std::string_view utf8) { return text::utf8ToUtf16(utf8); }
std::string narrow(std::u16string_view utf16) { return text::utf16ToUtf8(utf16); }

bool isPathSpecial(char16_t c) { return c == u'.' || c == u'[' || c == u']' || c == u'\\'; }

// The node that path names below root, or nullptr. See the header for the syntax.
Node* resolve(Node* root, std::u16string_view path) {
    Node* current = root;
    std::u16string key;
    std::size_t i = 0;
    while (current && i < path.size()) {
        const char16_t c = path[i];
        if (c == u'.') {  // empty segments are skipped
            ++i;
            continue;
        }
        if (c == u'[') {
            std::size_t j = i + 1;
            std::uint64_t index = 0;
            while (j < path.size() && path[j] >= u'0' && path[j] <= u'9') {
                index = index * 10 + (path[j] - u'0');
                if (index > std::numeric_limits<std::uint32_t>::max())
                    return nullptr;
                ++j;
            }
            if (j == i + 1 || j >= path.size() || path[j] != u']')
                return nullptr;
            i = j + 1;
            if (i < path.size() && path[i] != u'.' && path[i] != u'[')
                return nullptr;
            if (current->kind != JsonKind::Array || index >= current->size)
                return nullptr;
            current = current->items[index];
            continue;
        }
        key.clear();
        while (i < path.size() && path[i] != u'.' && path[i] != u'[') {
            if (path[i] == u'\\' && i + 1 < path.size() && isPathSpecial(path[i + 1])) {
                key.push_back(path[i + 1]);
                i += 2;
            } else {
                key.push_back(path[i]);
                ++i;
            }
        }
        if (current->kind != JsonKind::Object)
            return nullptr;
        Node* found = nullptr;
        for (std::uint32_t k = 0; k < current->size && !found; ++k)
            if (current->items[k]->keyView() == key)
                found = current->items[k];
        current = found;
    }
    return current;
}

// A path made only of empty segments names the root.
bool namesRoot(std::u16string_view path) { return path.find_first_not_of(u'.') == std::u16string_view::npos; }

std::int64_t memberIndex(const Node* object, std::u16string_view key) {
    for (std::uint32_t k = 0; k < object->size; ++k)
        if (object->items[k]->keyView() == key)
            return k;
    return -1;
}

// Shortest text that reads back as the same double.
std::u16string numberText(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::u16string(buffer, result.ptr);
}

std::u16string integerText(std::int64_t value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::u16string(buffer, result.ptr);
}

}  // namespace

// ---- lifetime -------------------------------------------------------------------------

JsonDocument::JsonDocument() = default;

JsonDocument::JsonDocument(std::shared_ptr<Heap> heap, Node* root) { adopt(std::move(heap), root); }

JsonDocument::~JsonDocument() { release(); }

JsonDocument::JsonDocument(const JsonDocument& other) {
    if (!other.root_)
        return;
    try {
        auto heap = std::make_shared<Heap>();
        Node* copy = heap->copyTree(other.root_);
        adopt(std::move(heap), copy);
    } catch (const std::bad_alloc&) {
        // Left without a root, like any failed operation.
    }
}

JsonDocument& JsonDocument::operator=(const JsonDocument& other) {
    if (this != &other) {
        JsonDocument copy(other);
        *this = std::move(copy);
    }
    return *this;
}

JsonDocument::JsonDocument(JsonDocument&& other) noexcept
    : heap_(std::move(other.heap_)), root_(other.root_) {
    other.root_ = nullptr;
}

JsonDocument& JsonDocument::operator=(JsonDocument&& other) noexcept {
    if (this != &other) {
        release();
        heap_ = std::move(other.heap_);
        root_ = other.root_;
        other.root_ = nullptr;
    }
    return *this;
}

void JsonDocument::adopt(std::shared_ptr<Heap> heap, Node* root) {
    if (root)
        ++root->refs;
    heap_ = std::move(heap);
    root_ = root;
    if (!root_)
        heap_.reset();
}

void JsonDocument::release() {
    if (root_ && heap_.use_count() > 1) {
        // Others share the heap: hand back only what nobody else can reach.
        --root_->refs;
        heap_->release(root_);
    }
    // The last holder frees the whole heap in one step, without visiting the nodes.
    heap_.reset();
    root_ = nullptr;
}

JsonDocument JsonDocument::share(Node* node) const {
    if (!node)
        return {};
    return JsonDocument(heap_, node);
}

Node* JsonDocument::find(std::u16string_view path) const { return resolve(root_, path); }

JsonParseResult JsonDocument::create(std::string_view text, bool parse) {
    if (parse)
        return this->parse(text);
    clear();
    return {true, 0, 0};
}

JsonParseResult JsonDocument::create(std::u16string_view text, bool parse) {
    if (parse)
        return this->parse(text);
    clear();
    return {true, 0, 0};
}

void JsonDocument::clear() { release(); }

JsonDocument JsonDocument::root() const { return share(root_); }

void JsonDocument::setRoot(const JsonDocument& other) {
    if (other.root_ == root_)
        return;
    // Hold the new root before letting the old one go: it may live inside the old tree.
    std::shared_ptr<Heap> heap = other.heap_;
    Node* root = other.root_;
    if (root)
        ++root->refs;
    release();
    heap_ = std::move(heap);
    root_ = root;
    if (!root_)
        heap_.reset();
}

// ---- value constructors ---------------------------------------------------------------

namespace {
template <typename Fill>
JsonDocument makeDocument(Fill fill) {
    JsonDocument document;
    try {
        document.parse(fill());
    } catch (const std::bad_alloc&) {
    }
    return document;
}
}  // namespace

JsonDocument JsonDocument::makeObject() { return makeDocument([] { return std::u16string(u"{}"); }); }
JsonDocument JsonDocument::makeArray() { return makeDocument([] { return std::u16string(u"[]"); }); }
JsonDocument JsonDocument::makeNull() { return makeDocument([] { return std::u16string(u"null"); }); }

JsonDocument JsonDocument::makeBoolean(bool value) {
    return makeDocument([value] { return std::u16string(value ? u"true" : u"false"); });
}

JsonDocument JsonDocument::makeString(std::string_view value) { return makeString(std::u16string_view(wide(value))); }

JsonDocument JsonDocument::makeString(std::u16string_view value) {
    JsonDocument document;
    try {
        auto heap = std::make_shared<Heap>();
        Node* node = heap->newScalar(JsonKind::String, value);
        document.adopt(std::move(heap), node);
    } catch (const std::bad_alloc&) {
    }
    return document;
}

JsonDocument JsonDocument::makeNumber(double value) {
    if (!std::isfinite(value))
        return makeNull();
    JsonDocument document = makeInteger(0);
    document.setNumber(std::u16string_view{}, value);
    return document;
}

JsonDocument JsonDocument::makeInteger(std::int64_t value) {
    return makeDocument([value] { return integerText(value); });
}

// ---- parse and serialize --------------------------------------------------------------

JsonParseResult JsonDocument::parse(std::string_view text, bool unicodeEscape) {
    return parse(std::u16string_view(wide(text)), unicodeEscape);
}

JsonParseResult JsonDocument::parse(std::u16string_view text, bool unicodeEscape) {
    clear();
    std::shared_ptr<Heap> heap;
    try {
        heap = std::make_shared<Heap>();
    } catch (const std::bad_alloc&) {
        return {false, json_error::kAllocation, 0};
    }
    Node* root = nullptr;
    JsonParseResult result = json_detail::parseText(*heap, text, unicodeEscape, root);
    if (result.ok)
        adopt(std::move(heap), root);
    return result;
}

std::string JsonDocument::toJson(std::string_view path, bool pretty, bool escape,
                                 std::size_t initialBufferSize) const {
    return narrow(toJsonUtf16(wide(path), pretty, escape, initialBufferSize));
}

std::string JsonDocument::toJson(std::u16string_view path, bool pretty, bool escape,
                                 std::size_t initialBufferSize) const {
    return narrow(toJsonUtf16(path, pretty, escape, initialBufferSize));
}

std::u16string JsonDocument::toJsonUtf16(std::u16string_view path, bool pretty, bool escape,
                                         std::size_t initialBufferSize) const {
    std::u16string out;
    const Node* node = find(path);
    if (!node)
        return out;
    try {
        out.reserve(initialBufferSize / sizeof(char16_t));
        json_detail::writeJson(node, pretty, escape, out);
    } catch (const std::bad_alloc&) {
        out.clear();
    }
    return out;
}

// ---- queries --------------------------------------------------------------------------

JsonKind JsonDocument::kind(std::string_view path) const { return kind(std::u16string_view(wide(path))); }

JsonKind JsonDocument::kind(std::u16string_view path) const {
    const Node* node = find(path);
    return node ? node->kind : JsonKind::None;
}

std::size_t JsonDocument::count(std::string_view path) const { return count(std::u16string_view(wide(path))); }

std::size_t JsonDocument::count(std::u16string_view path) const {
    const Node* node = find(path);
    return node && node->isContainer() ? node->size : 0;
}

JsonDocument JsonDocument::member(std::string_view path, std::string_view key) const {
    return member(std::u16string_view(wide(path)), std::u16string_view(wide(key)));
}

JsonDocument JsonDocument::member(std::u16string_view path, std::u16string_view key) const {
    Node* node = find(path);
    if (!node || node->kind != JsonKind::Object)
        return {};
    const std::int64_t index = memberIndex(node, key);
    return index < 0 ? JsonDocument() : share(node->items[index]);
}

JsonDocument JsonDocument::at(std::string_view path, std::size_t index) const {
    return at(std::u16string_view(wide(path)), index);
}

JsonDocument JsonDocument::at(std::u16string_view path, std::size_t index) const {
    Node* node = find(path);
    if (!node || !node->isContainer() || index >= node->size)
        return {};
    return share(node->items[index]);
}

JsonDocument JsonDocument::node(std::string_view path) const { return node(std::u16string_view(wide(path))); }

JsonDocument JsonDocument::node(std::u16string_view path) const { return share(find(path)); }

std::string JsonDocument::text(std::string_view path) const { return text(std::u16string_view(wide(path))); }

std::string JsonDocument::text(std::u16string_view path) const {
    const Node* node = find(path);
    return node ? narrow(node->textView()) : std::string();
}

std::string JsonDocument::string(std::string_view path) const { return narrow(stringUtf16(wide(path))); }

std::string JsonDocument::string(std::u16string_view path) const { return narrow(stringUtf16(path)); }

std::u16string JsonDocument::stringUtf16(std::u16string_view path) const {
    const Node* node = find(path);
    if (!node || node->kind != JsonKind::String)
        return {};
    return std::u16string(node->textView());
}

bool JsonDocument::boolean(std::string_view path) const { return boolean(std::u16string_view(wide(path))); }

bool JsonDocument::boolean(std::u16string_view path) const {
    const Node* node = find(path);
    return node && node->kind == JsonKind::Boolean && node->boolean;
}

double JsonDocument::number(std::string_view path) const { return number(std::u16string_view(wide(path))); }

double JsonDocument::number(std::u16string_view path) const {
    const Node* node = find(path);
    if (!node)
        return 0;
    if (node->kind == JsonKind::Number)
        return node->number;
    if (node->kind == JsonKind::Integer)
        return static_cast<double>(node->integer);
    return 0;
}

std::int64_t JsonDocument::integer(std::string_view path) const { return integer(std::u16string_view(wide(path))); }

std::int64_t JsonDocument::integer(std::u16string_view path) const {
    const Node* node = find(path);
    if (!node)
        return 0;
    if (node->kind == JsonKind::Integer)
        return node->integer;
    if (node->kind != JsonKind::Number)
        return 0;
    // Integral literals beyond 2^53 are exact in their text, not in the double.
    const std::string literal = narrow(node->textView());
    const char* first = literal.data() + (!literal.empty() && literal[0] == '+' ? 1 : 0);
    std::int64_t exact = 0;
    auto [end, error] = std::from_chars(first, literal.data() + literal.size(), exact);
    if (error == std::errc() && end == literal.data() + literal.size())
        return exact;
    const double value = node->number;
    if (std::isnan(value))
        return 0;
    if (value >= 9223372036854775807.0)
        return std::numeric_limits<std::int64_t>::max();
    if (value <= -9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

std::size_t JsonDocument::memberNames(std::string_view path, std::vector<std::string>& names) const {
    names.clear();
    const Node* node = find(wide(path));
    if (!node || node->kind != JsonKind::Object)
        return 0;
    names.reserve(node->size);
    for (std::uint32_t k = 0; k < node->size; ++k)
        names.push_back(narrow(node->items[k]->keyView()));
    return names.size();
}

std::size_t JsonDocument::memberNames(std::u16string_view path, std::vector<std::u16string>& names) const {
    names.clear();
    const Node* node = find(path);
    if (!node || node->kind != JsonKind::Object)
        return 0;
    names.reserve(node->size);
    for (std::uint32_t k = 0; k < node->size; ++k)
        names.emplace_back(node->items[k]->keyView());
    return names.size();
}

// ---- changes --------------------------------------------------------------------------

bool JsonDocument::removeMember(std::string_view path, std::string_view key) {
    return removeMember(std::u16string_view(wide(path)), std::u16string_view(wide(key)));
}

bool JsonDocument::removeMember(std::u16string_view path, std::u16string_view key) {
    Node* node = find(path);
    if (!node || node->kind != JsonKind::Object)
        return false;
    const std::int64_t index = memberIndex(node, key);
    if (index < 0)
        return false;
    heap_->removeChild(node, static_cast<std::uint32_t>(index));
    return true;
}

bool JsonDocument::removeAt(std::string_view path, std::size_t index) {
    return removeAt(std::u16string_view(wide(path)), index);
}

bool JsonDocument::removeAt(std::u16string_view path, std::size_t index) {
    Node* node = find(path);
    if (!node || !node->isContainer() || index >= node->size)
        return false;
    heap_->removeChild(node, static_cast<std::uint32_t>(index));
    return true;
}

Node* JsonDocument::findOrMakeRoot(std::u16string_view path, JsonDocument (*make)()) {
    if (!root_ && namesRoot(path)) {
        JsonDocument container = make();
        if (!container.root_)
            return nullptr;
        *this = std::move(container);
    }
    return find(path);
}

bool JsonDocument::setMember(std::string_view path, std::string_view key, const JsonDocument& value) {
    return setMember(std::u16string_view(wide(path)), std::u16string_view(wide(key)), value);
}

bool JsonDocument::setMember(std::u16string_view path, std::u16string_view key, const JsonDocument& value) {
    if (!value.root_)
        return false;
    try {
        Node* target = findOrMakeRoot(path, makeObject);
        if (!target)
            return false;
        // Copy first: value may be this document or a part of it.
        Node* copy = heap_->copyTree(value.root_);
        try {
            heap_->setKey(copy, key);
            if (target->kind != JsonKind::Object)
                heap_->reset(target, JsonKind::Object);
            const std::int64_t index = memberIndex(target, key);
            if (index >= 0)
                heap_->replaceChild(target, static_cast<std::uint32_t>(index), copy);
            else
                heap_->insertChild(target, target->size, copy);
        } catch (...) {
            heap_->release(copy);
            throw;
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool JsonDocument::append(std::string_view path, const JsonDocument& value) {
    return append(std::u16string_view(wide(path)), value);
}

bool JsonDocument::append(std::u16string_view path, const JsonDocument& value) {
    Node* target = find(path);
    const std::size_t end = target && target->kind == JsonKind::Array ? target->size : 0;
    return insertAt(path, end, value);
}

bool JsonDocument::insertAt(std::string_view path, std::size_t index, const JsonDocument& value) {
    return insertAt(std::u16string_view(wide(path)), index, value);
}

bool JsonDocument::insertAt(std::u16string_view path, std::size_t index, const JsonDocument& value) {
    if (!value.root_)
        return false;
    try {
        Node* target = findOrMakeRoot(path, makeArray);
        if (!target)
            return false;
        // A non-array becomes an empty array, so only index 0 fits it.
        const std::size_t size = target->kind == JsonKind::Array ? target->size : 0;
        if (index > size)
            return false;
        Node* copy = heap_->copyTree(value.root_);
        try {
            if (target->kind != JsonKind::Array)
                heap_->reset(target, JsonKind::Array);
            heap_->insertChild(target, static_cast<std::uint32_t>(index), copy);
        } catch (...) {
            heap_->release(copy);
            throw;
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool JsonDocument::setNumber(std::string_view path, double value) {
    return setNumber(std::u16string_view(wide(path)), value);
}

bool JsonDocument::setNumber(std::u16string_view path, double value) {
    Node* node = find(path);
    if (!node || !std::isfinite(value))
        return false;
    try {
        heap_->assignScalar(node, JsonKind::Number, numberText(value));
        node->number = value;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool JsonDocument::setInteger(std::string_view path, std::int64_t value) {
    return setInteger(std::u16string_view(wide(path)), value);
}

bool JsonDocument::setInteger(std::u16string_view path, std::int64_t value) {
    Node* node = find(path);
    if (!node)
        return false;
    try {
        heap_->assignScalar(node, JsonKind::Integer, integerText(value));
        node->integer = value;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// ---- paths ----------------------------------------------------------------------------

std::string JsonDocument::escapePathKey(std::string_view key) {
    std::string escaped;
    escaped.reserve(key.size());
    for (char c : key) {
        if (c == '.' || c == '[' || c == ']' || c == '\\')
            escaped.push_back('\\');
        escaped.push_back(c);
    }
    return escaped;
}

std::u16string JsonDocument::escapePathKey(std::u16string_view key) {
    std::u16string escaped;
    escaped.reserve(key.size());
    for (char16_t c : key) {
        if (isPathSpecial(c))
            escaped.push_back(u'\\');
        escaped.push_back(c);
    }
    return escaped;
}

}  // namespace quillbox
