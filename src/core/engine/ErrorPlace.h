#pragma once
// Where an error lies, told so the user can get there: a long line (minified code runs to
// hundreds of kilobytes on one line) is shown as a short excerpt around the column with a
// caret under it, never whole.
#include <string>

#include "core/platform/Output.h"

namespace quillbox::engine {

// Characters of a line shown around an error's column.
inline constexpr int kExcerptWidth = 120;
// Marks where an excerpt was cut from its line.
inline constexpr const char* kCutMark = "…";

struct Excerpt {
    std::string text;  // UTF-8: the line, or the part of it around the column with kCutMark where cut
    int caret = 0;     // the column's place in `text`, in UTF-16 units
};

// The part of `line` (UTF-8) around `column` (0-based, in UTF-16 units as the engines count;
// clipped to the line). A line of at most `width` units is whole. Lines break nothing:
// callers pass one line.
Excerpt excerptAround(const std::string& line, int column, int width = kExcerptWidth);

// The error's place, for the output's spot (see Output::errorSpot): the excerpt of `lineText`
// and, when `page` is not empty, the module's page to open.
ErrorSpot spotOf(const std::string& page, int line, int column, const std::string& lineText);

}  // namespace quillbox::engine
