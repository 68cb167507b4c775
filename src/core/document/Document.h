#pragma once
// A module's document: the one holder of its code while the program runs, with its
// selection and the place the editor was scrolled to. The program's operations (load,
// evaluate, export, find, replace, go to line, the session store) work on it directly and
// never wait for an editor; the window's editor is a view of it.
//
// Two ways in, one document:
// - the Page operations (the program's own edits) change it and tell the listener, which
//   hands the change to the view when the view holds this module;
// - the view's edits arrive as deltas (applyDelta) and its selection and scroll position as
//   reports; they change the document without telling the listener, since the view
//   already shows them.
//
// Positions of deltas and selections are 0-based rows and UTF-16 columns, as the editor
// counts them. A delta is applied as the editor applies an edit to its own text: a
// position past a line's end or below the last line is clipped there, so a delta the view
// made on an older text lands the same way in both.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/editor/MemoryPage.h"

namespace quillbox::document {

struct TextPosition {
    int row = 0;
    int column = 0;
    bool operator==(const TextPosition&) const = default;
};

struct Delta {
    enum class Action { Insert, Remove };
    Action action = Action::Insert;
    TextPosition start;
    TextPosition end;
    // Insert: the text put in, split at its line breaks (one element for text without one).
    // Remove: ignored; the range start..end goes.
    std::vector<std::u16string> lines;
};

struct ScrollPosition {
    double top = 0;
    double left = 0;
    bool operator==(const ScrollPosition&) const = default;
};

class Document : public MemoryPage {
public:
    enum class Change {
        Text,       // the text changed (and with it, maybe, the selection)
        Selection,  // the selection or cursor moved
        Display,    // shown, hidden or renamed
        Closed,     // closed or destroyed: forget the document
    };
    using Listener = std::function<void(Document&, Change)>;

    // A document named `name` holding `text`, with the cursor at its start.
    Document(std::string name, const std::string& text);
    ~Document() override;

    // A number no other document of this process has; the view names its session by it.
    std::uint64_t id() const { return id_; }
    void setListener(Listener listener) { listener_ = std::move(listener); }

    // ---- the program's operations (Page), each told to the listener ------------------
    void setName(const std::string& name) override;
    void setVisible(bool visible) override;
    // Replaces the whole text and leaves the cursor at its start with nothing selected, so
    // that the next key typed does not replace the module.
    void setText(const std::string& text) override;
    void gotoLine(int line) override;
    void select(int startRow, int startColumn, int endRow, int endColumn) override;
    void insert(const std::string& text) override;
    void find(const std::string& needle, const FindOptions& options) override;
    void findStep() override;
    bool replace(const std::string& replacement) override;
    int replaceAll(const std::string& replacement) override;
    void close() override;

    // ---- what the view reports -------------------------------------------------------
    void applyDelta(const Delta& delta);
    void setSelectionFromView(TextPosition anchor, TextPosition cursor);
    void setScroll(ScrollPosition scroll) { scroll_ = scroll; }

    // ---- what the view shows ---------------------------------------------------------
    const std::vector<std::u16string>& lines() const { return lines_; }
    TextPosition anchor() const { return {anchor_.row, anchor_.column}; }
    TextPosition cursor() const { return {cursor_.row, cursor_.column}; }
    ScrollPosition scroll() const { return scroll_; }

private:
    void tell(Change change);
    // The editor's clipping of a position against the current text.
    Position clippedPosition(long row, long column) const;
    // Where a position goes when the delta is applied (the editor's anchors move so).
    static Position moved(Position point, const Position& start, const Position& end, bool insert);

    std::uint64_t id_;
    Listener listener_;
    ScrollPosition scroll_;
    bool closedTold_ = false;
};

}  // namespace quillbox::document
