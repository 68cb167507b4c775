// The reporter that reads this is the desktop program's, which the Windows build does not
// have: there the handler names the program's own frames itself, from the COFF symbol table
// (SystemFacts.win32.cpp).
#include "core/crash/OwnSymbols.h"

namespace quillbox::crash {

OwnSymbols::OwnSymbols(const std::string&) {}

std::optional<OwnSymbols::Hit> OwnSymbols::at(std::uintptr_t) const { return std::nullopt; }

}  // namespace quillbox::crash
