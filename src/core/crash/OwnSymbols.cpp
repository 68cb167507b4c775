#include "core/crash/OwnSymbols.h"

#include <elf.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/platform/FileIO.h"

namespace quillbox::crash {

namespace {

template <typename T>
bool readAt(const std::string& file, std::uint64_t offset, T& value) {
    if (offset > file.size() || file.size() - offset < sizeof(T))
        return false;
    std::memcpy(&value, file.data() + offset, sizeof(T));
    return true;
}

}  // namespace

OwnSymbols::OwnSymbols(const std::string& path) {
    std::string file;
    if (!files::readAll(path, file))
        return;
    Elf64_Ehdr header;
    if (!readAt(file, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr) ||
        header.e_phentsize != sizeof(Elf64_Phdr))
        return;

    // Offsets in a report count from where the first segment is loaded: 0 for a position-
    // independent program, the link address for a fixed one.
    std::uint64_t loadBase = std::numeric_limits<std::uint64_t>::max();
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment;
        if (!readAt(file, header.e_phoff + std::uint64_t(i) * sizeof(Elf64_Phdr), segment))
            return;
        if (segment.p_type == PT_LOAD) {
            const std::uint64_t align = segment.p_align > 1 ? segment.p_align : 1;
            loadBase = std::min<std::uint64_t>(loadBase, segment.p_vaddr & ~(align - 1));
        }
    }
    if (loadBase == std::numeric_limits<std::uint64_t>::max())
        return;

    for (unsigned i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr section;
        if (!readAt(file, header.e_shoff + std::uint64_t(i) * sizeof(Elf64_Shdr), section))
            return;
        if (section.sh_type != SHT_SYMTAB || section.sh_entsize != sizeof(Elf64_Sym))
            continue;
        Elf64_Shdr names;
        if (section.sh_link >= header.e_shnum ||
            !readAt(file, header.e_shoff + std::uint64_t(section.sh_link) * sizeof(Elf64_Shdr), names) ||
            names.sh_offset > file.size() || file.size() - names.sh_offset < names.sh_size)
            return;
        const std::string_view strings(file.data() + names.sh_offset, names.sh_size);
        for (std::uint64_t k = 0; k < section.sh_size / sizeof(Elf64_Sym); ++k) {
            Elf64_Sym symbol;
            if (!readAt(file, section.sh_offset + k * sizeof(Elf64_Sym), symbol))
                return;
            if (ELF64_ST_TYPE(symbol.st_info) != STT_FUNC || symbol.st_size == 0 || symbol.st_value < loadBase ||
                symbol.st_name >= strings.size())
                continue;
            const std::string_view rest = strings.substr(symbol.st_name);
            functions_.push_back({static_cast<std::uintptr_t>(symbol.st_value - loadBase),
                                  static_cast<std::uintptr_t>(symbol.st_size),
                                  std::string(rest.substr(0, rest.find('\0')))});
        }
    }
    std::sort(functions_.begin(), functions_.end(),
              [](const Function& a, const Function& b) { return a.start < b.start; });
}

std::optional<OwnSymbols::Hit> OwnSymbols::at(std::uintptr_t offset) const {
    auto it = std::upper_bound(functions_.begin(), functions_.end(), offset,
                               [](std::uintptr_t value, const Function& f) { return value < f.start; });
    // The nearest function starting at or before the offset; aliases share a start, and a
    // smaller neighbour may end before the offset while a larger one covers it.
    while (it != functions_.begin()) {
        --it;
        if (offset - it->start < it->size)
            return Hit{it->name, offset - it->start};
        if (offset - it->start > (1u << 20))
            break;  // far past anything this close could cover
    }
    return std::nullopt;
}

}  // namespace quillbox::crash
