#pragma once
// The texts the program exchanges with the Ace page for selecting, reading the selection
// and finding. The desktop page sends and reads exactly these; they live here, free of
// any browser, so that they are tested once.
#include <optional>
#include <string>
#include <string_view>

#include "core/platform/Page.h"

namespace quillbox::editor {

// The range handed to `editor.selection.setRange` for a selection from (startRow,
// startColumn) to (endRow, endColumn): the start row and column and the end row reduced
// by one to the editor's 0-based count, the end column as it is.
std::string selectRangeJson(int startRow, int startColumn, int endRow, int endColumn);

// The options handed to `editor.find` with the page's find start.
std::string findOptionsJson(const FindOptions& options, int findStart);

// Reads the text of `editor.selection.getRange()`, "Range: [r1/c1] -> [r2/c2]", into the
// form that select() takes back unchanged: r1 + 1, c1 + 1, r2 + 1, c2. Nothing when the
// text holds no range (the page's script has not run).
std::optional<SelectionRange> parseSelectionRange(std::string_view text);

}  // namespace quillbox::editor
