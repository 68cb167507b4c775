#include "core/engine/SymbolIndex.h"

#include <algorithm>
#include <cctype>

#include "core/platform/Page.h"
#include "core/project/ProjectStore.h"
#include "core/text/Text.h"

namespace quillbox::engine {

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string lastPart(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(dot + 1);
}

bool identifierUnit(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
           c == u'$' || c >= 0x80;
}

}  // namespace

void SymbolIndex::update(ProjectStore& store, const std::string& project) {
    if (project != project_) {
        parsed_.clear();
        project_ = project;
    }
    ordered_.clear();
    std::map<std::string, Parsed> kept;
    for (const std::string& module : store.moduleNames(project)) {
        Page* page = store.page(store.findPage(project, module));
        if (!page)
            continue;
        const std::string name = page->name();
        auto found = parsed_.find(name);
        Parsed parsed;
        if (found != parsed_.end() && found->second.revision == page->revision()) {
            parsed = std::move(found->second);
        } else {
            parsed.revision = page->revision();
            parsed.symbols = gate_.symbols(page->getText());
        }
        for (const Symbol& symbol : parsed.symbols)
            ordered_.push_back({name, symbol});
        kept.emplace(name, std::move(parsed));
    }
    parsed_ = std::move(kept);
}

std::vector<SymbolPlace> SymbolIndex::definitions(const std::string& name, const std::string& preferPage) const {
    std::vector<SymbolPlace> found;
    for (const SymbolPlace& place : ordered_)
        if (place.symbol.name == name)
            found.push_back(place);
    if (found.empty() && !name.empty())
        for (const SymbolPlace& place : ordered_)
            if (lastPart(place.symbol.name) == lastPart(name) && place.symbol.kind != "variable")
                found.push_back(place);
    std::stable_partition(found.begin(), found.end(),
                          [&](const SymbolPlace& place) { return place.page == preferPage; });
    return found;
}

std::vector<SymbolPlace> SymbolIndex::search(const std::string& query, std::size_t limit) const {
    const std::string wanted = lower(query);
    std::vector<std::pair<int, const SymbolPlace*>> ranked;
    for (const SymbolPlace& place : ordered_) {
        const std::string name = lower(place.symbol.name);
        const std::string last = lower(lastPart(place.symbol.name));
        int rank = -1;
        if (name == wanted || last == wanted)
            rank = 0;
        else if (name.rfind(wanted, 0) == 0 || last.rfind(wanted, 0) == 0)
            rank = 1;
        else if (name.find(wanted) != std::string::npos)
            rank = 2;
        if (rank >= 0)
            ranked.emplace_back(rank, &place);
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<SymbolPlace> out;
    for (const auto& [rank, place] : ranked) {
        if (out.size() >= limit)
            break;
        out.push_back(*place);
    }
    return out;
}

std::string nameAt(const std::string& line, int column) {
    const std::u16string units = text::utf8ToUtf16(line);
    std::size_t at = static_cast<std::size_t>(std::clamp(column, 0, static_cast<int>(units.size())));
    if ((at == units.size() || !identifierUnit(units[at])) && at > 0 && identifierUnit(units[at - 1]))
        --at;
    if (at >= units.size() || !identifierUnit(units[at]))
        return "";
    std::size_t start = at;
    std::size_t end = at;
    while (end < units.size() && identifierUnit(units[end]))
        ++end;
    // The path before it: identifiers joined by dots.
    for (;;) {
        while (start > 0 && identifierUnit(units[start - 1]))
            --start;
        if (start >= 2 && units[start - 1] == u'.' && identifierUnit(units[start - 2]))
            --start;
        else
            break;
    }
    std::u16string name = units.substr(start, end - start);
    // A name cannot start with a digit: "1.5" is no name.
    if (!name.empty() && name[0] >= u'0' && name[0] <= u'9')
        return "";
    return text::utf16ToUtf8(name);
}

}  // namespace quillbox::engine
