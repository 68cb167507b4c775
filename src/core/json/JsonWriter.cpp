// The JSON writer: iterative, so that any nesting depth the reader accepted can be
// written back.
#include <vector>

#include "core/json/JsonNode.h"

namespace quillbox::json_detail {

namespace {

// keptEscapes: every backslash in value stands for itself in the JSON text (see Node).
void writeString(std::u16string_view value, bool escape, bool keptEscapes, std::u16string& out) {
    out.push_back(u'"');
    if (!escape) {
        out.append(value);
    } else {
        for (char16_t c : value) {
            switch (c) {
            case u'\\':
                if (keptEscapes)
                    out.push_back(c);
                else
                    out.append(u"\\\\");
                break;
            case u'/': out.append(u"\\/"); break;
            case u'"': out.append(u"\\\""); break;
            case 8: out.append(u"\\b"); break;
            case 9: out.append(u"\\t"); break;
            case 10: out.append(u"\\n"); break;
            case 12: out.append(u"\\f"); break;
            case 13: out.append(u"\\r"); break;
            default: out.push_back(c); break;
            }
        }
    }
    out.push_back(u'"');
}

struct Frame {
    const Node* container;
    std::uint32_t next;  // index of the next child to write
};

}  // namespace

void writeJson(const Node* node, bool pretty, bool escape, std::u16string& out) {
    std::vector<Frame> stack;
    // Writes a scalar whole, or the opening of a container (pushing it).
    auto open = [&](const Node* n) {
        switch (n->kind) {
        case JsonKind::String:
            writeString(n->textView(), escape, n->keptEscapes, out);
            break;
        case JsonKind::Array:
            out.push_back(u'[');
            stack.push_back({n, 0});
            break;
        case JsonKind::Object:
            out.push_back(u'{');
            if (pretty)
                out.append(u"\r\n");
            stack.push_back({n, 0});
            break;
        default:
            out.append(n->textView());
            break;
        }
    };

    open(node);
    while (!stack.empty()) {
        const Node* container = stack.back().container;
        const std::uint32_t index = stack.back().next;
        const bool object = container->kind == JsonKind::Object;
        // Each enclosing array and object counts one level of indentation.
        const std::size_t level = stack.size();
        if (index == container->size) {
            if (object) {
                if (pretty) {
                    if (container->size > 0)
                        out.append(u"\r\n");
                    out.append(level - 1, u'\t');
                }
                out.push_back(u'}');
            } else {
                out.push_back(u']');
            }
            stack.pop_back();
            continue;
        }
        stack.back().next = index + 1;
        if (index > 0) {
            out.push_back(u',');
            if (pretty && object)
                out.append(u"\r\n");
        }
        const Node* child = container->items[index];
        if (object) {
            if (pretty)
                out.append(level, u'\t');
            writeString(child->keyView(), escape, false, out);
            out.push_back(u':');
        }
        open(child);
    }
}

}  // namespace quillbox::json_detail
