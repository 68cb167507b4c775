#pragma once
// Readable failure messages for selection ranges.
#include <ostream>

#include "core/platform/Page.h"

namespace quillbox {
inline void PrintTo(const SelectionRange& r, std::ostream* os) {
    *os << "{" << r.startRow << ", " << r.startColumn << ", " << r.endRow << ", " << r.endColumn << "}";
}
}  // namespace quillbox
