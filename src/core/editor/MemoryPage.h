#pragma once
// An editor page whose text is held in memory, for the command line and the tests. It
// behaves as the Ace page does where the program can see it:
// - the text is a list of lines; "\r\n", "\r" and "\n" all break lines, and the text is
//   given back with the line break that the first one found when the page was filled
//   (or "\n");
// - columns count UTF-16 units, as the editor's do;
// - positions are clipped as the editor clips them: a column past a line's end goes to
//   the end, a row past the last goes to the end of the last line, a negative row or
//   column to 0;
// - select() makes the selection backwards (anchor at the end point, cursor at the start)
//   and selectionRange() gives back what select() took;
// - insert() puts text in verbatim (no auto-pairing or indenting), replacing the selection;
// - find() searches from the selection with wrap-around and selects the match; a needle
//   that does not occur leaves the selection as it was.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/Page.h"

namespace quillbox {
namespace editor {
class SearchPattern;
}

class MemoryPage : public Page {
public:
    // A page named `name` that opens with `pendingText`, appended to the empty editor as
    // the desktop page gets its module's code.
    explicit MemoryPage(std::string name = "", const std::string& pendingText = "");
    ~MemoryPage() override;

    std::string name() const override { return name_; }
    void setName(const std::string& name) override { name_ = name; }
    bool visible() const override { return visible_; }
    void setVisible(bool visible) override { visible_ = visible; }

    int lineCount() override;
    std::string getText() override;
    // Replaces the whole text and selects all of it, as the editor's setValue does.
    void setText(const std::string& text) override;
    void gotoLine(int line) override;
    void select(int startRow, int startColumn, int endRow, int endColumn) override;
    void insert(const std::string& text) override;
    std::string getLine(int line) override;
    void find(const std::string& needle, const FindOptions& options) override;
    void findStep() override;
    SelectionRange selectionRange() override;
    std::string selectedText() override;
    // Replaces the match found from the selection (the selection itself when it is one) of
    // the last find's needle and selects the replacement. False when there is no match.
    bool replace(const std::string& replacement) override;
    // Replaces every match of the last find's needle; the selection stays where it was.
    int replaceAll(const std::string& replacement) override;
    // Ends the page. The text stays readable: closing never loses code.
    void close() override { closed_ = true; }
    bool closed() const { return closed_; }

    // 0-based position of the selection's cursor (where typing would go).
    int cursorRow() const { return cursor_.row; }
    int cursorColumn() const { return cursor_.column; }

protected:
    struct Position {
        int row = 0;
        int column = 0;
        auto operator<=>(const Position&) const = default;
    };
    struct Range {
        Position start;
        Position end;
        bool empty() const { return start == end; }
        bool operator==(const Range&) const = default;
    };

    Position clip(long row, long column) const;
    Range selection() const;
    void setSelection(Position anchor, Position cursor);
    std::u16string textIn(const Range& range) const;
    // Replaces the range with text; returns the end of the inserted text.
    Position replaceRange(const Range& range, const std::u16string& text);
    void detectNewLine(const std::u16string& text);

    // The search of the editor: the first match from `start` (with wrap-around), or none.
    std::optional<Range> search(const editor::SearchPattern& pattern, const Range& start, bool backwards,
                                bool skipCurrent) const;
    std::vector<Range> findAll(const editor::SearchPattern& pattern) const;
    // One step of findNext / findPrevious: selects the match or leaves the selection.
    void step(bool backwards);

protected:
    std::vector<std::u16string> lines_{std::u16string()};
    Position anchor_;
    Position cursor_;

private:
    std::string name_;
    bool visible_ = true;
    bool closed_ = false;
    std::u16string newline_ = u"\n";
    std::shared_ptr<const editor::SearchPattern> search_;
};

}  // namespace quillbox
