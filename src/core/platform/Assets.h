#pragma once
// Files embedded into the programs at build time (cmake/Embed.cmake, assets/assets.cmake).
#include <cstddef>
#include <optional>
#include <string_view>

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

}  // namespace quillbox::assets
