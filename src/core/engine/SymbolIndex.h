#pragma once
// The project's symbols, for navigation: where a listed function or object is defined (go
// to definition: double-click in the tree, F12 in the editor), a search across the project
// (Ctrl+T) and a function's parameters (the tree's tooltips). Each module is parsed by the
// syntax gate's parser (acorn) and kept until its page's text changes.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/engine/SyntaxGate.h"

namespace quillbox {
class ProjectStore;
}

namespace quillbox::engine {

struct SymbolPlace {
    std::string page;  // the module's page name
    Symbol symbol;
};

class SymbolIndex {
public:
    explicit SymbolIndex(SyntaxGate& gate) : gate_(gate) {}

    // Brings the project's modules up to date (parsing only those whose text changed).
    void update(ProjectStore& store, const std::string& project);

    // Where `name` is defined in the project, the module of `preferPage` first, then in
    // module order; a member is found by its dotted path, or by its last part when nothing
    // has the whole name. Nothing when no module defines it.
    std::vector<SymbolPlace> definitions(const std::string& name, const std::string& preferPage = "") const;
    // Symbols whose name holds `query` (case ignored): whole names first, then those that
    // start with it, then the others; at most `limit`.
    std::vector<SymbolPlace> search(const std::string& query, std::size_t limit = 200) const;

    const std::vector<SymbolPlace>& all() const { return ordered_; }

private:
    struct Parsed {
        std::uint64_t revision = 0;
        std::vector<Symbol> symbols;
    };
    SyntaxGate& gate_;
    std::string project_;
    std::map<std::string, Parsed> parsed_;  // by page name
    std::vector<SymbolPlace> ordered_;      // in module order
};

// The identifier (with the dotted path before it: "a.b.c") at a column of a line; the
// column is 0-based in UTF-16 units and may stand just after the name.
std::string nameAt(const std::string& line, int column);

}  // namespace quillbox::engine
