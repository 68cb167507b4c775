#include "core/document/Document.h"

#include <algorithm>
#include <atomic>

namespace quillbox::document {
namespace {

std::uint64_t nextId() {
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

}  // namespace

Document::Document(std::string name, const std::string& text) : MemoryPage(std::move(name), text), id_(nextId()) {
    // The module opens at its start, as a page given its code does.
    anchor_ = cursor_ = Position{};
}

Document::~Document() {
    if (!closedTold_) {
        closedTold_ = true;
        tell(Change::Closed);
    }
}

void Document::tell(Change change) {
    if (listener_)
        listener_(*this, change);
}

// ---- the program's operations ---------------------------------------------------------

void Document::setName(const std::string& name) {
    MemoryPage::setName(name);
    tell(Change::Display);
}

void Document::setVisible(bool visible) {
    if (visible == MemoryPage::visible())
        return;
    MemoryPage::setVisible(visible);
    tell(Change::Display);
}

void Document::setText(const std::string& text) {
    MemoryPage::setText(text);
    anchor_ = cursor_ = Position{};
    tell(Change::Text);
}

void Document::gotoLine(int line) {
    MemoryPage::gotoLine(line);
    tell(Change::Selection);
}

void Document::select(int startRow, int startColumn, int endRow, int endColumn) {
    MemoryPage::select(startRow, startColumn, endRow, endColumn);
    tell(Change::Selection);
}

void Document::insert(const std::string& text) {
    MemoryPage::insert(text);
    tell(Change::Text);
}

void Document::find(const std::string& needle, const FindOptions& options) {
    MemoryPage::find(needle, options);
    tell(Change::Selection);
}

void Document::findStep() {
    MemoryPage::findStep();
    tell(Change::Selection);
}

bool Document::replace(const std::string& replacement) {
    const bool replaced = MemoryPage::replace(replacement);
    if (replaced)
        tell(Change::Text);
    return replaced;
}

int Document::replaceAll(const std::string& replacement) {
    const int count = MemoryPage::replaceAll(replacement);
    if (count > 0)
        tell(Change::Text);
    return count;
}

void Document::close() {
    MemoryPage::close();
    if (!closedTold_) {
        closedTold_ = true;
        tell(Change::Closed);
    }
}

// ---- the view's reports ---------------------------------------------------------------

Document::Position Document::clippedPosition(long row, long column) const {
    const long length = static_cast<long>(lines_.size());
    if (row < 0) {
        row = 0;
    } else if (row >= length) {
        row = length - 1;
        column = static_cast<long>(lines_[static_cast<std::size_t>(row)].size());
    }
    const long lineLength = static_cast<long>(lines_[static_cast<std::size_t>(row)].size());
    return Position{static_cast<int>(row), static_cast<int>(std::clamp(column, 0L, lineLength))};
}

Document::Position Document::moved(Position point, const Position& start, const Position& end, bool insert) {
    if (point < start)
        return point;
    if (insert) {
        if (point.row == start.row)
            point.column += end.column - start.column;
        point.row += end.row - start.row;
        return point;
    }
    if (point < end)
        return start;
    if (point.row == end.row)
        point.column -= end.column - start.column;
    point.row -= end.row - start.row;
    return point;
}

void Document::applyDelta(const Delta& delta) {
    if (delta.action == Delta::Action::Insert) {
        if (delta.lines.empty() || (delta.lines.size() == 1 && delta.lines.front().empty()))
            return;
        const Position at = clippedPosition(delta.start.row, delta.start.column);
        std::u16string& line = lines_[static_cast<std::size_t>(at.row)];
        const std::u16string tail = line.substr(static_cast<std::size_t>(at.column));
        line.resize(static_cast<std::size_t>(at.column));
        line += delta.lines.front();
        const Position end{at.row + static_cast<int>(delta.lines.size()) - 1,
                           static_cast<int>((delta.lines.size() == 1 ? at.column : 0) + delta.lines.back().size())};
        if (delta.lines.size() > 1) {
            std::vector<std::u16string> rest(delta.lines.begin() + 1, delta.lines.end());
            rest.back() += tail;
            lines_.insert(lines_.begin() + at.row + 1, std::make_move_iterator(rest.begin()),
                          std::make_move_iterator(rest.end()));
        } else {
            line += tail;
        }
        anchor_ = moved(anchor_, at, end, true);
        cursor_ = moved(cursor_, at, end, true);
    } else {
        Position start = clippedPosition(delta.start.row, delta.start.column);
        Position end = clippedPosition(delta.end.row, delta.end.column);
        if (end < start)
            std::swap(start, end);
        if (start == end)
            return;
        std::u16string joined = lines_[static_cast<std::size_t>(start.row)].substr(0, static_cast<std::size_t>(start.column)) +
                                lines_[static_cast<std::size_t>(end.row)].substr(static_cast<std::size_t>(end.column));
        lines_.erase(lines_.begin() + start.row + 1, lines_.begin() + end.row + 1);
        lines_[static_cast<std::size_t>(start.row)] = std::move(joined);
        anchor_ = moved(anchor_, start, end, false);
        cursor_ = moved(cursor_, start, end, false);
    }
    markChanged();
}

void Document::setSelectionFromView(TextPosition anchor, TextPosition cursor) {
    anchor_ = clippedPosition(anchor.row, anchor.column);
    cursor_ = clippedPosition(cursor.row, cursor.column);
}

}  // namespace quillbox::document
