#pragma once
// A page for batch work (pack, unpack): it holds its code byte for byte, with whatever
// line breaks it has, and costs no more than the text. The first editing operation turns
// it into a MemoryPage, which behaves as the editor does from then on.
#include <memory>
#include <string>

#include "core/editor/MemoryPage.h"
#include "core/platform/Page.h"

namespace quillbox {

class TextPage : public Page {
public:
    TextPage(std::string name, std::string text);

    std::string name() const override { return name_; }
    void setName(const std::string& name) override;
    bool visible() const override { return visible_; }
    void setVisible(bool visible) override;

    std::string getText() override;
    void setText(const std::string& text) override;
    int lineCount() override;
    void gotoLine(int line) override;
    void select(int startRow, int startColumn, int endRow, int endColumn) override;
    void insert(const std::string& text) override;
    std::string getLine(int line) override;
    void find(const std::string& needle, const FindOptions& options) override;
    void findStep() override;
    SelectionRange selectionRange() override;
    std::string selectedText() override;
    bool replace(const std::string& replacement) override;
    int replaceAll(const std::string& replacement) override;
    void close() override { closed_ = true; }
    bool closed() const { return closed_; }
    std::uint64_t revision() const override { return editor_ ? editor_->revision() : Page::revision(); }
    // True once an editing operation has handed the text to an editor.
    bool edited() const { return editor_ != nullptr; }

private:
    MemoryPage& editor();

    std::string name_;
    std::string text_;
    bool visible_ = true;
    bool closed_ = false;
    std::unique_ptr<MemoryPage> editor_;
};

}  // namespace quillbox
