#include "core/editor/AceBridge.h"

#include <regex>

namespace quillbox::editor {
namespace {
const char* flag(bool value) { return value ? "true" : "false"; }
}  // namespace

std::string selectRangeJson(int startRow, int startColumn, int endRow, int endColumn) {
    // long: a row or column of INT_MIN must not overflow when reduced.
    return "{\"start\":{\"row\":" + std::to_string(static_cast<long>(startRow) - 1) +
           ",\"column\":" + std::to_string(static_cast<long>(startColumn) - 1) +
           "},\"end\":{\"row\":" + std::to_string(static_cast<long>(endRow) - 1) +
           ",\"column\":" + std::to_string(endColumn) + "}}";
}

std::string findOptionsJson(const FindOptions& options, int findStart) {
    return std::string("{\"backwards\":") + flag(options.backwards) + ",\"wrap\":true,\"caseSensitive\":" +
           flag(options.caseSensitive) + ",\"wholeWord\":" + flag(options.wholeWord) +
           ",\"regExp\":" + flag(options.regExp) + ",\"start\":" + std::to_string(findStart) + "}";
}

std::optional<SelectionRange> parseSelectionRange(std::string_view text) {
    static const std::regex range(R"(Range: \[(\d+)/(\d+)\] -> \[(\d+)/(\d+)\])");
    std::match_results<std::string_view::const_iterator> m;
    if (!std::regex_search(text.begin(), text.end(), m, range))
        return std::nullopt;
    int values[4];
    for (int i = 0; i < 4; ++i) {
        const std::string digits = m[i + 1].str();
        // Rows and columns beyond int are no editor positions.
        if (digits.size() > 9)
            return std::nullopt;
        values[i] = std::stoi(digits);
    }
    return SelectionRange{values[0] + 1, values[1] + 1, values[2] + 1, values[3]};
}

}  // namespace quillbox::editor
