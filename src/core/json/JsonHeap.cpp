#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "core/json/JsonNode.h"

namespace quillbox::json_detail {

namespace {
constexpr std::size_t kMaxLength = std::numeric_limits<std::uint32_t>::max();
}

char16_t* Heap::copyText(std::u16string_view text) {
    if (text.empty())
        return nullptr;
    if (text.size() > kMaxLength)
        throw std::bad_alloc();
    auto* copy = static_cast<char16_t*>(pool_.allocate(text.size() * sizeof(char16_t), alignof(char16_t)));
    std::memcpy(copy, text.data(), text.size() * sizeof(char16_t));
    return copy;
}

void Heap::freeText(char16_t* text, std::uint32_t length) {
    if (text)
        pool_.deallocate(text, length * sizeof(char16_t), alignof(char16_t));
}

Node* Heap::newNode(JsonKind kind) {
    void* memory = pool_.allocate(sizeof(Node), alignof(Node));
    Node* node = new (memory) Node();
    node->kind = kind;
    return node;
}

Node* Heap::newScalar(JsonKind kind, std::u16string_view text) {
    char16_t* copy = copyText(text);
    Node* node;
    try {
        node = newNode(kind);
    } catch (...) {
        freeText(copy, static_cast<std::uint32_t>(text.size()));
        throw;
    }
    node->text = copy;
    node->size = static_cast<std::uint32_t>(text.size());
    return node;
}

void Heap::setKey(Node* node, std::u16string_view key) {
    char16_t* copy = copyText(key);
    freeText(node->key, node->keyLength);
    node->key = copy;
    node->keyLength = static_cast<std::uint32_t>(key.size());
}

void Heap::assignScalar(Node* node, JsonKind kind, std::u16string_view text) {
    char16_t* copy = copyText(text);  // the only step that may fail: nothing changed yet
    reset(node, kind);
    node->text = copy;
    node->size = static_cast<std::uint32_t>(text.size());
}

void Heap::insertChild(Node* container, std::uint32_t index, Node* child) {
    if (container->size == container->capacity) {
        if (container->capacity >= kMaxLength / 2)
            throw std::bad_alloc();
        const std::uint32_t grown = container->capacity ? container->capacity * 2 : 1;
        auto* items = static_cast<Node**>(pool_.allocate(grown * sizeof(Node*), alignof(Node*)));
        if (container->items) {
            std::memcpy(items, container->items, container->size * sizeof(Node*));
            pool_.deallocate(container->items, container->capacity * sizeof(Node*), alignof(Node*));
        }
        container->items = items;
        container->capacity = grown;
    }
    Node** items = container->items;
    std::move_backward(items + index, items + container->size, items + container->size + 1);
    items[index] = child;
    ++container->size;
    child->parent = container;
}

void Heap::removeChild(Node* container, std::uint32_t index) {
    Node** items = container->items;
    Node* child = items[index];
    std::move(items + index + 1, items + container->size, items + index);
    --container->size;
    child->parent = nullptr;
    release(child);
}

void Heap::replaceChild(Node* container, std::uint32_t index, Node* replacement) {
    Node* old = container->items[index];
    container->items[index] = replacement;
    replacement->parent = container;
    old->parent = nullptr;
    release(old);
}

void Heap::reset(Node* node, JsonKind kind) noexcept {
    if (node->isContainer()) {
        for (std::uint32_t i = 0; i < node->size; ++i) {
            Node* child = node->items[i];
            child->parent = nullptr;
            release(child);
        }
        if (node->items)
            pool_.deallocate(node->items, node->capacity * sizeof(Node*), alignof(Node*));
        node->items = nullptr;
        node->capacity = 0;
    } else {
        freeText(node->text, node->size);
        node->text = nullptr;
    }
    node->size = 0;
    node->kind = kind;
    node->keptEscapes = false;
    node->integer = 0;
}

void Heap::destroy(Node* node) noexcept {
    freeText(node->key, node->keyLength);
    if (node->isContainer()) {
        if (node->items)
            pool_.deallocate(node->items, node->capacity * sizeof(Node*), alignof(Node*));
    } else {
        freeText(node->text, node->size);
    }
    node->~Node();
    pool_.deallocate(node, sizeof(Node), alignof(Node));
}

void Heap::release(Node* node) noexcept {
    if (node->refs > 0 || node->parent)
        return;
    // Depth-first through the parent links, freeing each node after its children: no
    // recursion and no allocation, so this is safe in destructors and on any depth.
    Node* current = node;
    while (current) {
        if (current->isContainer() && current->size > 0) {
            Node* child = current->items[--current->size];
            if (child->refs > 0)
                child->parent = nullptr;  // another document holds it: keep it, detached
            else
                current = child;
            continue;
        }
        Node* parent = current == node ? nullptr : current->parent;
        destroy(current);
        current = parent;
    }
}

Node* Heap::copyTree(const Node* source) {
    auto shallowCopy = [this](const Node* from) {
        Node* to = from->isContainer() ? newNode(from->kind) : newScalar(from->kind, from->textView());
        to->keptEscapes = from->keptEscapes;
        switch (from->kind) {
        case JsonKind::Number: to->number = from->number; break;
        case JsonKind::Integer: to->integer = from->integer; break;
        case JsonKind::Boolean: to->boolean = from->boolean; break;
        default: break;
        }
        return to;
    };
    Node* top = shallowCopy(source);
    try {
        // Pairs (source container, its copy) whose children are still to be copied.
        std::vector<std::pair<const Node*, Node*>> pending;
        if (source->isContainer())
            pending.emplace_back(source, top);
        while (!pending.empty()) {
            auto [from, to] = pending.back();
            pending.pop_back();
            for (std::uint32_t i = 0; i < from->size; ++i) {
                const Node* child = from->items[i];
                Node* copy = shallowCopy(child);
                try {
                    setKey(copy, child->keyView());
                    insertChild(to, to->size, copy);
                } catch (...) {
                    release(copy);
                    throw;
                }
                if (child->isContainer() && child->size > 0)
                    pending.emplace_back(child, copy);
            }
        }
    } catch (...) {
        release(top);
        throw;
    }
    return top;
}

}  // namespace quillbox::json_detail
