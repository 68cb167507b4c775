#pragma once
// A page that only keeps its name, text and visibility: enough for the project store.
#include "core/platform/Page.h"

namespace quillbox::test {

class FakePage : public Page {
public:
    FakePage(std::string name, std::string text) : name_(std::move(name)), text_(std::move(text)) {}
    std::string name() const override { return name_; }
    void setName(const std::string& name) override { name_ = name; }
    bool visible() const override { return visible_; }
    void setVisible(bool visible) override { visible_ = visible; }
    int lineCount() override { return 1; }
    std::string getText() override { return text_; }
    void setText(const std::string& text) override { text_ = text; }
    void gotoLine(int) override {}
    void select(int, int, int, int) override {}
    void insert(const std::string&) override {}
    std::string getLine(int) override { return text_; }
    void find(const std::string&, const FindOptions&) override {}
    void findStep() override {}
    SelectionRange selectionRange() override { return {}; }
    std::string selectedText() override { return ""; }
    bool replace(const std::string&) override { return false; }
    int replaceAll(const std::string&) override { return 0; }
    void close() override { closed = true; }
    bool closed = false;

private:
    std::string name_;
    std::string text_;
    bool visible_ = false;
};

}  // namespace quillbox::test
