#include "core/editor/MemoryPage.h"

#include <algorithm>
#include <limits>

#include "core/editor/SearchPattern.h"
#include "core/text/Text.h"

namespace quillbox {
namespace {

using editor::LineMatch;
using editor::SearchPattern;

constexpr std::size_t kWholeLine = std::numeric_limits<std::size_t>::max();

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The text split at "\r\n", "\r" and "\n".
std::vector<std::u16string> splitLines(const std::u16string& text) {
    std::vector<std::u16string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

// How far past an empty match the next search starts: a whole character.
std::size_t skipEmptyMatch(const std::u16string& line, std::size_t at) {
    return at + 1 < line.size() && isHighSurrogate(line[at]) && isLowSurrogate(line[at + 1]) ? 2 : 1;
}

}  // namespace

MemoryPage::MemoryPage(std::string name, const std::string& pendingText) : name_(std::move(name)) {
    if (!pendingText.empty())
        appendText(pendingText);
}

MemoryPage::~MemoryPage() = default;

// ---- positions ----------------------------------------------------------------------

MemoryPage::Position MemoryPage::clip(long row, long column) const {
    const long length = static_cast<long>(lines_.size());
    Position p;
    if (row >= length) {
        p.row = static_cast<int>(std::max(0L, length - 1));
        p.column = static_cast<int>(lines_[p.row].size());
    } else if (row >= 0) {
        p.row = static_cast<int>(row);
        p.column = static_cast<int>(std::min(static_cast<long>(lines_[p.row].size()), std::max(0L, column)));
    }
    if (column < 0)
        p.column = 0;
    // A position between the two halves of a surrogate pair moves past the character.
    const std::u16string& line = lines_[p.row];
    const auto c = static_cast<std::size_t>(p.column);
    if (c > 0 && c < line.size() && isLowSurrogate(line[c]) && isHighSurrogate(line[c - 1]))
        ++p.column;
    return p;
}

MemoryPage::Range MemoryPage::selection() const {
    return anchor_ <= cursor_ ? Range{anchor_, cursor_} : Range{cursor_, anchor_};
}

void MemoryPage::setSelection(Position anchor, Position cursor) {
    anchor_ = clip(anchor.row, anchor.column);
    cursor_ = clip(cursor.row, cursor.column);
}

std::u16string MemoryPage::textIn(const Range& range) const {
    if (range.start.row == range.end.row)
        return lines_[range.start.row].substr(range.start.column, range.end.column - range.start.column);
    std::u16string text = lines_[range.start.row].substr(range.start.column);
    for (int row = range.start.row + 1; row < range.end.row; ++row)
        text += newline_ + lines_[row];
    text += newline_ + lines_[range.end.row].substr(0, range.end.column);
    return text;
}

void MemoryPage::detectNewLine(const std::u16string& text) {
    const std::size_t at = text.find_first_of(u"\r\n");
    if (at == std::u16string::npos)
        newline_ = u"\n";
    else if (text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n')
        newline_ = u"\r\n";
    else
        newline_ = std::u16string(1, text[at]);
}

MemoryPage::Position MemoryPage::replaceRange(const Range& range, const std::u16string& text) {
    markChanged();
    const std::u16string head = lines_[range.start.row].substr(0, range.start.column);
    const std::u16string tail = lines_[range.end.row].substr(range.end.column);
    lines_.erase(lines_.begin() + range.start.row + 1, lines_.begin() + range.end.row + 1);
    lines_[range.start.row] = head + tail;
    if (text.empty())
        return range.start;
    // A page of one line takes its line break from the text put into it.
    if (lines_.size() <= 1)
        detectNewLine(text);
    std::vector<std::u16string> pieces = splitLines(text);
    const int row = range.start.row;
    const Position end{row + static_cast<int>(pieces.size()) - 1,
                       static_cast<int>((pieces.size() == 1 ? head.size() : 0) + pieces.back().size())};
    pieces.front() = head + pieces.front();
    pieces.back() += tail;
    lines_[row] = std::move(pieces.front());
    lines_.insert(lines_.begin() + row + 1, std::make_move_iterator(pieces.begin() + 1),
                  std::make_move_iterator(pieces.end()));
    return end;
}

// ---- text ---------------------------------------------------------------------------

int MemoryPage::lineCount() { return static_cast<int>(lines_.size()); }

std::string MemoryPage::getText() {
    std::u16string all;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0)
            all += newline_;
        all += lines_[i];
    }
    return text::utf16ToUtf8(all);
}

void MemoryPage::setText(const std::string& text) {
    markChanged();
    const std::u16string wide = text::utf8ToUtf16(text);
    lines_ = splitLines(wide);
    detectNewLine(wide);
    anchor_ = {0, 0};
    cursor_ = clip(std::numeric_limits<int>::max(), std::numeric_limits<int>::max());
}

std::string MemoryPage::getLine(int line) {
    const long row = static_cast<long>(line) - 1;
    if (row < 0 || row >= static_cast<long>(lines_.size()))
        return "";
    return text::utf16ToUtf8(lines_[row]);
}

void MemoryPage::gotoLine(int line) {
    cursor_ = clip(static_cast<long>(line) - 1, 0);
    anchor_ = cursor_;
}

void MemoryPage::select(int startRow, int startColumn, int endRow, int endColumn) {
    // The start is 1-based, the end column is the editor's own; the selection is made
    // backwards, its anchor at the end.
    anchor_ = clip(static_cast<long>(endRow) - 1, endColumn);
    cursor_ = clip(static_cast<long>(startRow) - 1, static_cast<long>(startColumn) - 1);
}

SelectionRange MemoryPage::selectionRange() {
    const Range r = selection();
    return {r.start.row + 1, r.start.column + 1, r.end.row + 1, r.end.column};
}

std::string MemoryPage::selectedText() { return text::utf16ToUtf8(textIn(selection())); }

void MemoryPage::insert(const std::string& text) {
    const Position end = replaceRange(selection(), text::utf8ToUtf16(text));
    anchor_ = cursor_ = end;
}

// ---- search -------------------------------------------------------------------------

std::optional<MemoryPage::Range> MemoryPage::search(const SearchPattern& pattern, const Range& from, bool backwards,
                                                    bool skipCurrent) const {
    const Position start = skipCurrent != backwards ? from.end : from.start;
    const int firstRow = 0;
    const int lastRow = static_cast<int>(lines_.size()) - 1;
    std::optional<Range> found;
    // An empty match where the (empty) selection already is does not count as the next one.
    auto take = [&](Range r) {
        if (r.empty() && skipCurrent && r == from)
            return false;
        found = r;
        return true;
    };

    // Calls take() for the matches of one row in search order; true once one is taken.
    auto inLine = [&](int row, std::size_t limit) -> bool {
        if (pattern.multiLine()) {
            const int parts = static_cast<int>(pattern.partCount());
            const int startRow = backwards ? row - parts + 1 : row;
            if (startRow < 0 || startRow + parts > static_cast<int>(lines_.size()))
                return false;
            const auto first = pattern.exec(lines_[startRow], 0, 0);
            if (!first || (!backwards && first->offset < limit))
                return false;
            std::optional<LineMatch> last;
            for (int i = 1; i < parts; ++i)
                if (!(last = pattern.exec(lines_[startRow + i], 0, i)))
                    return false;
            if (backwards && last->length > limit)
                return false;
            return take({{startRow, static_cast<int>(first->offset)},
                         {startRow + parts - 1, static_cast<int>(last->length)}});
        }
        const std::u16string& line = lines_[row];
        if (!backwards) {
            std::size_t next = limit;
            while (auto m = pattern.exec(line, next)) {
                if (take({{row, static_cast<int>(m->offset)}, {row, static_cast<int>(m->offset + m->length)}}))
                    return true;
                if (m->length == 0) {
                    next = m->offset + skipEmptyMatch(line, m->offset);
                    if (next >= line.size())
                        return false;
                } else {
                    next = m->offset + m->length;
                }
            }
            return false;
        }
        // Backwards: the matches that end by `limit`, last first.
        std::vector<std::pair<std::size_t, std::size_t>> matches;
        std::size_t next = 0;
        while (auto m = pattern.exec(line, next)) {
            if (m->length == 0) {
                if (m->offset >= line.size())
                    break;
                next = m->offset + skipEmptyMatch(line, m->offset);
            } else {
                next = m->offset + m->length;
            }
            if (m->offset + m->length > limit)
                break;
            matches.emplace_back(m->offset, m->length);
        }
        for (auto it = matches.rbegin(); it != matches.rend(); ++it)
            if (take({{row, static_cast<int>(it->first)}, {row, static_cast<int>(it->first + it->second)}}))
                return true;
        return false;
    };

    const auto column = static_cast<std::size_t>(start.column);
    if (!backwards) {
        if (inLine(start.row, column))
            return found;
        for (int row = start.row + 1; row <= lastRow; ++row)
            if (inLine(row, 0))
                return found;
        for (int row = firstRow; row <= start.row; ++row)  // wrap around
            if (inLine(row, 0))
                return found;
    } else {
        if (inLine(start.row, column))
            return found;
        for (int row = start.row - 1; row >= firstRow; --row)
            if (inLine(row, kWholeLine))
                return found;
        for (int row = lastRow; row >= start.row; --row)  // wrap around
            if (inLine(row, kWholeLine))
                return found;
    }
    return std::nullopt;
}

std::vector<MemoryPage::Range> MemoryPage::findAll(const SearchPattern& pattern) const {
    std::vector<Range> ranges;
    if (pattern.multiLine()) {
        const int parts = static_cast<int>(pattern.partCount());
        const int maxRow = static_cast<int>(lines_.size()) - parts;
        for (int row = 0; row <= maxRow; ++row) {
            std::optional<LineMatch> first, last;
            bool all = true;
            for (int j = 0; j < parts && all; ++j) {
                auto m = pattern.exec(lines_[row + j], 0, j);
                all = m.has_value();
                if (j == 0)
                    first = m;
                last = m;
            }
            if (!all)
                continue;
            const int startIndex = static_cast<int>(lines_[row].size() - first->length);
            if (!ranges.empty() && ranges.back().end.row == row && ranges.back().end.column > startIndex)
                continue;
            ranges.push_back({{row, startIndex}, {row + parts - 1, static_cast<int>(last->length)}});
            if (parts > 2)
                row += parts - 2;
        }
        return ranges;
    }
    for (int row = 0; row < static_cast<int>(lines_.size()); ++row) {
        const std::u16string& line = lines_[row];
        std::size_t next = 0;
        while (auto m = pattern.exec(line, next)) {
            ranges.push_back({{row, static_cast<int>(m->offset)}, {row, static_cast<int>(m->offset + m->length)}});
            next = m->length == 0 ? m->offset + skipEmptyMatch(line, m->offset) : m->offset + m->length;
        }
    }
    return ranges;
}

void MemoryPage::find(const std::string& needle, const FindOptions& options) {
    search_ = SearchPattern::compile(text::utf8ToUtf16(needle), options);
    if (!search_)
        return;
    const auto found = search(*search_, selection(), options.backwards, true);
    if (!found)
        return;
    setSelection(found->start, found->end);
    findStep();
}

void MemoryPage::step(bool backwards) {
    if (!search_)
        return;
    if (const auto found = search(*search_, selection(), backwards, true))
        setSelection(found->start, found->end);
}

void MemoryPage::findStep() {
    // Forward and back again: the match stays selected (the desktop scrolls it into view).
    step(false);
    step(true);
}

bool MemoryPage::replace(const std::string& replacement) {
    if (!search_)
        return false;
    // From the selection, not past it, so that the match that find selected is the one
    // replaced.
    const auto found = search(*search_, selection(), search_->options().backwards, false);
    if (!found)
        return false;
    const std::u16string wide = text::utf8ToUtf16(replacement);
    std::u16string text = wide;
    if (!search_->multiLine()) {
        const std::u16string& line = lines_[found->start.row];
        if (auto m = search_->exec(line, found->start.column))
            text = search_->expand(wide, line, *m);
    }
    const Position end = replaceRange(*found, text);
    setSelection(found->start, end);
    return true;
}

int MemoryPage::replaceAll(const std::string& replacement) {
    if (!search_)
        return 0;
    const std::vector<Range> ranges = findAll(*search_);
    if (ranges.empty())
        return 0;
    const Range saved = selection();
    const std::u16string wide = text::utf8ToUtf16(replacement);
    // Every replacement text is worked out on the text as it was, before any change.
    std::vector<std::u16string> texts;
    texts.reserve(ranges.size());
    for (const Range& r : ranges) {
        if (search_->multiLine()) {
            texts.push_back(wide);
            continue;
        }
        const std::u16string& line = lines_[r.start.row];
        const auto m = search_->exec(line, r.start.column);
        texts.push_back(m ? search_->expand(wide, line, *m) : wide);
    }
    for (std::size_t i = ranges.size(); i-- > 0;)
        replaceRange(ranges[i], texts[i]);
    setSelection(saved.start, saved.end);
    return static_cast<int>(ranges.size());
}

}  // namespace quillbox
