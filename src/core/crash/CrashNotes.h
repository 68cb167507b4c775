#pragma once
// What a crash report attaches besides the fault itself, the same on every system: the
// start-up stages (recordStage) and the exception nobody caught. Kept in fixed buffers, so
// that a handler reads them without allocating.
#include <cstddef>
#include <string>

#include "core/crash/CrashReport.h"

namespace quillbox::crash {

// Copies as much of `from` as fits, always ending with NUL.
void copyText(char* to, std::size_t capacity, const std::string& from);

// Notes the type and message of the exception being handled, for the report. False when
// none is being handled (std::terminate called for another reason).
bool describeCurrentException();

// The stages, one per line, then the exception's lines.
Attachment attachedLines();

}  // namespace quillbox::crash
