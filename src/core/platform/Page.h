#pragma once
// One editor page: the only holder of a module's code. The desktop program implements it
// over Ace in a browser view; MemoryPage (core/editor) keeps the text in memory for the
// command line and the tests. Rows and columns are 1-based, as the rest of the program
// counts them; text is UTF-8.
#include <cstdint>
#include <string>

namespace quillbox {

struct SelectionRange {
    int startRow = 0;
    int startColumn = 0;
    int endRow = 0;
    int endColumn = 0;
    bool operator==(const SelectionRange&) const = default;
};

struct FindOptions {
    bool backwards = false;
    bool caseSensitive = false;
    bool wholeWord = false;
    bool regExp = false;
};

class Page {
public:
    virtual ~Page() = default;

    // Page name: project, "_", module, ".js".
    virtual std::string name() const = 0;
    virtual void setName(const std::string& name) = 0;
    virtual bool visible() const = 0;
    virtual void setVisible(bool visible) = 0;

    virtual int lineCount() = 0;
    virtual std::string getText() = 0;
    virtual void setText(const std::string& text) = 0;
    virtual void gotoLine(int line) = 0;
    // Selects from (startRow, startColumn) to (endRow, endColumn); the start column is
    // 1-based, the end column is taken as the editor's own (exclusive) column, so the
    // result of selectionRange() can be handed back unchanged.
    virtual void select(int startRow, int startColumn, int endRow, int endColumn) = 0;
    // Replaces the selection with text and leaves the cursor after it.
    virtual void insert(const std::string& text) = 0;
    virtual std::string getLine(int line) = 0;
    virtual void find(const std::string& needle, const FindOptions& options) = 0;
    virtual void findStep() = 0;
    virtual SelectionRange selectionRange() = 0;
    virtual std::string selectedText() = 0;
    virtual bool replace(const std::string& replacement) = 0;
    virtual int replaceAll(const std::string& replacement) = 0;
    // Ends the page (the desktop closes its browser view).
    virtual void close() = 0;

    // A number that changes whenever the page's text may have changed, so a reader that
    // keeps the text it read last knows without asking the page whether to read it again.
    // Numbers come from one counter for the whole process: a page made later never shows a
    // number an earlier page had.
    virtual std::uint64_t revision() const { return revision_; }
    // getText() for readers that must not take a failed read for an empty module: false
    // when the page could not answer (`text` is then left alone).
    virtual bool readText(std::string& text) {
        text = getText();
        return true;
    }

    // Operations defined by the ones above.
    void clear() { setText(""); }
    void gotoLastLine() { gotoLine(lineCount()); }
    void appendText(const std::string& text);
    void prependText(const std::string& text);
    // Byte lengths in code page 936.
    std::size_t textLength();
    std::size_t lineLength(int line);
    // UTF-8 byte length of the first n characters (all when n < 0).
    std::size_t utf8Length(long n = -1);
    // The first n characters (all when n < 0).
    std::string getTextPrefix(long n);

protected:
    // Implementations call this on every change of the text.
    void markChanged() { revision_ = nextRevision(); }
    static std::uint64_t nextRevision();

private:
    std::uint64_t revision_ = nextRevision();
};

}  // namespace quillbox
