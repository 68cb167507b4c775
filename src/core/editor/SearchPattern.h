#pragma once
// What the editor searches for: a needle and the find options turned into regular
// expressions the way Ace builds its JavaScript RegExp (plain needles escaped, "gmi" unless
// case-sensitive, whole words bounded by letters, digits and "_"), matched with PCRE2 in
// UTF-16 so that every offset is an editor column. PCRE2 is run with the options that
// bring it closest to JavaScript: \uXXXX and \u{...} escapes, [] and [^], references to
// unset groups matching the empty text; its match limits end a runaway expression on a
// long line with "no match" instead of a hang or a stack overflow.
//
// A needle holding a line break is searched line by line, one expression per line, as Ace
// does: the first part must reach the end of a line, the middle parts fill whole lines and
// the last part starts a line.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/platform/Page.h"

namespace quillbox::editor {

struct LineMatch {
    std::size_t offset = 0;  // in UTF-16 units, as editor columns
    std::size_t length = 0;
    // Groups 1..n: offset and length, or nothing for a group that took no part.
    std::vector<std::optional<std::pair<std::size_t, std::size_t>>> groups;
};

class SearchPattern {
public:
    // Null when the needle is empty or is no valid regular expression.
    static std::shared_ptr<const SearchPattern> compile(std::u16string_view needle, const FindOptions& options);

    SearchPattern(const SearchPattern&) = delete;
    SearchPattern& operator=(const SearchPattern&) = delete;
    ~SearchPattern();

    // 1 for a needle on one line; the number of lines of a needle with line breaks.
    std::size_t partCount() const { return parts_.size(); }
    bool multiLine() const { return parts_.size() > 1; }
    const FindOptions& options() const { return options_; }

    // The first match of the part in the line that starts at or after `from` (the
    // JavaScript lastIndex rule: look-behind still sees the text before `from`).
    std::optional<LineMatch> exec(std::u16string_view line, std::size_t from, std::size_t part = 0) const;

    // The text that replaces `match` in `line`. A regular-expression replacement reads
    // "$&" and "$0" as the match, "$1".."$99" as groups, "$$" as "$", and "\n", "\t", "\\"
    // as a line break, a tab and a backslash, as the editor's replace does; a plain one is
    // taken literally, and so is the replacement of a needle spanning lines.
    std::u16string expand(std::u16string_view replacement, std::u16string_view line, const LineMatch& match) const;

private:
    struct Part;
    SearchPattern() = default;
    std::vector<std::unique_ptr<Part>> parts_;
    FindOptions options_;
};

}  // namespace quillbox::editor
