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

const std::vector<std::string_view>& coreAssets() {
    static const std::vector<std::string_view> names = {
        "ecode/template.hex", "js/json-support.js",  "js/transform.js", "js/syntax-gate.js",
        "js/chakracore-profile.json", "js/jscript-profile.js", "js/jscript-builtins.json",
        "lib/crypto-js.js",   "lib/md5.js",          "lib/base64.js",   "lib/jsencrypt.js",
        "lib/pako_inflate.js",
    };
    return names;
}

std::vector<std::string> missingOrEmpty(const std::vector<std::string_view>& names) {
    std::vector<std::string> missing;
    for (std::string_view name : names) {
        const std::optional<std::string_view> bytes = find(name);
        if (!bytes || bytes->empty())
            missing.emplace_back(name);
    }
    return missing;
}

std::string missingAssetsMessage(const std::vector<std::string>& missing) {
    if (missing.empty())
        return {};
    std::string message = "内置文件缺失或为空,程序不完整,请重新安装: ";
    for (std::size_t i = 0; i < missing.size(); ++i)
        message += (i ? ", " : "") + missing[i];
    return message;
}

}  // namespace quillbox::assets
