#pragma once
// Files embedded into the programs at build time (cmake/Embed.cmake, assets/assets.cmake).
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox::assets {

struct AssetEntry {
    const char* name;
    const char* begin;
    const char* end;
};

// One per embedding target; registers its table before main() runs.
struct Registration {
    Registration(const AssetEntry* entries, std::size_t count);
};

// The bytes of the embedded file NAME, or nothing when no program part embedded it.
std::optional<std::string_view> find(std::string_view name);

// The built-in files every program needs (the engines' scripts and data, the E template,
// the starter library). The desktop program adds its editor page and Ace files.
const std::vector<std::string_view>& coreAssets();

// The names among `names` that are not embedded or are empty. A program that misses any of
// its built-in files must not start: it would run without the syntax gate, say, and load
// code unchecked.
std::vector<std::string> missingOrEmpty(const std::vector<std::string_view>& names);

// The start-up error naming the missing files ("... 请重新安装: a, b"); "" for none.
std::string missingAssetsMessage(const std::vector<std::string>& missing);

}  // namespace quillbox::assets
