// The Windows build carries no symbol table the reporter reads: frames show as module and
// offset.
#include "core/crash/OwnSymbols.h"

namespace quillbox::crash {

OwnSymbols::OwnSymbols(const std::string&) {}

std::optional<OwnSymbols::Hit> OwnSymbols::at(std::uintptr_t) const { return std::nullopt; }

}  // namespace quillbox::crash
