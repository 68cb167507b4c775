#pragma once
// Internal to the JSON library: the node layout and the heap that nodes come from.
//
// Every node, key, text and child list of a document lives in one Heap. The heap is shared
// (std::shared_ptr) by every JsonDocument that holds one of its nodes; when the last holder
// lets go, the heap's pool is released in one step without visiting the nodes. Nodes that
// are cut out of a tree while the heap lives on are handed back to the pool one by one,
// except those another document still holds (Node::refs > 0), which are only detached.
#include <cstdint>
#include <memory_resource>
#include <string_view>
#include <vector>

#include "core/json/JsonDocument.h"

namespace quillbox::json_detail {

struct Node {
    Node* parent = nullptr;
    char16_t* key = nullptr;  // member key when the parent is an object
    std::uint32_t keyLength = 0;
    std::uint32_t refs = 0;  // documents holding this node as their root
    JsonKind kind = JsonKind::Null;
    // A string read with escapes kept as written (\u when not decoded, or an unknown
    // escape) and no escaped backslash: every backslash in its text is one the source had
    // bare, and the writer writes it back bare, so the JSON text stays that of the string
    // that was read.
    bool keptEscapes = false;
    std::uint32_t size = 0;      // text length of a scalar, child count of a container
    std::uint32_t capacity = 0;  // allocated child slots of a container
    union {
        char16_t* text;  // literal text of a scalar (the value of a string)
        Node** items;    // children of a container
    };
    union {
        double number;
        std::int64_t integer;
        bool boolean;
    };

    Node() : text(nullptr), integer(0) {}

    bool isContainer() const { return kind == JsonKind::Array || kind == JsonKind::Object; }
    std::u16string_view keyView() const { return {key, keyLength}; }
    std::u16string_view textView() const {
        return isContainer() ? std::u16string_view{} : std::u16string_view{text, size};
    }
};

class Heap {
public:
    Heap() = default;
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    // A new node of the given kind with no key, text or children. Throws std::bad_alloc.
    Node* newNode(JsonKind kind);
    // A new scalar node with its literal text (the value for strings).
    Node* newScalar(JsonKind kind, std::u16string_view text);

    void setKey(Node* node, std::u16string_view key);
    // Turns node into a scalar of the given kind and text in place (its value is left 0).
    // On failure node is unchanged.
    void assignScalar(Node* node, JsonKind kind, std::u16string_view text);

    // Appends or inserts child into container; child->parent is set. Throws std::bad_alloc
    // before changing anything.
    void insertChild(Node* container, std::uint32_t index, Node* child);
    // Takes the child at index out of the container and lets it go (see release()).
    void removeChild(Node* container, std::uint32_t index);
    // Puts replacement in the place of the child at index and lets the old child go.
    void replaceChild(Node* container, std::uint32_t index, Node* replacement);

    // Turns node into an empty node of another kind in place, letting its children and
    // text go. Documents holding the node keep holding it.
    void reset(Node* node, JsonKind kind) noexcept;

    // Lets go of a node that is no longer in its parent: frees it and its descendants,
    // except descendants that a document still holds, which are detached and kept.
    // Does nothing while a document holds node itself.
    void release(Node* node) noexcept;

    // Copies the tree under source (which may live in any heap) into this heap. The copy
    // has no parent and no key. Iterative; frees its partial work when memory runs out.
    Node* copyTree(const Node* source);

private:
    char16_t* copyText(std::u16string_view text);
    void freeText(char16_t* text, std::uint32_t length);
    void destroy(Node* node) noexcept;  // frees one node's own memory, not its children

    std::pmr::unsynchronized_pool_resource pool_;
};

// Parses text into a new tree in heap. On success root receives the tree; on error the
// partial tree is left in heap, which the caller drops as a whole.
JsonParseResult parseText(Heap& heap, std::u16string_view text, bool unicodeEscape, Node*& root);

// Appends the JSON text of node to out.
void writeJson(const Node* node, bool pretty, bool escape, std::u16string& out);

}  // namespace quillbox::json_detail
