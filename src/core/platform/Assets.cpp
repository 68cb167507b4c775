#include "core/platform/Assets.h"

#include <vector>

namespace quillbox::assets {
namespace {
struct Table {
    const AssetEntry* entries;
    std::size_t count;
};
std::vector<Table>& tables() {
    static std::vector<Table> all;
    return all;
}
}  // namespace

Registration::Registration(const AssetEntry* entries, std::size_t count) {
    tables().push_back({entries, count});
}

std::optional<std::string_view> find(std::string_view name) {
    for (const Table& table : tables())
        for (std::size_t i = 0; i < table.count; ++i)
            if (name == table.entries[i].name)
                return std::string_view(table.entries[i].begin,
                                        static_cast<std::size_t>(table.entries[i].end - table.entries[i].begin));
    return std::nullopt;
}

}  // namespace quillbox::assets
