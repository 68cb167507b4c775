#pragma once
// Failed comparisons of sessions print the session file's text.
#include <ostream>

#include "core/session/SessionFile.h"

namespace quillbox::session {
inline void PrintTo(const Session& session, std::ostream* os) { *os << sessionText(session); }
}  // namespace quillbox::session
